#!/usr/bin/env bash
# Installs what is needed, builds the programs and every test suite optimised and runs them, runs
# the README's main job with those programs, then builds the Qt-free code and its tests with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs them, then the fuzz targets for a while.
# Warnings are errors in all of these builds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
. scripts/compiler_cache.sh
jobs=$(nproc)

# One optimised build serves the README's main job, the test suites and the site package, so that
# nothing is compiled twice.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZI_BUILD_TESTS=ON -DZI_WARNINGS_AS_ERRORS=ON
cmake --build build/release
scripts/smoke.sh build/release
ctest --test-dir build/release --output-on-failure -j "$jobs"

# The sanitizers help the code of our own; the Qt views are left out (Qt's own code dominates them).
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZI_SANITIZE=ON -DZI_WITH_DESKTOP=OFF \
  -DZI_WARNINGS_AS_ERRORS=ON
cmake --build build/asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

# The fuzz targets, built with clang, for half a minute each from their seed corpus (copied:
# libFuzzer adds what it finds to the folder it is given).
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DZI_BUILD_FUZZ=ON \
  -DZI_WARNINGS_AS_ERRORS=ON
cmake --build build/fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
for target in import_text json_document; do
  mkdir "$corpus/$target"
  cp "fuzz/corpus/$target"/* "$corpus/$target"
  "build/fuzz/fuzz/fuzz_$target" -max_total_time=30 -max_len=4096 "$corpus/$target"
done
