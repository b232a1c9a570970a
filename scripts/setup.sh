#!/bin/sh
# Installs whatever is missing to build, run and test ORVEX on Debian 12 (clang and
# its runtime libraries for the sanitized build and the fuzz targets; rsvg-convert for
# the icons, and the tools with which the installed files and the Debian package are
# checked).
set -e
packages="g++ cmake ninja-build qt6-base-dev qt6-serialport-dev libcsv-dev libfftw3-dev poppler-utils qpdf fonts-noto-cjk xvfb xauth clang libclang-rt-14-dev libmosquitto-dev mosquitto mosquitto-clients openssl libtelnet-dev ser2net pkg-config librsvg2-bin desktop-file-utils appstream lintian dpkg-dev man-db groff-base file"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
