#!/bin/sh
# Installs what is missing, builds, and runs every test (no display needed):
# the normal build and its tests; then one clang build with AddressSanitizer
# and UndefinedBehaviorSanitizer, whose tests must pass too and which also
# holds the fuzz targets; then a short run of each fuzz target; last, what is
# installed and packaged from build/ (and, as root, the package installed and removed).
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --timeout 300 -j2

cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DORVEX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only"
cmake --build build-asan
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir build-asan --output-on-failure --timeout 600 -j2 -LE fuzz
ctest --test-dir build-asan --output-on-failure -L fuzz

sh packaging/check-package.sh build
