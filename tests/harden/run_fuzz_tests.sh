#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer),
# replays the seed corpora and every input that once found a fault, then fuzzes each target
# briefly. Exits non-zero on any finding; the input that found it is left in the build folder.
#
#   tests/harden/run_fuzz_tests.sh LINUX-BUILD-DIR
#
# The fuzz build goes into its own folder beside LINUX-BUILD-DIR (that build is gcc's). The
# time spent fuzzing each target is CVM_FUZZ_SECONDS (default 30).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
linux_build="${1:?usage: run_fuzz_tests.sh LINUX-BUILD-DIR}"
build="$(dirname "$linux_build")/$(basename "$linux_build")-fuzz"
seconds="${CVM_FUZZ_SECONDS:-30}"

for tool in clang clang++; do
  command -v "$tool" >/dev/null || { echo "run_fuzz_tests: $tool is missing (scripts/install-deps.sh --tests installs it)" >&2; exit 1; }
done

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCVM_BUILD_FUZZERS=ON -DCVM_BUILD_TESTS=OFF \
  -DCVM_BUILD_BENCHMARKS=OFF -DCVM_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target fuzz_scene_document fuzz_cvm_reader cvm_reader_seeds

# target, seed corpus (the reader's is made by the build from readable sources), regressions,
# extra libFuzzer flags
targets=(
  "fuzz_scene_document $root/fuzz/corpus/scene scene -dict=$root/fuzz/scene_document.dict"
  "fuzz_cvm_reader $build/fuzz/corpus/cvm cvm"
)
common=(-rss_limit_mb=2048 -timeout=10 -max_len=8192 -print_final_stats=1)
failed=0
for entry in "${targets[@]}"; do
  read -r target seeds kind extra <<<"$entry"
  program="$build/fuzz/$target"
  artifacts="$build/artifacts/$target"
  scratch="$build/corpus/$target"
  mkdir -p "$artifacts" "$scratch"
  inputs=("$seeds")
  [[ -d "$root/fuzz/regressions/$kind" ]] && inputs+=("$root/fuzz/regressions/$kind")

  echo "-- $target: replaying ${inputs[*]#"$root/"}"
  if ! "$program" "${common[@]}" -runs=0 -artifact_prefix="$artifacts/" "${inputs[@]}" >"$build/$target-replay.log" 2>&1; then
    tail -n 40 "$build/$target-replay.log" >&2
    echo "run_fuzz_tests: $target fails on a corpus or regression input" >&2
    failed=1
    continue
  fi

  echo "-- $target: fuzzing for ${seconds}s"
  # New inputs go to a scratch corpus in the build folder, never into the repository.
  # shellcheck disable=SC2086
  if ! "$program" "${common[@]}" $extra -max_total_time="$seconds" -artifact_prefix="$artifacts/" \
      "$scratch" "${inputs[@]}" >"$build/$target-fuzz.log" 2>&1; then
    tail -n 40 "$build/$target-fuzz.log" >&2
    echo "run_fuzz_tests: $target found a fault; the input is in $artifacts" >&2
    failed=1
    continue
  fi
  grep -E "^stat::number_of_executed_units" "$build/$target-fuzz.log" || true
done
exit "$failed"
