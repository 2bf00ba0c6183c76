#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the desktop keeps of a wiped file goes with it, checked with the
# desktop's own clients: GNOME's thumbnail factory makes the thumbnails and
# GTK's recent manager the recently-used.xbel entries, vorlix-wipe wipes some
# of the files (and a folder), and the same clients then find nothing of the
# wiped files and everything of the others, byte for byte. Names with spaces,
# #, %, ?, other letters and bytes that are not UTF-8 each find the
# thumbnail the factory made. --keep-traces leaves everything; a read-only
# cache and a list that does not parse are named and fail no file.
# Usage: desktop_traces.sh <vorlix binary> <build folder>
set -uo pipefail
wipe=$(cd "$(dirname "$1")" && pwd)/vorlix-wipe
clients=$(cd "$(dirname "$0")/../support" && pwd)/desktop_clients.py
py=/usr/bin/python3
command -v xvfb-run >/dev/null || { echo "skipped: xvfb-run is missing (scripts/install-deps test)"; exit 77; }
$py -c "import gi; gi.require_version('GnomeDesktop', '3.0'); gi.require_version('Gtk', '3.0')" 2>/dev/null \
    || { echo "skipped: GnomeDesktop or Gtk for python3 is missing (scripts/install-deps test)"; exit 77; }
