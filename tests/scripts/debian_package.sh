#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian packages as Debian builds and installs them: `make package`
# (dpkg-buildpackage, then lintian with no warning), each package holding its
# own files, stripped, with the debug symbols in its -dbgsym; vorlix-wipe
# needing no GUI library and working without the window's package; then
# package_install.sh installs both, starts the window and removes them.
# It builds the whole program again, so it is a step of CI of its own, run in
# a fresh Debian 12 root:
#   /work/shared/tools/fresh-debian . "bash tests/scripts/debian_package.sh"
# Usage: debian_package.sh [FOLDER for the .debs, build-deb by default]
set -uo pipefail
cd "$(dirname "$0")/../.."
out=$(realpath -m "${1:-build-deb}")
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
logged() { "$@" >"$tmp/log" 2>&1 || { tail -n 60 "$tmp/log"; false; }; }

scripts/install-deps package-test || exit 1
start=$SECONDS
check "make package builds them, and lintian finds no warning" logged make package DEB_DIR="$out"
echo "make package took $((SECONDS - start)) s"
wipe_deb=$(ls "$out"/vorlix-wipe_1.0.0-1_*.deb 2>/dev/null)
window_deb=$(ls "$out"/vorlix_1.0.0-1_*.deb 2>/dev/null)
if [ -z "$wipe_deb" ] || [ -z "$window_deb" ]; then echo "$passes passed, $((failures + 1)) failed"; exit 1; fi

# --- What each package holds ---------------------------------------------------

holds() {  # holds DEB FILE...: each file is in the package
    local contents file missing=0
    contents=$(dpkg-deb -c "$1" | awk '{print $6}'); shift
    for file in "$@"; do grep -qxF "./$file" <<<"$contents" || { echo "  missing: /$file"; missing=1; }; done
    [ "$missing" -eq 0 ]
}
lacks() {  # lacks DEB PATTERN: no file of the package matches
    ! dpkg-deb -c "$1" | awk '{print $6}' | grep -E "$2"
}
check "vorlix-wipe holds the command, its manual page, the catalogs and the completions" holds "$wipe_deb" \
    usr/bin/vorlix-wipe usr/share/man/man1/vorlix-wipe.1.gz \
    usr/share/locale/{de,fr,es}/LC_MESSAGES/vorlix.mo \
    usr/share/bash-completion/completions/vorlix-wipe usr/share/zsh/vendor-completions/_vorlix-wipe \
    usr/share/fish/vendor_completions.d/vorlix-wipe.fish \
    usr/share/doc/vorlix-wipe/copyright usr/share/doc/vorlix-wipe/changelog.Debian.gz
check "vorlix-wipe holds nothing of the window" lacks "$wipe_deb" 'vorlix-window|applications|icons|polkit|libexec|metainfo'
check "vorlix holds the window, the privileged program, its policy and the desktop's files" holds "$window_deb" \
    usr/bin/vorlix usr/lib/vorlix/vorlix-window usr/libexec/vorlix/vorlix-privileged \
    usr/share/polkit-1/actions/org.vorlix.policy usr/share/applications/org.vorlix.Vorlix.desktop \
    usr/share/metainfo/org.vorlix.Vorlix.metainfo.xml usr/share/man/man1/vorlix.1.gz \
    usr/share/icons/hicolor/{16x16,32x32,48x48,96x96,128x128,256x256}/apps/vorlix.png \
    usr/share/kio/servicemenus/vorlix-wipe.desktop usr/share/nemo/actions/vorlix-wipe.nemo_action \
    usr/share/file-manager/actions/vorlix-wipe.desktop usr/share/nautilus-python/extensions/vorlix_wipe.py \
    usr/share/doc/vorlix/copyright
check "vorlix holds nothing vorlix-wipe has" lacks "$window_deb" 'bin/vorlix-wipe$|locale|completion'

