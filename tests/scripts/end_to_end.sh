#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed program, driven as a user drives it: files on an ext4 image
# are queued from the command line and by a second start, Start Wipe! is
# clicked, and afterwards the image's raw bytes must hold none of their content.
# Usage: end_to_end.sh <vorlix binary> <build folder>
set -uo pipefail
build=$2
# 77: skipped.
if [ "$(id -u)" -ne 0 ]; then echo "skipped: mounting an ext4 image needs root"; exit 77; fi
# A display and a runtime folder of its own: the user's Vorlix is never touched.
if [ -z "${VORLIX_TEST_DISPLAY:-}" ]; then
    VORLIX_TEST_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
export LC_ALL=C.UTF-8
tmp=$(mktemp -d)
export XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
mnt=$tmp/mnt
cleanup() {
    kill -9 $(jobs -p) 2>/dev/null
    mountpoint -q "$mnt" && umount "$mnt"
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
gone_within() {
    local end=$((SECONDS + $1))
    while kill -0 "$2" 2>/dev/null; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.1
    done
}

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null || { echo "FAILED: install"; exit 1; }
vorlix=$tmp/prefix/bin/vorlix

truncate -s 64M "$tmp/disk.img"
mkfs.ext4 -q -F "$tmp/disk.img"
mkdir "$mnt"
if ! mount -o loop "$tmp/disk.img" "$mnt" 2>/dev/null; then echo "skipped: no loop devices here"; exit 77; fi
mkdir "$mnt/docs" "$mnt/docs/x" "$mnt/docs/.ssh"
# Names crafted to convert to other files' names: U+10002F, which a careless
# conversion turns into '/'; U+100041 ('A'); bytes that are not UTF-8; and a
# name that the C locale reads as its mojibake neighbour.
look=$'\xf4\x80\x80\xaf'
name[1]=file1.txt name[2]=file2.txt name[3]=file3.txt name[4]=file4.txt name[5]=file5.txt
name[6]=caf$'\xc3\xa9'.txt  name[7]=caf$'\xc3\x83\xc2\xa9'.txt
name[8]=bad$'\xff'
name[9]=x$look..$look.ssh${look}id  name[10]=.ssh/id
name[11]=$'\xf4\x80\x81\x81'  name[12]=A
name[13]=ff$'\xff\xfe'
wiped="1 2 3 4 6 8 9 11 13"
kept="5 7 10 12"
# Each file holds 100 KB of its own marker, a text found nowhere else.
for i in $wiped $kept; do
    marker="VORLIX-END-TO-END-MARKER-$i-$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')"
    echo "$marker" >"$tmp/marker$i"
    yes "$marker" | head -c 102400 >"$tmp/content$i"
    cp "$tmp/content$i" "$mnt/docs/${name[$i]}"
done
sync

# Started under the C locale: the names must reach the files as their bytes.
# The last one does not exist: the box at the end names it.
(cd "$mnt/docs" && LC_ALL=C "$vorlix" file1.txt file2.txt "$mnt/docs/file3.txt" "${name[6]}" "${name[8]}" missing$'\xfe' \
    >"$tmp/first.out" 2>&1) &
first=$!
win=$(timeout 10 xdotool search --sync --onlyvisible --name '^Vorlix$' | head -1)
check "the window opens" test -n "$win"
(cd "$mnt/docs" && timeout 10 "$vorlix" file4.txt >"$tmp/second.out" 2>&1)
check "a second start hands its file over and exits successfully" test $? -eq 0
check "naming the file" grep -qx "Param sent to main instance $mnt/docs/file4.txt" "$tmp/second.out"
(cd "$mnt/docs" && LC_ALL=C timeout 10 "$vorlix" "${name[9]}" "${name[11]}" "${name[13]}" >"$tmp/third.out" 2>&1)
check "a later start under the C locale hands over crafted names, one not UTF-8" test $? -eq 0
sleep 1

# Start Wipe! sits at the bottom right of the centred window, left of Close.
xdotool mousemove --window "$win" 383 505 click 1
check "the run ends with the completion box" \
    timeout 60 xdotool search --sync --onlyvisible --name '^Completed!$'
box=$(xdotool search --onlyvisible --name '^Completed!$' | head -1)
xdotool windowfocus --sync "$box" key Return
sleep 0.5
xdotool mousemove --window "$win" 490 505 click 1
check "closing the window ends the program" gone_within 10 "$first"
# The list and the box showed a name that is not UTF-8.
check "GTK was given only valid text" test "$(grep -c 'Invalid UTF-8' "$tmp/first.out")" -eq 0

for i in $wiped; do check "file $i is gone" test ! -e "$mnt/docs/${name[$i]}"; done
for i in $kept; do check "file $i beside them is intact" cmp -s "$tmp/content$i" "$mnt/docs/${name[$i]}"; done
umount "$mnt"
for i in $wiped; do
    check "no byte of file $i's content is left on the device" test "$(grep -c -a -F -f "$tmp/marker$i" "$tmp/disk.img")" -eq 0
done
check "the search does find the kept files' content" test "$(grep -c -a -F -f "$tmp/marker5" "$tmp/disk.img")" -gt 0

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
