#!/bin/sh
# Installs what is missing, builds, and starts ORVEX.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh
exec build/src/orvex "$@"
