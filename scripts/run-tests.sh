#!/usr/bin/env bash
# Checks the formatting, builds everything with warnings as errors and runs every test: once
# normally, once under AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows
# plug-in's tests under Wine, then the fuzz targets briefly.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" --tests

echo "== Formatting"
"$root/scripts/check-format.sh"

jobs=2
build() {  # build FOLDER CMAKE-ARGS...
  local dir="$1"; shift
  cmake -S "$root" -B "$dir" -DCVM_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

echo "== Tests"
build "$root/build/ci"
ctest --test-dir "$root/build/ci" --output-on-failure -j"$jobs"

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
build "$root/build/ci-asan" -DCVM_SANITIZE=ON -DCVM_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build/ci-asan" --output-on-failure -j"$jobs"

echo "== Windows plug-in under Wine"
"$root/tests/plugin/run_windows_tests.sh" --build-dir "$root/build/ci-win" --linux-build "$root/build/ci"

if [[ -x "$root/tests/harden/run_fuzz_tests.sh" ]]; then
  echo "== Fuzz targets: corpora, regressions and a short run"
  "$root/tests/harden/run_fuzz_tests.sh" "$root/build/ci"
fi
