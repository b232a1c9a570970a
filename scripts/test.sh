#!/bin/sh
# Installs what is missing, builds, and runs every test (no display needed).
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --timeout 300 -j2
