#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian packages as a user meets them: dpkg installs vorlix-wipe and
# vorlix, the installed program starts, and dpkg removes them without a trace.
# The packages are those in $VORLIX_DEBS, which debian_package.sh builds
# (`make package` builds the whole program again, too long for every run).
# Usage: VORLIX_DEBS=FOLDER package_install.sh <vorlix binary> <build folder>
set -uo pipefail
# Installing for real changes the machine: only as root, and never over a
# copy that somebody installed on purpose. 77: skipped.
if [ -z "${VORLIX_DEBS:-}" ]; then echo "skipped: no packages built (tests/scripts/debian_package.sh builds them)"; exit 77; fi
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    sudo -n true 2>/dev/null || { echo "skipped: installing a package needs root"; exit 77; }
    as_root=(sudo)
fi
for package in vorlix vorlix-wipe; do
    if dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q 'ok installed'; then
        echo "skipped: a $package package is already installed"; exit 77
    fi
done
# A display and a runtime folder of its own: the user's Vorlix is never touched.
if [ -z "${VORLIX_TEST_DISPLAY:-}" ]; then
    VORLIX_TEST_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
tmp=$(mktemp -d)
trap 'kill -9 $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
# A command's own output goes to the log, shown only when it fails.
logged() { "$@" >"$tmp/log" 2>&1 || { cat "$tmp/log"; false; }; }
# The window's class is what desktops match to the entry's StartupWMClass.
starts() {
    mkdir -m 700 "$tmp/runtime"
    XDG_RUNTIME_DIR=$tmp/runtime /usr/bin/vorlix >/dev/null 2>&1 &
    local pid=$! window class
    window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Vorlix$' | head -1)
    class=$(xprop -id "$window" WM_CLASS 2>/dev/null)
    kill "$pid"
    [ -n "$window" ] || return 1
    grep -qF "\"$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/org.vorlix.Vorlix.desktop)\"" <<<"$class" ||
        { echo "  $class, not the entry's StartupWMClass"; false; }
}

debs=("$VORLIX_DEBS"/vorlix-wipe_*.deb "$VORLIX_DEBS"/vorlix_*.deb)
ls "${debs[@]}" >/dev/null || { echo "FAILED: the packages are in $VORLIX_DEBS"; exit 1; }

check "dpkg installs them" logged "${as_root[@]}" dpkg -i "${debs[@]}"
check "the installed vorlix starts and shows its window, of the class its entry names" starts
check "dpkg removes them again" logged "${as_root[@]}" dpkg --purge vorlix vorlix-wipe
check "leaving nothing behind" bash -c '! test -e /usr/bin/vorlix && ! test -e /usr/bin/vorlix-wipe &&
    ! test -e /usr/lib/vorlix && ! test -e /usr/libexec/vorlix && ! dpkg -s vorlix >/dev/null 2>&1 &&
    ! dpkg -s vorlix-wipe >/dev/null 2>&1'

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
