#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user meets it: dpkg installs it, the installed
# program starts, and dpkg removes it without a trace.
# Usage: package_install.sh <vorlix binary> <build folder>
set -uo pipefail
build=$2
# Installing for real changes the machine: only as root, and never over a
# copy that somebody installed on purpose. 77: skipped.
if [ "$(id -u)" -ne 0 ]; then echo "skipped: installing a package needs root"; exit 77; fi
if dpkg-query -W -f='${Status}' vorlix 2>/dev/null | grep -q 'ok installed'; then
    echo "skipped: a vorlix package is already installed"; exit 77
fi
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
starts() {
    mkdir -m 700 "$tmp/runtime"
    XDG_RUNTIME_DIR=$tmp/runtime /usr/bin/vorlix >/dev/null 2>&1 &
    local pid=$! found=0
    timeout 10 xdotool search --sync --onlyvisible --name '^Vorlix$' >/dev/null && found=1
    kill "$pid"
    [ "$found" -eq 1 ]
}

(cd "$build" && cpack -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1)
deb=$(ls "$tmp"/vorlix_*.deb 2>/dev/null | head -1)
if [ -z "$deb" ]; then cat "$tmp/cpack.log"; echo "FAILED: a Debian package is built"; exit 1; fi

check "dpkg installs it" logged dpkg -i "$deb"
check "the installed vorlix starts and shows its window" starts
check "dpkg removes it again" logged dpkg --purge vorlix
check "leaving nothing behind" bash -c '! test -e /usr/bin/vorlix && ! dpkg -s vorlix >/dev/null 2>&1' 

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
