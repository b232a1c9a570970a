#!/bin/sh
# Checks what "cmake --install" and "cpack -G DEB" make of a finished build
# (default build/): the installed tree (programs, desktop entry, AppStream
# metainfo, man pages that cover every option the programs' --help lists,
# icons, --help, --help-all and --version answered with no display at all),
# the Debian package (dependencies from the linked libraries, lintian without
# errors), and, as root, that the package installs, its programs answer the
# same without a display, and it removes cleanly. Needs no display.
set -eu
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
installed_here=""
cleanup() {
    if [ -n "$installed_here" ]; then $sudo dpkg -r orvex >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 2; }

# --- the installed tree ------------------------------------------------------
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
programs="orvex orvex-drive-sim"
if [ -n "$(find "$build" -name orvex-cli -type f -perm -u+x 2>/dev/null | head -1)" ]; then
    programs="$programs orvex-cli"
fi
for p in $programs; do
    [ -x "$prefix/bin/$p" ] && ok "bin/$p" || fail "bin/$p is not installed"
done

for f in "$prefix"/share/applications/*.desktop; do
    if desktop-file-validate "$f"; then ok "$(basename "$f") validates"; else fail "$(basename "$f") does not validate"; fi
    for exe in $(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$f" | sort -u); do
        [ -x "$prefix/bin/$exe" ] || fail "$(basename "$f") starts $exe, which is not installed"
    done
    icon=$(sed -n 's/^Icon=//p' "$f")
    [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon.svg is not installed"
done

metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml)
if appstreamcli validate --no-net "$metainfo"; then ok "$(basename "$metainfo") validates"; else fail "$(basename "$metainfo") does not validate"; fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -f "$prefix/share/applications/$launchable" ] || fail "the metainfo launches $launchable, which is not installed"
for exe in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
    [ -x "$prefix/bin/$exe" ] || fail "the metainfo provides $exe, which is not installed"
done

for size in 16 22 24 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/orvex.png"
    if file "$png" | grep -q "PNG image data, $size x $size,"; then :; else fail "no ${size}x${size} PNG icon"; fi
done
ok "icons"

if echo "$programs" | grep -q orvex-cli; then
    unit="$prefix/lib/systemd/system/orvex-bridge.service"
    [ -f "$unit" ] || fail "the bridge's unit is not installed"
    for f in bridge.conf bridge-ports; do
        [ -f "$prefix/share/doc/orvex/examples/$f" ] || fail "the bridge's example $f is not installed"
    done
    grep -q '^Restart=on-failure' "$unit" || fail "the bridge's unit is not restarted on failure"
    ok "the bridge's unit and examples"
fi

# Each program's page renders without warnings and names every option its
# --help lists.
for p in $programs; do
    page="$prefix/share/man/man1/$p.1.gz"
    [ -f "$page" ] || { fail "no man page for $p"; continue; }
    warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$p.1 renders with warnings: $warnings"
    text=$(MANWIDTH=100 man -l "$page" 2>/dev/null)
    echo "$text" | grep -q "^NAME" || fail "man -l $p.1 shows no NAME"
    help=$("$prefix/bin/$p" --help 2>&1) || fail "$p --help fails"
    # A program with commands lists them; each has a --help of its own.
    for cmd in $(echo "$help" | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'); do
        help="$help
$("$prefix/bin/$p" "$cmd" --help 2>&1)" || fail "$p $cmd --help fails"
    done
    for option in $(echo "$help" | grep -o -e '--[a-z][a-z-]*' -e '^ *-[a-zA-Z],' | tr -d ' ,' | sort -u); do
        echo "$text" | grep -qE -- "(^|[^a-zA-Z-])$option([^a-zA-Z-]|\$)" || fail "$p.1 does not describe $option"
    done
done
ok "man pages"

# Without any display: each program's --help, --help-all and --version answer,
# and the window program started for its windows says in one line what is
# missing (exit status 1, not an abort).
nodisplay="env -u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR"
check_without_display() {  # $1: the folder of the programs
    for p in $programs; do
        for a in --help --help-all --version; do
            out=$($nodisplay timeout 20 "$1/$p" $a 2>&1) || { fail "$1/$p $a fails without a display: $out"; continue; }
            [ -n "$out" ] || fail "$1/$p $a says nothing"
        done
    done
    status=0
    out=$(cd "$work" && $nodisplay timeout 20 "$1/orvex" 2>&1) || status=$?
    if [ "$status" -ne 1 ]; then
        fail "$1/orvex without a display ends with status $status: $out"
    elif [ "$(printf '%s\n' "$out" | wc -l)" -ne 1 ] || ! echo "$out" | grep -q 'QT_QPA_PLATFORM=offscreen'; then
        fail "$1/orvex without a display does not say in one line how to run it: $out"
    fi
}
check_without_display "$prefix/bin"
ok "--help, --help-all, --version without a display"

# --- the Debian package ------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/orvex_*.deb)
ok "built $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libqt6serialport6; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
for field in Maintainer Section Description; do
    [ -n "$(dpkg-deb -f "$deb" $field)" ] || fail "package has no $field"
done
contents=$(dpkg-deb -c "$deb")
echo "$contents" | grep -v ' root/root ' | grep . && fail "package files not owned by root"
echo "$contents" | grep -q ' ./usr/share/man/man1/orvex.1.gz$' || fail "package lacks orvex(1)"

lintian_out=$(lintian --allow-root --tag-display-limit 0 "$deb" 2>&1) || true
[ -z "$lintian_out" ] || echo "$lintian_out" | sed 's/^/lintian: /'
if echo "$lintian_out" | grep -q '^E: '; then fail "lintian reports errors"; else ok "lintian: no errors"; fi

# --- install, start, remove --------------------------------------------------
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if sudo -n true 2>/dev/null; then sudo="sudo -n"; else sudo="-"; fi
fi
if [ "$sudo" = "-" ]; then
    echo "skipped: installing the package needs root"
elif dpkg-query -W -f='${Status}' orvex 2>/dev/null | grep -q 'ok installed'; then
    echo "skipped: a package orvex is installed already; left as it is"
else
    installed_here=1
    $sudo dpkg -i "$deb" >/dev/null || fail "dpkg -i fails"
    check_without_display /usr/bin
    # Slim container images tell dpkg to leave the man pages out.
    if ! grep -qs 'path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
        man -w orvex >/dev/null 2>&1 || fail "man cannot find orvex(1) after installing"
    fi
    if echo "$programs" | grep -q orvex-cli; then
        # Installed, not enabled; a unit systemd can load.
        [ ! -e /etc/systemd/system/multi-user.target.wants/orvex-bridge.service ] || fail "the bridge is enabled on install"
        unit=$(ls /lib/systemd/system/orvex-bridge.service /usr/lib/systemd/system/orvex-bridge.service 2>/dev/null | head -1)
        if [ -z "$unit" ]; then
            fail "the bridge's unit is not installed by the package"
        elif command -v systemd-analyze >/dev/null 2>&1; then
            systemd-analyze verify --man=no "$unit" || fail "systemd-analyze verify $unit fails"
        fi
    fi
    $sudo dpkg -r orvex >/dev/null || fail "dpkg -r fails"
    installed_here=""
    [ ! -e /usr/bin/orvex ] || fail "/usr/bin/orvex is left after dpkg -r"
    ok "dpkg -i, --help, --help-all, --version without a display, dpkg -r"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "package checks passed"
