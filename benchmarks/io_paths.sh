#!/bin/sh
# The paths that read big files whole: `cvmdump --json` and `cvmdump` on a model file, and
# `cvmexport` on a scene document, on the output of a generated GLB of about 1M triangles.
# Prints the median wall time and the median peak resident memory of RUNS runs of each, from
# /usr/bin/time. With a second build folder, runs its tools on the same inputs in alternation
# with the first, to compare two versions side by side.
#
#   benchmarks/io_paths.sh BUILD [OTHER_BUILD] [TRIANGLES] [RUNS]
#
# BUILD (and OTHER_BUILD) must hold built cvmexport, cvmdump and benchmarks/cvm_make_glb,
# e.g. a Release configuration. The inputs are made with BUILD's tools in BUILD/io_paths.
set -eu

build=$1
other=${2:-}
triangles=${3:-1000000}
runs=${4:-3}
[ -x /usr/bin/time ] || { echo "io_paths.sh: needs /usr/bin/time (Debian package time)" >&2; exit 2; }

work="$build/io_paths"
mkdir -p "$work"
glb="$work/model-$triangles.glb"
cvm="$work/model-$triangles.cvm"
doc="$work/model-$triangles.json"
[ -f "$glb" ] || "$build/benchmarks/cvm_make_glb" "$glb" "$triangles" >/dev/null
if [ ! -f "$cvm" ] || [ ! -f "$doc" ]; then
  "$build/tools/cvmexport/cvmexport" "$glb" -o "$cvm" --dump-scene "$doc" --quiet
fi

# measure BUILD LOG ARGS...: appends "seconds kilobytes" of one run of the named tool to LOG.
measure() {
  tool_build=$1 log=$2 tool=$3
  shift 3
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$tool_build/tools/$tool/$tool" "$@" >/dev/null 2>&1 ||
    { echo "failed: $tool $*" >&2; exit 1; }
  cat "$work/time.txt" >>"$log"
}
# median LOG COLUMN
median() {
  cut -d' ' -f"$2" "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

echo "io paths: $(du -m "$cvm" | cut -f1) MB .cvm, $(du -m "$doc" | cut -f1) MB scene document" \
  "($triangles triangles), median of $runs runs, $(nproc) cores"
for task in "json:cvmdump:$cvm --json" "summary:cvmdump:$cvm" "document:cvmexport:$doc -o $work/out.cvm --quiet"; do
  name=${task%%:*}
  rest=${task#*:}
  tool=${rest%%:*}
  args=${rest#*:}
  rm -f "$work/$name.a" "$work/$name.b"
  i=0
  while [ "$i" -lt "$runs" ]; do
    # shellcheck disable=SC2086
    measure "$build" "$work/$name.a" "$tool" $args
    # shellcheck disable=SC2086
    [ -z "$other" ] || measure "$other" "$work/$name.b" "$tool" $args
    i=$((i + 1))
  done
  line=$(printf '  %-34s %7.2f s %6d MiB' "$tool $(echo "$args" | sed "s|$work/||g")" \
    "$(median "$work/$name.a" 1)" "$(($(median "$work/$name.a" 2) / 1024))")
  if [ -n "$other" ]; then
    line="$line    other: $(printf '%7.2f s %6d MiB' "$(median "$work/$name.b" 1)" \
      "$(($(median "$work/$name.b" 2) / 1024))")"
  fi
  echo "$line"
done
