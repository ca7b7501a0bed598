#!/usr/bin/env bash
# Installs Kestrel's build dependencies from Debian packages and builds into build/.
# Usage: scripts/setup.sh [--sanitize]   (--sanitize also builds build-asan/ with clang)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
          libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
          libasound2-dev libasound2-data libsoxr-dev sox
          libsqlite3-dev sqlite3 libjpeg62-turbo-dev imagemagick minimodem multimon-ng libhamlib-utils
          qt6-base-dev pandoc)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j"$jobs"

if [ "${1:-}" = "--sanitize" ]; then
  CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKESTREL_SANITIZE=ON -DKESTREL_FUZZ=ON -DKESTREL_BENCH=OFF >/dev/null
  ninja -C build-asan -j"$jobs"
fi
