#!/bin/sh
# Installs what is missing, builds the program and the simulated drive (nothing
# else: the tests, fuzz targets and benchmark are built by scripts/build.sh), and
# starts ORVEX with a simulated drive on port 1.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target orvex orvex-drive-sim
exec build/src/orvex --simulate "$@"
