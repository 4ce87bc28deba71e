#!/usr/bin/env bash
# Installs what is needed, builds every test suite twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs them all, then runs the fuzz target for a while.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
jobs=$(nproc)

# The optimised programs, as the README's run command builds them, then its main job once.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZI_BUILD_TESTS=OFF
cmake --build build/release
scripts/smoke.sh build/release

cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build/debug
ctest --test-dir build/debug --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZI_SANITIZE=ON
cmake --build build/asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

# The fuzz targets, built with clang, for half a minute each from their seed corpus (copied:
# libFuzzer adds what it finds to the folder it is given).
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DZI_BUILD_FUZZ=ON
cmake --build build/fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
for target in import_text json_document; do
  mkdir "$corpus/$target"
  cp "fuzz/corpus/$target"/* "$corpus/$target"
  "build/fuzz/fuzz/fuzz_$target" -max_total_time=30 -max_len=4096 "$corpus/$target"
done
