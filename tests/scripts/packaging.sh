#!/usr/bin/env bash
# What a user installs: the desktop entry validates, and the Debian package
# lists its runtime libraries, installs with dpkg, starts, and removes cleanly.
# Usage: packaging.sh <vorlix binary> <build folder>
set -uo pipefail
build=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
tmp=$(mktemp -d)
trap 'kill -9 $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT

check "the desktop entry is valid" desktop-file-validate "$source_dir/dist/vorlix.desktop"
check "it opens all selected files with one start" grep -qx 'Exec=vorlix %F' "$source_dir/dist/vorlix.desktop"

(cd "$build" && cpack -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1)
deb=$(ls "$tmp"/vorlix_*.deb 2>/dev/null | head -1)
check "a Debian package is built" test -n "$deb"
if [ -z "$deb" ]; then cat "$tmp/cpack.log"; echo "$passes passed, $failures failed"; exit 1; fi
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/vorlix ./usr/share/applications/vorlix.desktop ./usr/share/man/man1/vorlix.1 \
    ./usr/share/icons/hicolor/16x16/apps/vorlix.png ./usr/share/icons/hicolor/256x256/apps/vorlix.png \
    "./usr/lib.*/vorlix/vorlix-window.so"; do
    check "the package holds $file" grep -q " $file\$" <<<"$contents"
done
check "it depends on the toolkit's runtime" grep -q 'libwx_gtk3u_core-3.2\|libwxgtk3.2' <<<"$(dpkg-deb -f "$deb" Depends)"

# Installing for real changes the machine: only as root, and never over a
# copy that somebody installed on purpose.
if [ "$(id -u)" -ne 0 ] || dpkg -s vorlix >/dev/null 2>&1; then
    echo "skipped: installing the package (needs root and no vorlix package installed)"
else
    check "dpkg installs it" dpkg -i "$deb" >"$tmp/dpkg.log" 2>&1
    # Its own display and runtime folder: a Vorlix the user has open must not take the start.
    mkdir -m 700 "$tmp/runtime"
    XDG_RUNTIME_DIR=$tmp/runtime xvfb-run -a -s "-screen 0 1280x1024x24" \
        bash -c '/usr/bin/vorlix & p=$!; timeout 10 xdotool search --sync --onlyvisible --name "^Vorlix\$" >/dev/null; r=$?; kill $p; exit $r'
    check "the installed vorlix starts and shows its window" test $? -eq 0
    check "dpkg removes it again" dpkg -r vorlix >>"$tmp/dpkg.log" 2>&1
    check "leaving nothing behind" test ! -e /usr/bin/vorlix
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
