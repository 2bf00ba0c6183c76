#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Add Trash through the real window, as a user empties the Trash with Vorlix:
# files and folders trashed by GLib (gio trash) into the home trash and into
# the trash of a second mounted ext4 image are queued, Start Wipe! is clicked,
# and then GVfs's trash:// lists nothing, files/ and info/ are empty, and the
# raw images hold neither the files' content nor their trash records.
# The user is nobody, with a home of the test's own: Add Trash takes every mounted
# filesystem's trash of its user, and no other trash on this machine may be
# touched. Usage: trash_wipe.sh <vorlix binary> <build folder>
set -uo pipefail
build=$2
if [ -z "${VORLIX_TRASH_USER:-}" ]; then
    if [ "$(id -u)" -ne 0 ]; then echo "skipped: mounting ext4 images needs root"; exit 77; fi
    for tool in gio dbus-run-session setpriv fuser /usr/libexec/gvfsd-trash; do
        [ -x "$tool" ] || command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (scripts/install-deps test)"; exit 77; }
    done
    export LC_ALL=C.UTF-8
    tmp=$(mktemp -d)
    chmod 755 "$tmp"
    home=$tmp/home other=$tmp/other
    # The session bus needs a user it can look up: nobody, whose trash is
    # nowhere on this machine (else the test would empty it, and skips).
    uid=$(id -u nobody 2>/dev/null) || { echo "skipped: no user nobody"; exit 77; }
    if pgrep -u "$uid" >/dev/null; then echo "skipped: nobody is running programs here"; exit 77; fi
    while IFS= read -r top; do
        for trash in "$top/.Trash-$uid" "$top/.Trash/$uid"; do
            [ -e "$trash" ] && { echo "skipped: $trash exists, and Add Trash as nobody would empty it"; exit 77; }
        done
    done < <(awk '{print $5}' /proc/self/mountinfo | sort -u)
    # Ends what still has the images open: the test session's GVfs daemons
    # (their metadata store lives under XDG_DATA_HOME).
    release() {
        local m pid
        for m in "$home" "$other"; do
            mountpoint -q "$m" || continue
            for pid in $(fuser -m "$m" 2>/dev/null); do kill -"$1" "$pid" 2>/dev/null; done
        done
    }
    cleanup() {
        release 9
        for m in "$home" "$other"; do mountpoint -q "$m" && umount "$m"; done
        rm -rf "$tmp"
    }
    trap cleanup EXIT
    cmake --install "$build" --prefix "$tmp/prefix" >/dev/null || { echo "FAILED: install"; exit 1; }
    for m in home other; do
        truncate -s 64M "$tmp/$m.img"
        mkfs.ext4 -q -F "$tmp/$m.img"
        mkdir "$tmp/$m"
        mount -o loop "$tmp/$m.img" "$tmp/$m" 2>/dev/null || { echo "skipped: no loop devices here"; exit 77; }
        chown "$uid:$uid" "$tmp/$m"
    done
    mkdir -m 700 "$tmp/runtime" "$tmp/session"
    # The test's user writes what it found beside the images.
    chown "$uid:$uid" "$tmp" "$tmp/runtime" "$tmp/session"
    # A display, session bus and runtime folder of its own; the bus starts
    # GVfs's daemons with this environment.
    # The test's user may not read the clone (a home folder closed to others).
    cp "$0" "$tmp/trash_wipe.sh"
    chmod 644 "$tmp/trash_wipe.sh"
    timeout -k 5 300 setpriv --reuid="$uid" --regid="$uid" --clear-groups \
        env VORLIX_TRASH_USER="$uid" TMPDIR="$tmp/session" HOME="$home" XDG_DATA_HOME="$home/.local/share" \
        XDG_RUNTIME_DIR="$tmp/runtime" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" bash "$tmp/trash_wipe.sh" "$@" "$tmp"
    [ -f "$tmp/result" ] || { echo "FAILED: the window's part did not finish"; exit 1; }
    read -r passes failures <"$tmp/result"
    check() {
        local what=$1; shift
        if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
    }
    release 15
    sleep 0.5
    unmounted() { umount "$home" && umount "$other"; }
    check "both images unmount" unmounted || { echo "$passes passed, $failures failed"; exit 1; }
    for img in home other; do
        check "$img image: no marker of a trashed file is left" \
            test "$(grep -c -a -F -f "$tmp/markers" "$tmp/$img.img")" -eq 0
        check "$img image: no trash record's original path is left" \
            test "$(grep -c -a -F -f "$tmp/records" "$tmp/$img.img")" -eq 0
    done
    # Folder entries keep deleted names until reused; said, not judged.
    names=0
    while IFS= read -r base; do
        grep -q -a -F "$base" "$tmp/home.img" "$tmp/other.img" && names=$((names + 1))
    done <"$tmp/names"
    echo "note: $names of $(wc -l <"$tmp/names") bare file names are still in deleted folder entries or the journal"
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
    exit
