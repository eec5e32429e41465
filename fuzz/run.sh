#!/usr/bin/env bash
# Builds the .vorn reader fuzz target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer against the src/api sources and runs it for a
# bounded time, starting from the seed documents in fuzz/corpus/. New inputs
# go to fuzz/corpus-run/ (not kept in the repository); a finding leaves a
# crash-*/timeout-*/leak-* file in build/fuzz/ and makes the script fail.
#
# Usage: fuzz/run.sh [seconds]        (default 120)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-120}"
out="$root/build/fuzz"
mkdir -p "$out" "$here/corpus-run"

# clang brings libFuzzer; Debian ships its runtime in the compiler-rt
# development package, which is installed only when a probe cannot link.
if ! command -v clang++ >/dev/null 2>&1; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang >/dev/null
fi
probe="$out/probe.cc"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe"
if ! clang++ -fsanitize=fuzzer "$probe" -o "$out/probe" >/dev/null 2>&1; then
    major="$(clang++ -dumpversion | cut -d. -f1)"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "libclang-rt-${major}-dev" >/dev/null
fi

sources=()
for source in "$root"/src/api/*.cc; do
    case "$source" in *.test.cc | *.perf.cc) continue ;; esac
    sources+=("$source")
done

clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$root/src" "$here/vorn_reader.fuzz.cc" "${sources[@]}" -o "$out/vorn_reader_fuzz"

cd "$out"
./vorn_reader_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -dict="$here/vorn.dict" \
    "$here/corpus-run" "$here/corpus"
