#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer),
# replays the seed corpora and every input that once found a fault, then fuzzes each target
# briefly. Exits non-zero on any finding; the input that found it is left in the build folder.
#
#   tests/harden/run_fuzz_tests.sh LINUX-BUILD-DIR
#
# The fuzz build goes into its own folder beside LINUX-BUILD-DIR (that build is gcc's). The
# time spent fuzzing each target is CVM_FUZZ_SECONDS (default 30).
#
# The model-file target reaches assimp's readers, some of which crash or hang on damaged files
# (the converter runs each model file in a child for that reason). It is fuzzed in libFuzzer's
# fork mode, which goes on past such an input; each input it kept is then run again and judged
# by where it failed: inside libassimp it is assimp's (listed, not a failure of this script),
# anywhere else it is ours.
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
cmake --build "$build" -j2 --target fuzz_scene_document fuzz_cvm_reader fuzz_model_file cvm_reader_seeds

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

# The model-file target's seeds: the small GLB, OBJ, PLY and STL files of assimp's test models.
models=/usr/share/assimp/models
target=fuzz_model_file
program="$build/fuzz/$target"
if [[ ! -d "$models" ]]; then
  echo "run_fuzz_tests: $models is missing (assimp-testmodels; scripts/install-deps.sh --tests installs it)" >&2
  exit 1
fi
seeds="$build/corpus/$target-seeds"
artifacts="$build/artifacts/$target"
scratch="$build/corpus/$target"
rm -rf "$seeds" "$artifacts"
mkdir -p "$seeds" "$artifacts" "$scratch"
find "$models" -type f \( -iname '*.glb' -o -iname '*.obj' -o -iname '*.ply' -o -iname '*.stl' \) -size -16k \
  -not -path '*/invalid/*' -print0 | sort -z | while IFS= read -r -d '' f; do
  cp "$f" "$seeds/$(echo "${f#"$models/"}" | tr '/ ' '__')"
done
inputs=("$seeds")
[[ -d "$root/fuzz/regressions/model" ]] && inputs+=("$root/fuzz/regressions/model")
model_flags=(-rss_limit_mb=2048 -timeout=10 -max_len=16384)

echo "-- $target: replaying $(find "${inputs[@]}" -type f | wc -l) inputs"
if ! "$program" "${model_flags[@]}" -runs=0 "${inputs[@]}" >"$build/$target-replay.log" 2>&1; then
  tail -n 40 "$build/$target-replay.log" >&2
  echo "run_fuzz_tests: $target fails on a seed or regression input" >&2
  failed=1
else
  echo "-- $target: fuzzing for ${seconds}s (fork mode)"
  "$program" "${model_flags[@]}" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -artifact_prefix="$artifacts/" "$scratch" "${inputs[@]}" \
    >"$build/$target-fuzz.log" 2>&1 || true
  grep -E "^#[0-9]+: cov|INFO: exiting" "$build/$target-fuzz.log" | tail -n 1 || true
  # Each kept input, run again: the first frame of its report that is in libassimp or in a source
  # file of this project (not the sanitizers', libFuzzer's or the C and C++ libraries') tells
  # whose fault it is.
  for artifact in "$artifacts"/*; do
    [[ -f "$artifact" && "$artifact" != *.log ]] || continue
    log="$artifact.log"
    "$program" "${model_flags[@]}" "$artifact" >"$log" 2>&1 && continue
    frame=$(grep -E '^ +#[0-9]+ 0x' "$log" | grep -E "libassimp|$root/" | grep -v "$root/build" | head -n 1 || true)
    if [[ "$frame" == *libassimp* ]]; then
      echo "   assimp's: $(basename "$artifact"): $(grep -m1 -E 'ERROR: |SUMMARY: ' "$log" | sed 's/^==[0-9]*==//')"
    else
      tail -n 40 "$log" >&2
      echo "run_fuzz_tests: $target found a fault outside assimp; the input is $artifact" >&2
      failed=1
    fi
  done
fi
exit "$failed"
