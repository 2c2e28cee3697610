#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need (as root), skipping
# the update and install when everything is already there.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  nlohmann-json3-dev libcli11-dev libgtest-dev libassimp-dev libpng-dev libkainjow-mustache-dev libboost-json1.81-dev
)
if [[ "${1:-}" == "--tests" ]]; then
  packages+=(mingw-w64 wine wine64 xvfb xauth imagemagick clang clang-format libclang-rt-14-dev assimp-testmodels
    ninja-build chromium)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
