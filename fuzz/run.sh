#!/usr/bin/env bash
# Builds the libFuzzer targets (one per fuzz/<name>.fuzz.cc, linked against
# the core library, compiled in unity batches by Clang with AddressSanitizer
# and UndefinedBehaviorSanitizer) in build/fuzz and runs each for a bounded time,
# starting from its seed corpus fuzz/corpus/<name>/ with the dictionary
# fuzz/<name>.dict. New inputs go to fuzz/corpus-run/<name>/ (not kept in the
# repository); a finding leaves a crash-*/timeout-*/leak-*/oom-* file in
# build/fuzz/findings/<name>/ and makes the script fail.
#
# Needs clang++ with libFuzzer (Debian: clang and libclang-rt-<major>-dev;
# .ci/run installs them when missing). VORN_WERROR=ON in the environment
# turns compiler warnings into errors, as in CI.
#
# Usage: fuzz/run.sh [seconds] [name...]   (default: 120 s, every target)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-120}"
shift || true
build="$root/build/fuzz"

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz/run.sh: clang++ not found (Debian: apt-get install clang libclang-rt-<major>-dev)" >&2
    exit 1
fi

names=("$@")
if [ "${#names[@]}" -eq 0 ]; then
    for source in "$here"/*.fuzz.cc; do
        names+=("$(basename "$source" .fuzz.cc)")
    done
fi

generator=()
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
# The "fuzz" preset of CMakePresets.json, whose binary folder is $build.
(cd "$root" && cmake --preset fuzz "${generator[@]}" -DVORN_WERROR="${VORN_WERROR:-OFF}" >/dev/null)
targets=()
for name in "${names[@]}"; do targets+=("${name}_fuzz"); done
cmake --build "$build" -j2 --target "${targets[@]}"

for name in "${names[@]}"; do
    echo "== fuzzing $name for ${seconds}s"
    findings="$build/findings/$name"
    mkdir -p "$findings" "$here/corpus-run/$name"
    dict=()
    if [ -f "$here/$name.dict" ]; then dict=(-dict="$here/$name.dict"); fi
    # libFuzzer's progress goes to a log; the end of it is shown, and more of
    # it (the report and the input's stack) when the run finds something.
    log="$findings/fuzz.log"
    status=0
    (cd "$findings" && "$build/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_funcs=0 -print_final_stats=1 "${dict[@]}" "$here/corpus-run/$name" "$here/corpus/$name") \
        >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 80 "$log"
        echo "fuzz/run.sh: $name found a fault (exit $status); the input is in $findings" >&2
        exit 1
    fi
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::' "$log"
done
