#!/bin/sh
# Installs what is missing, builds, and starts ORVEX with a simulated drive on port 1.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh
exec build/src/orvex --simulate "$@"