# Stripped programs, each one's symbols in its -dbgsym under its build id.
symbols_apart() {  # symbols_apart DEB PROGRAM...
    local deb=$1 name=${1##*/} program id
    local dbgsym
    dbgsym=$(ls "$out/${name%%_*}-dbgsym_"*.deb 2>/dev/null) || { echo "  no ${name%%_*}-dbgsym"; return 1; }
    rm -rf "$tmp/x" "$tmp/d" && dpkg-deb -x "$deb" "$tmp/x" && dpkg-deb -x "$dbgsym" "$tmp/d"
    shift
    for program in "$@"; do
        readelf -S "$tmp/x/$program" 2>/dev/null | grep -q '\.debug_info' && { echo "  /$program is not stripped"; return 1; }
        id=$(readelf -n "$tmp/x/$program" 2>/dev/null | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p')
        [ -n "$id" ] && readelf -S "$tmp/d/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" 2>/dev/null | grep -q '\.debug_info' ||
            { echo "  no symbols for /$program (build id '$id')"; return 1; }
    done
}
check "vorlix-wipe is stripped, its symbols in vorlix-wipe-dbgsym" symbols_apart "$wipe_deb" usr/bin/vorlix-wipe
check "vorlix's programs are stripped, their symbols in vorlix-dbgsym" symbols_apart "$window_deb" \
    usr/bin/vorlix usr/lib/vorlix/vorlix-window usr/libexec/vorlix/vorlix-privileged

# --- What they depend on ---------------------------------------------------------

wipe_depends=$(dpkg-deb -f "$wipe_deb" Depends)
check "vorlix-wipe depends on wxBase" grep -q 'libwxbase3\.2' <<<"$wipe_depends"
# All that installing it brings in, down to the last dependency, holds no GUI
# toolkit. cairo, which prints the drive certificate, brings X11's client
# libraries (no display, no server); GTK, GDK and Wayland stay out.
no_gui_closure() {
    local names found
    names=$(tr ',|' '\n\n' <<<"$wipe_depends" | sed 's/(.*)//; s/:any//; s/ //g' | grep .)
    found=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
        --no-enhances $names 2>/dev/null | grep -v '^ ' | sort -u | grep -iE 'gtk|wayland|gdk')
    [ -z "$found" ] || { echo "  pulled in: $(echo $found)"; false; }
}
check "nothing vorlix-wipe pulls in, however deep, is a GUI toolkit" no_gui_closure
window_depends=$(dpkg-deb -f "$window_deb" Depends)
check "vorlix depends on this very vorlix-wipe and on wxGTK" \
    bash -c 'grep -q "vorlix-wipe (= 1.0.0-1)" <<<"$1" && grep -q "libwxgtk3\.2" <<<"$1"' - "$window_depends"
check "it recommends pkexec and suggests what the Nautilus entry needs" bash -c \
    'grep -qw pkexec <<<"$(dpkg-deb -f "$1" Recommends)" && grep -qw python3-nautilus <<<"$(dpkg-deb -f "$1" Suggests)"' \
    - "$window_deb"

# --- vorlix-wipe alone, then both ------------------------------------------------

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }
if installed vorlix || installed vorlix-wipe; then
    echo "skipped: installing them (a vorlix package is already installed here)"
else
    check "dpkg installs vorlix-wipe alone" logged "${as_root[@]}" dpkg -i "$wipe_deb"
    check "which loads no GTK library" bash -c '! ldd /usr/bin/vorlix-wipe | grep -i gtk'
    wipes() {
        head -c 100000 /dev/urandom >"$tmp/secret"
        /usr/bin/vorlix-wipe -q "$tmp/secret" && [ ! -e "$tmp/secret" ] && [ ! -e /usr/bin/vorlix ]
    }
    check "it wipes a file with the window's package absent" wipes
    check "its texts come from the catalogs in its own package" \
        bash -c 'LANGUAGE=de LANG=C.UTF-8 /usr/bin/vorlix-wipe --help | grep -q "^Aufruf\|^Verwendung"'
    check "dpkg removes it again" logged "${as_root[@]}" dpkg --purge vorlix-wipe
    VORLIX_DEBS=$out bash tests/scripts/package_install.sh - -
    status=$?
    check "both install, the window starts, both go again" test "$status" -eq 0
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
