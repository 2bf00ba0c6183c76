#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# As root, with the home and its caches on an ext4 image: once vorlix-wipe has
# wiped files with thumbnails and recent entries, the blocks the removed
# thumbnails and the replaced recently-used.xbel occupied hold none of the
# wiped files' names, read raw from the image after it is unmounted; the kept
# file's name is still in the new list.
# Usage: desktop_traces_root.sh <vorlix binary> <build folder>
set -uo pipefail
if [ "$(id -u)" -ne 0 ]; then echo "skipped: mounting an ext4 image needs root"; exit 77; fi
wipe=$(cd "$(dirname "$1")" && pwd)/vorlix-wipe
clients=$(cd "$(dirname "$0")/../support" && pwd)/desktop_clients.py
py=/usr/bin/python3
for tool in xvfb-run filefrag mkfs.ext4; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (scripts/install-deps test)"; exit 77; }
done
$py -c "import gi; gi.require_version('GnomeDesktop', '3.0'); gi.require_version('Gtk', '3.0')" 2>/dev/null \
    || { echo "skipped: GnomeDesktop or Gtk for python3 is missing (scripts/install-deps test)"; exit 77; }
export LC_ALL=C.UTF-8
tmp=$(mktemp -d)
mnt=$tmp/mnt
cleanup() {
    mountpoint -q "$mnt" && umount "$mnt"
    rm -rf "$tmp"
}
trap cleanup EXIT
mkdir "$mnt"
truncate -s 64M "$tmp/disk.img"
mkfs.ext4 -q -F "$tmp/disk.img"
if ! mount -o loop "$tmp/disk.img" "$mnt" 2>/dev/null; then echo "skipped: no loop devices here"; exit 77; fi
export HOME=$mnt/home XDG_CACHE_HOME=$mnt/home/.cache XDG_DATA_HOME=$mnt/home/.local/share
export XDG_RUNTIME_DIR=$tmp/runtime XDG_STATE_HOME=$tmp/state XDG_CONFIG_HOME=$mnt/home/.config
mkdir -p "$HOME/w/folder" "$XDG_STATE_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
# The 512-byte sectors a file occupies, one "start count" per extent.
sectors() { filefrag -v -b512 "$1" | awk -F'[:. ]+' '$2 ~ /^[0-9]+$/ && NF >= 8 {print $5, $6 - $5 + 1}'; }

wiped=("$HOME/w/secretnameone.png" "$HOME/w/folder/secretnametwo.png")
kept=$HOME/w/keptnamethree.png
$py "$clients" png "${wiped[@]}" "$kept"
xvfb-run -a $py "$clients" thumb "${wiped[@]}" "$kept" || { echo "FAILED: the factory made no thumbnails"; exit 1; }
xvfb-run -a $py "$clients" recent "${wiped[@]}" "$kept"
sync
places=$(for file in "${wiped[@]}"; do sectors "$($py "$clients" thumbnail "$file")"; done
         sectors "$XDG_DATA_HOME/recently-used.xbel")
check "the thumbnails and the list have blocks to look at" test "$(echo "$places" | grep -c .)" -ge 3
read_places() {
    echo "$places" | while read -r start count; do
        dd if="$tmp/disk.img" bs=512 skip="$start" count="$count" status=none
    done
}
check "before the run the blocks hold the names" test "$(read_places | grep -ac secretname)" -gt 0

(cd "$HOME/w" && "$wipe" -r secretnameone.png folder >"$tmp/out" 2>"$tmp/err")
check "the run: status 0" test $? -eq 0
check "the line says what went" grep -qx 'Also removed: 2 thumbnails, 2 recent-files entries' "$tmp/out"
check "the new list keeps the other file" grep -qF keptnamethree "$XDG_DATA_HOME/recently-used.xbel"
check "the new list names no wiped file" test "$(grep -c secretname "$XDG_DATA_HOME/recently-used.xbel")" -eq 0
umount "$mnt"
check "the old thumbnails' and list's blocks hold no wiped name" test "$(read_places | grep -ac secretname)" -eq 0

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
