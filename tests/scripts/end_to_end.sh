#!/usr/bin/env bash
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
mkdir "$mnt/docs"
# Each file holds 100 KB of its own marker, a text found nowhere else.
for i in 1 2 3 4 5; do
    marker="VORLIX-END-TO-END-MARKER-$i-$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')"
    echo "$marker" >"$tmp/marker$i"
    yes "$marker" | head -c 102400 >"$tmp/content$i"
    cp "$tmp/content$i" "$mnt/docs/file$i.txt"
done
sync

(cd "$mnt/docs" && "$vorlix" file1.txt file2.txt "$mnt/docs/file3.txt" >"$tmp/first.out" 2>&1) &
first=$!
win=$(timeout 10 xdotool search --sync --onlyvisible --name '^Vorlix$' | head -1)
check "the window opens" test -n "$win"
(cd "$mnt/docs" && timeout 10 "$vorlix" file4.txt >"$tmp/second.out" 2>&1)
check "a second start hands its file over and exits successfully" test $? -eq 0
check "naming the file" grep -qx "Param sent to main instance $mnt/docs/file4.txt" "$tmp/second.out"
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

for i in 1 2 3 4; do check "file$i is gone" test ! -e "$mnt/docs/file$i.txt"; done
check "the file beside them is intact" cmp -s "$tmp/content5" "$mnt/docs/file5.txt"
umount "$mnt"
for i in 1 2 3 4; do
    check "no byte of file$i's content is left on the device" test "$(grep -c -a -F -f "$tmp/marker$i" "$tmp/disk.img")" -eq 0
done
check "the search does find the kept file's content" test "$(grep -c -a -F -f "$tmp/marker5" "$tmp/disk.img")" -gt 0

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
