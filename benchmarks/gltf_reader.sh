#!/bin/sh
# cvmexport on a GLB through the glTF reader of our own and through assimp (CVM_GLTF_VIA_ASSIMP),
# in alternation: the median wall time and the median peak resident memory of RUNS runs of each,
# from /usr/bin/time, and whether every output is byte for byte the same.
#
#   benchmarks/gltf_reader.sh BUILD [MODEL.glb] [RUNS]
#
# BUILD must hold built cvmexport and benchmarks/cvm_make_glb, e.g. a Release configuration.
# Without MODEL, a GLB of about 1M triangles is made with cvm_make_glb in BUILD/gltf_reader.
set -eu

build=$1
work="$build/gltf_reader"
mkdir -p "$work"
model=${2:-$work/torus-1000000.glb}
runs=${3:-5}
[ -x /usr/bin/time ] || { echo "gltf_reader.sh: needs /usr/bin/time (Debian package time)" >&2; exit 2; }
[ -f "$model" ] || "$build/benchmarks/cvm_make_glb" "$model" 1000000 >/dev/null
cvmexport="$build/tools/cvmexport/cvmexport"

# measure LOG OUT [ENV=VALUE]: appends "seconds kilobytes" of one export to LOG.
measure() {
  log=$1 out=$2
  shift 2
  env "$@" /usr/bin/time -f "%e %M" -o "$work/time.txt" "$cvmexport" "$model" -o "$out" --quiet ||
    { echo "failed: cvmexport $model" >&2; exit 1; }
  cat "$work/time.txt" >>"$log"
}
# median LOG COLUMN
median() {
  cut -d' ' -f"$2" "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

rm -f "$work/reader.log" "$work/assimp.log"
"$cvmexport" "$model" -o "$work/warm.cvm" --quiet  # the model's pages in the cache for both
same=yes
i=1
while [ "$i" -le "$runs" ]; do
  measure "$work/reader.log" "$work/reader.cvm"
  measure "$work/assimp.log" "$work/assimp.cvm" CVM_GLTF_VIA_ASSIMP=1
  cmp -s "$work/reader.cvm" "$work/assimp.cvm" || same=no
  i=$((i + 1))
done
echo "$(basename "$model"), $runs alternating runs each, medians:"
echo "  glTF reader: $(median "$work/reader.log" 1) s, $(median "$work/reader.log" 2) KiB peak resident"
echo "  assimp:      $(median "$work/assimp.log" 1) s, $(median "$work/assimp.log" 2) KiB peak resident"
echo "  outputs byte for byte the same: $same"
[ "$same" = yes ]
