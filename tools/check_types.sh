#!/usr/bin/env bash
# Type checks of the installed package: the stubs match the module's runtime
# surface (stubtest), the generated files (stubs, docs/api.md) are up to
# date, and strict mypy accepts the examples, the typed user script, the
# guide's whole-program code blocks and the Python package.
# Run from anywhere with the interpreter that has vorn_core and mypy installed
# (the project's `test` extra): bash tools/check_types.sh [python]
set -euo pipefail
cd "$(dirname "$0")/.."
python=${1:-python}
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT

echo "== API reference up to date"
"$python" docs/generate_api.py --check
echo "== stubs up to date"
"$python" tools/make_stubs.py --check
echo "== stubtest"
# The hidden classes are not module attributes, so stubtest finds nothing to
# compare their stubs with; the module lists them.
"$python" -c 'import vorn_core
for cls in vorn_core._hidden_classes(): print("vorn_core." + cls.__name__)' >"$cache/hidden.txt"
"$python" -m mypy.stubtest vorn_core --allowlist tools/stubtest_allowlist.txt --allowlist "$cache/hidden.txt"
echo "== mypy --strict"
"$python" tools/guide_code.py "$cache/guide"
targets=(examples tests/typed_user_script.py "$cache/guide")
[ -d python/vorn ] && targets+=(python/vorn)
"$python" -m mypy --strict --cache-dir "$cache" "${targets[@]}"
