#!/usr/bin/env bash
# Cross-builds the Windows plug-in (ExportCVM.dle), the stand-in host cvmhost.exe and the
# plug-in's tests with mingw-w64, configured with nothing but the toolchain file, then runs the
# tests under Wine on a virtual X display.
#
#   tests/plugin/run_windows_tests.sh [--build-dir DIR] [--linux-build DIR] [-- CTEST ARGS...]
#
#   --build-dir DIR    the mingw build folder (default: build-win in the source tree)
#   --linux-build DIR  a native build folder holding tools/cvmexport/cvmexport; the Windows
#                      export of the example scene is then compared byte for byte with it
#
# Needs: cmake, mingw-w64, wine64, xvfb, imagemagick (Debian: apt-get install mingw-w64
# wine64 xvfb imagemagick). The Wine prefix lives in the build folder and is made on the
# first run. Screenshots of the dialogs end up as PNG files in DIR/tests/plugin/screenshots.
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir="$source_dir/build-win"
linux_build=""
ctest_args=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    --linux-build) linux_build=$2; shift 2 ;;
    --) shift; ctest_args=("$@"); break ;;
    -h|--help) sed -n '2,15p' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "run_windows_tests.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)

for tool in cmake x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres wine xvfb-run convert; do
  command -v "$tool" >/dev/null || { echo "run_windows_tests.sh: $tool is missing" >&2; exit 2; }
done

cvmexport=""
if [[ -n "$linux_build" ]]; then
  cvmexport="$(cd "$linux_build" && pwd)/tools/cvmexport/cvmexport"
  [[ -x "$cvmexport" ]] || { echo "run_windows_tests.sh: $cvmexport not found (build the Linux tools first)" >&2; exit 2; }
fi

# Configured and built the way a new user would: the toolchain file alone, everything built.
echo "== configure and build ($build_dir)"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" \
  >"$build_dir/configure.log" 2>&1 || { cat "$build_dir/configure.log" >&2; exit 1; }
cmake --build "$build_dir" -j2
for file in bin/ExportCVM.dle bin/cvmhost.exe; do
  [[ -f "$build_dir/$file" ]] || { echo "run_windows_tests.sh: the build made no $file" >&2; exit 1; }
done
# The byte comparison with the Linux export is registered only with a Linux cvmexport.
cmake -B "$build_dir" -DCVM_LINUX_CVMEXPORT="$cvmexport" >>"$build_dir/configure.log" 2>&1 ||
  { cat "$build_dir/configure.log" >&2; exit 1; }

export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko download prompts, no crash dialogs.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "== making the Wine prefix ($WINEPREFIX)"
  wine wineboot --init >"$build_dir/wineboot.log" 2>&1 || { cat "$build_dir/wineboot.log" >&2; exit 1; }
  wineserver --wait
fi

screenshots="$build_dir/tests/plugin/screenshots"
rm -rf "$screenshots"
mkdir -p "$screenshots"

echo "== run the tests under Wine"
status=0
xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
  ctest --test-dir "$build_dir" --output-on-failure "${ctest_args[@]}" || status=$?
# The prefix's server outlives the programs by a few seconds; wait so the next run starts clean.
wineserver --wait || true

shopt -s nullglob
for bmp in "$screenshots"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
pngs=("$screenshots"/*.png)
if [[ ${#pngs[@]} -gt 0 ]]; then
  echo "== screenshots:"
  printf '   %s\n' "${pngs[@]}"
fi
exit $status
