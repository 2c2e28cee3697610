#!/usr/bin/env bash
# Installs the build into a fresh prefix and builds examples/consumer against it, as an engine's
# build would, with Ninja and with Makefiles: the first build converts both models, the next
# does nothing, touching the glTF's .bin converts that model alone (and with Ninja leaves its
# unchanged output untouched). The consumer's program reads the models back through
# cvm::reader, and again built with the flags of cvm_reader.pc.
#
#   consumer_test.sh --cmake CMAKE --build BUILD-DIR --source CONSUMER-DIR --work WORK-DIR
#                    [--cxx COMPILER] [--link-flags FLAGS]
set -euo pipefail

cmake=cmake build="" source="" work="" cxx=c++ link_flags=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --cmake) cmake=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --source) source=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --cxx) cxx=$2; shift 2 ;;
    --link-flags) link_flags=$2; shift 2 ;;
    *) echo "consumer_test.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# expect_lines WHAT OUTPUT PATTERN... : OUTPUT has a line matching each PATTERN (grep -E)
expect_lines() {
  local what=$1 text=$2; shift 2
  for pattern in "$@"; do
    grep -Eq "$pattern" <<<"$text" || fail "$what: no line matches '$pattern' in:"$'\n'"$text"
  done
}

# expect_no_line WHAT OUTPUT PATTERN
expect_no_line() {
  ! grep -Eq "$3" <<<"$2" || fail "$1: a line matches '$3' in:"$'\n'"$2"
}

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "install"; }
for file in bin/cvmexport bin/cvmdump include/cvm/reader/cvm_reader.h include/cvm/format/records.h \
  lib/cmake/cvm/cvmConfig.cmake lib/cmake/cvm/cvmConfigVersion.cmake lib/cmake/cvm/cvm_add_models.cmake \
  lib/pkgconfig/cvm_reader.pc; do
  [[ -f "$prefix/$file" ]] || fail "the prefix lacks $file"
done

expected_reads=("tile.cvm: 1 meshes \(2 faces, 4 vertices to draw\), 1 materials, 0 lights, 0 helpers, 0 splines"
  "street_lamp.cvm: 1 meshes \(4 faces, 4 vertices to draw\), 0 materials, 1 lights, 1 helpers, 0 splines")

for generator in Ninja "Unix Makefiles"; do
  project="$work/consumer-${generator// /-}"
  cp -r "$source" "$project"
  bin="$project/build"
  "$cmake" -S "$project" -B "$bin" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_EXE_LINKER_FLAGS="$link_flags" >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" >&2; fail "$generator: configure"; }
  build_once() {
    "$cmake" --build "$bin" >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; fail "$generator: build"; }
    cat "$work/build.log"
  }

  out=$(build_once)
  expect_lines "$generator, first build" "$out" "Converting models/tile.gltf to tile.cvm" \
    "Converting models/street_lamp.json to street_lamp.cvm"
  read_back=$("$bin/read_models" "$bin/models/tile.cvm" "$bin/models/street_lamp.cvm")
  expect_lines "$generator, read back" "$read_back" "${expected_reads[@]}"

  out=$(build_once)
  expect_no_line "$generator, second build" "$out" "Converting"
  if [[ "$generator" == Ninja ]]; then
    expect_lines "$generator, second build" "$out" "no work to do"
  fi

  before=$(stat -c %y "$bin/models/tile.cvm")
  sleep 1
  touch "$project/models/tile.bin"
  out=$(build_once)
  expect_lines "$generator, after touching tile.bin" "$out" "Converting models/tile.gltf to tile.cvm"
  expect_no_line "$generator, after touching tile.bin" "$out" "street_lamp"
  if [[ "$generator" == Ninja ]]; then
    [[ "$(stat -c %y "$bin/models/tile.cvm")" == "$before" ]] ||
      fail "$generator: tile.cvm, whose bytes did not change, was written again"
  fi
  out=$(build_once)
  expect_no_line "$generator, after the reconversion" "$out" "Converting"
done

# The same program built with nothing but the pkg-config file.
flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs cvm_reader) || fail "pkg-config"
# shellcheck disable=SC2086
"$cxx" -std=c++17 -o "$work/read_models_pc" "$source/read_models.cpp" $flags $link_flags || fail "build with $flags"
bin="$work/consumer-Ninja/build"
read_back=$("$work/read_models_pc" "$bin/models/tile.cvm" "$bin/models/street_lamp.cvm")
expect_lines "pkg-config build, read back" "$read_back" "${expected_reads[@]}"
echo "consumer project: built, converted and read back with Ninja, Makefiles and pkg-config"
