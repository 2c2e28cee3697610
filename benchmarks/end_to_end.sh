#!/bin/sh
# End to end on one model file: cvmexport against `assimp export` (to assimp's binary format)
# and gltfpack, on the same generated GLB of about 1M triangles, run side by side.
# Installs assimp-utils and gltfpack when missing (Debian), builds cvmexport and cvm_make_glb
# in BUILD (default build-bench, Release), prints the best wall time of RUNS runs of each tool
# and the ratios of cvmexport's time to the others'.
#
#   benchmarks/end_to_end.sh [BUILD] [TRIANGLES] [RUNS]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-bench"}
triangles=${2:-1000000}
runs=${3:-3}

missing=""
command -v assimp >/dev/null 2>&1 || missing="$missing assimp-utils"
command -v gltfpack >/dev/null 2>&1 || missing="$missing gltfpack"
if [ -n "$missing" ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target cvmexport cvm_make_glb -j2 >/dev/null

work="$build/end_to_end"
mkdir -p "$work"
model="$work/torus-$triangles.glb"
[ -f "$model" ] || "$build/benchmarks/cvm_make_glb" "$model" "$triangles" >/dev/null

now() { date +%s.%N; }
# Best wall time in seconds of running "$@" RUNS times (output files are replaced each run).
best() {
  fastest=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    start=$(now)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(now)
    fastest=$(echo "$start $end ${fastest:-0}" | awk '{ t = $2 - $1; if ($3 != 0 && $3 < t) t = $3; printf "%.3f", t }')
    i=$((i + 1))
  done
  echo "$fastest"
}

echo "end to end: $(basename "$model") ($(du -m "$model" | cut -f1) MB), best of $runs runs, load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
ours=$(best "$build/tools/cvmexport/cvmexport" "$model" -o "$work/out.cvm" --quiet)
assimp_time=$(best assimp export "$model" "$work/out.assbin")
gltfpack_time=$(best gltfpack -i "$model" -o "$work/out.glb")

printf '  %-28s %8.3f s  %s\n' "cvmexport -> .cvm" "$ours" "$(du -m "$work/out.cvm" | cut -f1) MB"
printf '  %-28s %8.3f s  %s\n' "assimp export -> .assbin" "$assimp_time" "$(du -m "$work/out.assbin" | cut -f1) MB"
printf '  %-28s %8.3f s  %s\n' "gltfpack -> .glb" "$gltfpack_time" "$(du -m "$work/out.glb" | cut -f1) MB"
awk -v o="$ours" -v a="$assimp_time" -v g="$gltfpack_time" 'BEGIN {
  printf "  cvmexport / assimp export = %.2f (target <= 1: %s); cvmexport / gltfpack = %.2f\n",
         o / a, (o <= a ? "holds" : "FAILS"), o / g }'
