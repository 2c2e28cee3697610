#!/bin/sh
# End to end: every figure the converter is held to, measured side by side in one run.
#
#   benchmarks/end_to_end.sh [BUILD] [RUNS] [BASELINE_BUILD]
#
# On generated GLBs of 1M and 4M triangles (cvm_make_glb), the 1M model's scene document
# (written by --dump-scene) and its .cvm, runs in turn, RUNS rounds (default 5):
#   cvmexport on the 1M GLB (also with --no-memory-tuning, and read through assimp instead of its
#   own glTF reader), `assimp export` of it to binary PLY, gltfpack on it, cvmexport on the 4M
#   GLB (also untuned), cvmexport on the scene document (also untuned), cvmdump --json (also
#   untuned) and cvmdump on the .cvm;
# then cvm_bench's 1M-face export (smooth mesh, RunExport with the runner), alternating with
# BASELINE_BUILD's cvm_bench when one is given (a build of the version to compare with).
# Prints the median wall time and peak resident memory of each, then every target with
# "holds" or "FAILS". Installs assimp-utils, gltfpack and time when missing (Debian); builds
# the tools in BUILD (default build-bench, Release) when it has no build yet.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-bench"}
runs=${2:-5}
baseline=${3:-}

missing=""
command -v assimp >/dev/null 2>&1 || missing="$missing assimp-utils"
command -v gltfpack >/dev/null 2>&1 || missing="$missing gltfpack"
[ -x /usr/bin/time ] || missing="$missing time"
if [ -n "$missing" ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target cvmexport cvmdump cvm_make_glb cvm_bench -j2 >/dev/null

work="$build/end_to_end"
mkdir -p "$work"
cvmexport="$build/tools/cvmexport/cvmexport"
cvmdump="$build/tools/cvmdump/cvmdump"
glb1="$work/torus-1000000.glb"
glb4="$work/torus-4000000.glb"
doc="$work/torus-1000000.json"
cvm="$work/torus-1000000.cvm"
[ -f "$glb1" ] || "$build/benchmarks/cvm_make_glb" "$glb1" 1000000 >/dev/null
[ -f "$glb4" ] || "$build/benchmarks/cvm_make_glb" "$glb4" 4000000 >/dev/null
rm -f "$cvm" && "$cvmexport" "$glb1" -o "$cvm" --dump-scene "$doc" --quiet

now() { date +%s.%N; }
# measure NAME COMMAND...: appends "seconds KiB" of one run (stdout dropped) to NAME's log.
measure() {
  name=$1
  shift
  # What earlier commands left unwritten goes to the disk first: an fsync (ours) would otherwise
  # wait for the other tools' writes as well.
  sync
  start=$(now)
  /usr/bin/time -f "%M" -o "$work/rss.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
    { echo "failed: $*" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  end=$(now)
  echo "$start $end $(tail -n 1 "$work/rss.txt")" | awk '{ printf "%.4f %d\n", $2 - $1, $3 }' >>"$work/$name.log"
}
# median NAME COLUMN: the median of column 1 (seconds) or 2 (KiB) of NAME's log.
median() {
  cut -d' ' -f"$2" "$work/$1.log" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
# bench_total BUILD: cvm_bench's RunExport totals (ms) of the 1M smooth mesh, with the
# converter's runner (the converter's figure) and on the calling thread alone (the plug-in's).
bench_total() {
  "$1/benchmarks/cvm_bench" --sizes 1000000 --no-literal --repeat 3 --out-dir "$work" 2>/dev/null |
    awk '/RunExport total/ { alone = $3; sub(/.*runner /, ""); print $1 + 0, alone; exit }'
}

names="export1m untuned viaassimp assimp gltfpack export4m untuned4m document untuneddoc json untunedjson summary"
for name in $names bench base; do rm -f "$work/$name.log"; done
echo "end to end: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$runs rounds, load average $(cut -d' ' -f1-3 /proc/loadavg)"
round=0
while [ "$round" -lt "$runs" ]; do
  # Every output is made anew, as the other tools' are (a target already holding the same bytes
  # would be compared and left alone instead of written).
  rm -f "$work"/out*.cvm
  measure export1m "$cvmexport" "$glb1" -o "$work/out1m.cvm" --quiet
  measure untuned "$cvmexport" "$glb1" -o "$work/untuned.cvm" --quiet --no-memory-tuning
  measure viaassimp env CVM_GLTF_VIA_ASSIMP=1 "$cvmexport" "$glb1" -o "$work/viaassimp.cvm" --quiet
  measure assimp assimp export "$glb1" "$work/out.ply" -fplyb
  measure gltfpack gltfpack -i "$glb1" -o "$work/out.glb"
  measure export4m "$cvmexport" "$glb4" -o "$work/out4m.cvm" --quiet
  measure untuned4m "$cvmexport" "$glb4" -o "$work/untuned4m.cvm" --quiet --no-memory-tuning
  measure document "$cvmexport" "$doc" -o "$work/outdoc.cvm" --quiet
  measure untuneddoc "$cvmexport" "$doc" -o "$work/untuneddoc.cvm" --quiet --no-memory-tuning
  measure json "$cvmdump" "$cvm" --json
  measure untunedjson "$cvmdump" "$cvm" --json --no-memory-tuning
  measure summary "$cvmdump" "$cvm"
  round=$((round + 1))
done
for other in untuned viaassimp outdoc untuneddoc; do
  cmp -s "$work/out1m.cvm" "$work/$other.cvm" || { echo "$other.cvm: other bytes than out1m.cvm" >&2; exit 1; }
done
bench_rounds=$((runs < 3 ? runs : 3))
round=0
while [ "$round" -lt "$bench_rounds" ]; do
  bench_total "$build" >>"$work/bench.log"
  [ -z "$baseline" ] || bench_total "$baseline" >>"$work/base.log"
  round=$((round + 1))
done

mib() { du -m "$1" | cut -f1; }
row() { printf '  %-40s %7.3f s %6d MiB\n' "$1" "$(median "$2" 1)" "$(($(median "$2" 2) / 1024))"; }
echo "medians of $runs alternating runs:"
row "cvmexport 1M GLB ($(mib "$glb1") MB)" export1m
row "  with --no-memory-tuning" untuned
row "  read through assimp" viaassimp
row "assimp export 1M GLB -fplyb" assimp
row "gltfpack 1M GLB" gltfpack
row "cvmexport 4M GLB ($(mib "$glb4") MB)" export4m
row "  with --no-memory-tuning" untuned4m
row "cvmexport scene document ($(mib "$doc") MB)" document
row "  with --no-memory-tuning" untuneddoc
row "cvmdump --json ($(mib "$cvm") MB .cvm)" json
row "  with --no-memory-tuning" untunedjson
row "cvmdump" summary
bench_row() { printf '  %-40s %7.1f ms, alone %.1f ms\n' "$1" "$(median "$2" 1)" "$(median "$2" 2)"; }
bench_row "cvm_bench 1M smooth RunExport, runner" bench
[ -z "$baseline" ] || bench_row "  baseline build" base

glb1_kib=$(($(stat -c %s "$glb1") / 1024))
doc_kib=$(($(stat -c %s "$doc") / 1024))
# target TEXT VALUE LIMIT: one line, "holds" when VALUE <= LIMIT.
target() {
  awk -v text="$1" -v value="$2" -v limit="$3" 'BEGIN {
    printf "  %-58s %6.2f (at most %.2f) %s\n", text, value, limit, (value <= limit ? "holds" : "FAILS") }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }
e1=$(median export1m 1)
echo "targets:"
target "1M GLB: cvmexport / assimp export" "$(ratio "$e1" "$(median assimp 1)")" 0.4
target "1M GLB: cvmexport / gltfpack" "$(ratio "$e1" "$(median gltfpack 1)")" 0.5
target "1M GLB: cvmexport peak memory / GLB size" "$(ratio "$(median export1m 2)" "$glb1_kib")" 3
target "4M / 1M GLB: time per triangle" "$(ratio "$(median export4m 1)" "$(awk -v t="$e1" 'BEGIN { print 4 * t }')")" 1.25
target "  both with --no-memory-tuning" \
  "$(ratio "$(median untuned4m 1)" "$(awk -v t="$(median untuned 1)" 'BEGIN { print 4 * t }')")" 1.25
target "scene document / GLB: time" "$(ratio "$(median document 1)" "$e1")" 3
target "scene document: peak memory / document size" "$(ratio "$(median document 2)" "$doc_kib")" 2
target "cvmdump --json / export of the same model" "$(ratio "$(median json 1)" "$e1")" 2
target "cvmdump / export of the same model" "$(ratio "$(median summary 1)" "$e1")" 0.5
if [ -n "$baseline" ]; then
  target "cvm_bench 1M smooth RunExport / baseline build" "$(ratio "$(median bench 1)" "$(median base 1)")" 1
  target "  on the calling thread alone" "$(ratio "$(median bench 2)" "$(median base 2)")" 1
else
  echo "  cvm_bench 1M smooth RunExport / baseline build: no baseline build given"
fi