fi

# --- As the test's user, on its own display and session bus -----------------
export LC_ALL=C.UTF-8
tmp=${!#}
home=$tmp/home other=$tmp/other
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
trap 'echo "$passes $failures" >"$tmp/result"; kill -9 $(jobs -p) 2>/dev/null' EXIT
mkdir -p "$XDG_DATA_HOME" "$home/docs/Secret folder/inner" "$other/docs/Other folder"

# Each trashed file holds 60 KB of a marker found nowhere else.
n=0
make_file() {  # make_file PATH
    n=$((n + 1))
    local marker="VORLIX-TRASH-MARKER-$n-$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')"
    echo "$marker" >>"$tmp/markers"
    yes "$marker" | head -c 61440 >"$1"
}
trashed=("$home/docs/secret one.txt" "$home/docs/Secret folder/inner/deep $(printf '\xc3\xbc').txt"
         "$home/docs/Secret folder/top.txt" "$other/docs/other secret $(printf '\xe6\x96\x87').txt"
         "$other/docs/Other folder/in other.txt")
for file in "${trashed[@]}"; do make_file "$file"; echo "${file##*/}" >>"$tmp/names"; done
echo "kept at home" >"$home/docs/bystander.txt"
echo "kept on the other drive" >"$other/docs/bystander.txt"
sync
trash_all() {
    gio trash "$home/docs/secret one.txt" "$home/docs/Secret folder" \
        "$other/docs/other secret $(printf '\xe6\x96\x87').txt" "$other/docs/Other folder"
}
check "gio trash takes the files and folders" trash_all
home_trash=$XDG_DATA_HOME/Trash other_trash=$other/.Trash-$VORLIX_TRASH_USER
check "the home trash holds two items with their records" \
    test "$(ls "$home_trash/files" | wc -l)" -eq 2 -a "$(ls "$home_trash/info" | wc -l)" -eq 2
check "the other drive's trash holds two items with their records" \
    test "$(ls "$other_trash/files" 2>/dev/null | wc -l)" -eq 2 -a "$(ls "$other_trash/info" 2>/dev/null | wc -l)" -eq 2
# The records' own text: each original path as the trash wrote it.
cat "$home_trash"/info/*.trashinfo "$other_trash"/info/*.trashinfo 2>/dev/null | sed -n 's/^Path=//p' >"$tmp/records"
# A file manager's size cache for the trashed folder.
printf '122880 %s %s\n' "$(date +%s)000" "Secret%20folder" >"$home_trash/directorysizes"
# What the run must wipe: the five files, four records and the size cache.
expected=$(( 5 * 61440 + $(cat "$home_trash"/info/* "$other_trash"/info/* "$home_trash/directorysizes" | wc -c) ))
# GVfs provides trash:// (a sanitizer run keeps GIO's modules out of the program only).
listed() { env -u GIO_MODULE_DIR gio list trash:/// 2>/dev/null | wc -l; }
check "GVfs lists the four trashed items" test "$(listed)" -eq 4

"$tmp/prefix/bin/vorlix" >"$tmp/window.out" 2>&1 &
win=$(timeout 10 xdotool search --sync --onlyvisible --name '^Vorlix$' | head -1)
check "the window opens" test -n "$win"
sleep 1
# Add Trash sits in the header row of the centred window, Start Wipe! at the bottom right.
xdotool mousemove --window "$win" 386 106 click 1
sleep 1
xdotool mousemove --window "$win" 383 505 click 1
check "the run ends with the completion box" timeout 60 xdotool search --sync --onlyvisible --name '^Completed!$'
box=$(xdotool search --onlyvisible --name '^Completed!$' | head -1)
xdotool windowfocus --sync "$box" key Return
sleep 0.5
check "the run wiped every trashed file, record and the size cache" \
    grep -q '^\[PseudoRandom\] Secure file deletion completed' "$tmp/window.out"
wiped=$(grep -o 'Total file size to be wiped: [0-9]* bytes' "$tmp/window.out" | head -1 | tr -dc 0-9)
check "its total is the five files, the records and the cache ($expected bytes, got ${wiped:-none})" \
    test "${wiped:-0}" -eq "$expected"

empty() { [ -d "$1" ] && [ -z "$(ls -A "$1")" ]; }
check "home trash: files/ is empty" empty "$home_trash/files"
check "home trash: info/ is empty" empty "$home_trash/info"
check "home trash: the size cache is gone" test ! -e "$home_trash/directorysizes"
check "other drive's trash: files/ is empty" empty "$other_trash/files"
check "other drive's trash: info/ is empty" empty "$other_trash/info"
check "GVfs's trash:// lists nothing" test "$(listed)" -eq 0
check "the files beside them were not touched" \
    test "$(cat "$home/docs/bystander.txt")" = "kept at home" -a "$(cat "$other/docs/bystander.txt")" = "kept on the other drive"

# The command line's --trash takes the same: a file trashed afterwards goes, with its record.
make_file "$home/docs/later.txt"
echo "later.txt" >>"$tmp/names"
gio trash "$home/docs/later.txt"
check "vorlix-wipe --trash wipes what is in the Trash and exits 0" "$tmp/prefix/bin/vorlix-wipe" -q --trash
both_empty() { empty "$home_trash/files" && empty "$home_trash/info"; }
check "vorlix-wipe --trash: files/ and info/ are empty" both_empty


# A trash shaped by someone else: records that name other files, one of 10 MB,
# garbage, and items no run may go through. Only files/ entries and regular
# records go; the rest is named and left, and nothing outside is touched.
T=$home_trash
echo "victim" >"$home/docs/victim.txt"
echo "kept" >"$home/docs/linked.txt"
printf 'x\n' >"$T/files/a"; printf '[Trash Info]\nPath=/etc/passwd\n' >"$T/info/a.trashinfo"
printf '[Trash Info]\nPath=%s\n' "$home/docs/victim.txt" >"$T/info/orphan.trashinfo"
printf 'x\n' >"$T/files/big"; head -c 10M /dev/zero | tr '\0' P >"$T/info/big.trashinfo"
printf 'x\n' >"$T/files/junk"; head -c 4096 /dev/urandom >"$T/info/junk.trashinfo"
mkfifo "$T/files/fifo"; python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$T/files/sock"
ln -s "$home/docs/victim.txt" "$T/files/link"
mkdir "$T/files/dir"; printf 'x\n' >"$T/files/dir/in.txt"; ln -s "$home/docs" "$T/files/dir/to-docs"
printf 'x\n' >"$T/files/linkrec"; ln -s "$home/docs/linked.txt" "$T/info/linkrec.trashinfo"
printf 'x\n' >"$T/files/fiforec"; mkfifo "$T/info/fiforec.trashinfo"
printf 'junk\n\377\376 99999999999999999999 ..%%2Fetc\n' >"$T/directorysizes"
sums=$(md5sum /etc/passwd "$home/docs/victim.txt" "$home/docs/linked.txt")
timeout 60 "$tmp/prefix/bin/vorlix-wipe" --trash >"$tmp/hostile.out" 2>&1
status=$?
check "a shaped trash: the run ends, saying not all went (exit 1, got $status)" test "$status" -eq 1
check "a shaped trash: the records' paths and the links' targets are untouched" \
    test "$(md5sum /etc/passwd "$home/docs/victim.txt" "$home/docs/linked.txt")" = "$sums"
left=$(cd "$T" && find . -mindepth 1 | sort | tr '\n' ' ')
want="./files ./files/dir ./files/dir/to-docs ./files/fifo ./files/link ./files/sock ./info ./info/fiforec.trashinfo ./info/linkrec.trashinfo "
check "a shaped trash: only the items no run goes through and records that are no files are left" \
    test "$left" = "$want"
[ "$left" = "$want" ] || echo "  left: $left"
for named in files/fifo files/sock files/link files/dir/to-docs info/fiforec.trashinfo info/linkrec.trashinfo; do
    check "a shaped trash: $named is named" grep -q -F "$T/$named" "$tmp/hostile.out"
done
