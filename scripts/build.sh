#!/usr/bin/env bash
# Installs what is needed and builds the release programs into build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
. scripts/compiler_cache.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZI_BUILD_TESTS=OFF
cmake --build build/release
