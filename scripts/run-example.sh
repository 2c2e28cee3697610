#!/usr/bin/env bash
# Builds the tools and exports the bundled example scene, then shows what was written.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DCVM_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/release" -j2 --target cvmexport cvmdump
"$root/build/release/tools/cvmexport/cvmexport" "$root/examples/example_scene.json" -o "$root/build/example.cvm"
echo "Wrote build/example.cvm"
"$root/build/release/tools/cvmdump/cvmdump" "$root/build/example.cvm"