export LC_ALL=C.UTF-8
tmp=$(mktemp -d)
ro_mount=
cleanup() {
    [ -n "$ro_mount" ] && umount "$ro_mount" 2>/dev/null
    chmod -R u+w "$tmp" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
# Everything the program and the clients read or write is the test's own.
export HOME=$tmp/home XDG_CACHE_HOME=$tmp/home/.cache XDG_DATA_HOME=$tmp/home/.local/share
export XDG_RUNTIME_DIR=$tmp/runtime XDG_STATE_HOME=$tmp/state XDG_CONFIG_HOME=$tmp/home/.config
mkdir -p "$HOME" "$XDG_STATE_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
xbel=$XDG_DATA_HOME/recently-used.xbel
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
client() { $py "$clients" "$@"; }
gui_client() { xvfb-run -a $py "$clients" "$@"; }
run() {
    (cd "$HOME/w" && "$wipe" "$@" >"$tmp/out" 2>"$tmp/err")
    status=$?
}
thumbnail_of() { client thumbnail "$1"; }
# The cache and the lists as they are, byte for byte.
state() { (cd "$HOME" && find .cache/thumbnails .local/share -type f -exec sha256sum {} + 2>/dev/null | sort); }
without() { grep -vF "$1"; }

mkdir -p "$HOME/w/dir/sub"
cd "$HOME/w" || exit 1
names=("plain.png" "with space.png" "hash#mark.png" "per%cent.png" "quest?ion.png" "Grüße ñ.png" $'bad\xff\xfe byte.png')
kept=("$HOME/w/keep.png" "$HOME/w/keep too.png")
inside=("$HOME/w/dir/one.png" "$HOME/w/dir/sub/two.png")
all=()
for name in "${names[@]}"; do all+=("$HOME/w/$name"); done
all+=("${kept[@]}" "${inside[@]}" "$HOME/w/dir/gone.png")
client png "${all[@]}" "$HOME/w/decoy.png"
declare -A mtime
for file in "${all[@]}"; do mtime[$file]=$(stat -c %Y "$file"); done
gui_client thumb "${all[@]}" || { echo "FAILED: the factory made no thumbnails"; exit 1; }
gui_client recent "${all[@]}"
check "GTK saved the recent files" grep -qF 'keep%20too.png' "$xbel"
# A recent entry of a file already gone from the folder the run takes whole.
rm "$HOME/w/dir/gone.png"
# A thumbnail under the name of decoy.png's URI that is keep.png's picture:
# its Thumb::URI names keep.png, so it stays.
decoy_thumbnail=$(thumbnail_of "$HOME/w/decoy.png")
cp "$(thumbnail_of "$HOME/w/keep.png")" "$decoy_thumbnail"
# KDE's entries, as KRecentDocument writes them.
mkdir -p "$XDG_DATA_HOME/RecentDocuments"
printf '[Desktop Entry]\nName=plain.png\nType=Link\nURL[$e]=file:$HOME/w/plain.png\n' \
    >"$XDG_DATA_HOME/RecentDocuments/plain.png.desktop"
printf '[Desktop Entry]\nName=keep.png\nType=Link\nURL[$e]=file://%s\n' "$HOME/w/keep.png" \
    >"$XDG_DATA_HOME/RecentDocuments/keep.png.desktop"
wiped=("${names[@]/#/$HOME/w/}" "${inside[@]}")
kept_state=$(state | without "$(basename "$xbel")")
for file in "${wiped[@]}"; do kept_state=$(echo "$kept_state" | without "$(basename "$(thumbnail_of "$file")")"); done
kept_state=$(echo "$kept_state" | without plain.png.desktop)
# What GTK itself writes once the same entries are removed.
mkdir -p "$tmp/gtk"
cp "$xbel" "$tmp/gtk/recently-used.xbel"
XDG_DATA_HOME=$tmp/gtk gui_client forget "${wiped[@]}" "$HOME/w/dir/gone.png"

run --report "$tmp/r.json" -r -- "${names[@]}" dir decoy.png
check "the run: status 0" test $status -eq 0
check "the files and the folder are gone" test ! -e "$HOME/w/plain.png" -a ! -e "$HOME/w/dir"
for file in "${wiped[@]}"; do
    shown=$(printf '%q' "$(basename "$file")")
    check "no thumbnail of $shown for the factory" bash -c '! "$0" "$1" lookup "$2" "$3"' $py "$clients" "$file" "${mtime[$file]}"
    check "no recent entry of $shown for GTK" bash -c '! "$0" "$1" has-recent "$2"' $py "$clients" "$file"
done
check "the gone file's entry went with its folder" bash -c '! "$0" "$1" has-recent "$2"' $py "$clients" "$HOME/w/dir/gone.png"
for file in "${kept[@]}"; do
    check "the thumbnail of $(basename "$file") is found" client lookup "$file" "${mtime[$file]}"
    check "the recent entry of $(basename "$file") is listed" client has-recent "$file"
done
check "another file's thumbnail under a wiped name stays" test -e "$decoy_thumbnail"
check "every other thumbnail and list is as it was, byte for byte" \
    test "$(state | without "$(basename "$xbel")")" = "$kept_state"
check "the list is what GTK writes without the entries" cmp -s "$xbel" "$tmp/gtk/recently-used.xbel"
check "the list's old copy is gone" test -z "$(find "$XDG_DATA_HOME" -name '*vorlix*')"
check "KDE's entry of the wiped file is gone, the other kept" \
    test ! -e "$XDG_DATA_HOME/RecentDocuments/plain.png.desktop" -a -e "$XDG_DATA_HOME/RecentDocuments/keep.png.desktop"
# 9 wiped files: a thumbnail each; 9 xbel entries, the gone file's and KDE's.
check "the line says what went" grep -qx 'Also removed: 9 thumbnails, 11 recent-files entries' "$tmp/out"
check "the record lists the traces" $py -c '
import json, sys
r = json.load(open(sys.argv[1]))
files = {f["path"].rsplit("/", 1)[1]: f for f in r["files"]}
plain = [(t["kind"], t["removed"]) for t in files["plain.png"]["traces"]]
assert sorted(plain) == [("recent", True), ("recent", True), ("thumbnail", True)], plain
assert files["decoy.png"]["traces"] == [], files["decoy.png"]
t = r["totals"]
assert (t["thumbnails_removed"], t["recent_removed"], t["traces_not_removed"]) == (9, 11, 0), t
' "$tmp/r.json"

# --keep-traces touches nothing but the file.
before=$(state)
run --keep-traces keep.png
check "--keep-traces: status 0, the file wiped" test $status -eq 0 -a ! -e "$HOME/w/keep.png"
check "--keep-traces: every thumbnail and list as it was" test "$(state)" = "$before"
check "--keep-traces: no line of traces" bash -c '! grep -q "^Also removed" "$0"' "$tmp/out"

# A read-only cache: the file is wiped, the thumbnail named with why.
client png "$HOME/w/late.png"
gui_client thumb "$HOME/w/late.png"
normal=$XDG_CACHE_HOME/thumbnails/normal
late_thumbnail=$(thumbnail_of "$HOME/w/late.png")
if [ "$(id -u)" -eq 0 ]; then
    # Root writes into any folder: the cache is mounted read-only instead.
    mount --bind "$normal" "$normal" && ro_mount=$normal && mount -o remount,bind,ro "$normal"
else
    chmod a-w "$normal" "$late_thumbnail"
fi
run --report "$tmp/ro.json" late.png
check "read-only cache: status 0 and the file wiped" test $status -eq 0 -a ! -e "$HOME/w/late.png"
check "read-only cache: the thumbnail stays and is named with the reason" \
    grep -qF "Not removed (thumbnail: permission denied or read-only" "$tmp/err"
check "read-only cache: the line names the thumbnail" grep -qF "$late_thumbnail" "$tmp/err"
check "read-only cache: the record says why" $py -c '
import json, sys
t = json.load(open(sys.argv[1]))["files"][0]["traces"]
assert [(x["kind"], x["removed"]) for x in t] == [("thumbnail", False)] and t[0]["reason"], t
' "$tmp/ro.json"
[ -n "$ro_mount" ] && umount "$ro_mount" && ro_mount=
chmod u+w "$normal" "$late_thumbnail"
check "read-only cache: the thumbnail is still there" test -e "$late_thumbnail"

# A list that does not parse is named and left as it is.
echo "<xbel version=" >"$xbel"
client png "$HOME/w/last.png"
run last.png
check "unparsable list: status 0 and the file wiped" test $status -eq 0 -a ! -e "$HOME/w/last.png"
check "unparsable list: named with the reason" grep -qF "Not removed (recent-files entry: " "$tmp/err"
check "unparsable list: left as it was" test "$(cat "$xbel")" = "<xbel version="

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
