#!/usr/bin/env bash
# vorlix-wipe on a real device, as root: on an ext4 image no byte of a wiped
# file's content is left in the raw image, while a refused twin's stays; and,
# where the kernel has device-mapper's flakey target, --verify catches a
# device that drops writes and keeps the file.
# Usage: wipe_cli_root.sh <vorlix binary> <build folder>
set -uo pipefail
wipe=$(cd "$(dirname "$1")" && pwd)/vorlix-wipe
if [ "$(id -u)" -ne 0 ]; then echo "skipped: mounting an ext4 image needs root"; exit 77; fi
export LC_ALL=C.UTF-8
tmp=$(mktemp -d)
export XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
mnt=$tmp/mnt
flakey=vorlix-test-$$
loop=
cleanup() {
    mountpoint -q "$mnt" && umount "$mnt"
    dmsetup remove "$flakey" 2>/dev/null
    [ -n "$loop" ] && losetup -d "$loop"
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
marker() { echo "VORLIX-CLI-MARKER-$1-$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')"; }
count() { grep -c -a -F -f "$1" "$2"; }

truncate -s 64M "$tmp/disk.img"
mkfs.ext4 -q -F "$tmp/disk.img"
mkdir "$mnt"
if ! mount -o loop "$tmp/disk.img" "$mnt" 2>/dev/null; then echo "skipped: no loop devices here"; exit 77; fi
mkdir -p "$mnt/tree/sub"
for name in tree/a tree/sub/b single twin; do
    tag=${name//\//_}
    marker "$tag" >"$tmp/marker.$tag"
    yes "$(cat "$tmp/marker.$tag")" | head -c 102400 >"$mnt/$name"
done
ln "$mnt/twin" "$mnt/twin-other-name"
sync
(cd "$mnt" && "$wipe" -q -r tree >"$tmp/out1" 2>"$tmp/err1")
check "random, -r: status 0" test $? -eq 0
(cd "$mnt" && "$wipe" -q --method dod --verify single twin >"$tmp/out2" 2>"$tmp/err2")
check "dod --verify beside a twin: status 1" test $? -eq 1
check "the twin is named with its reason" \
    grep -qxF 'Not wiped (a hard link: the file has other names too): twin' "$tmp/err2"
umount "$mnt"
for tag in tree_a tree_sub_b single; do
    check "no byte of $tag's content is left on the device" test "$(count "$tmp/marker.$tag" "$tmp/disk.img")" -eq 0
done
check "the refused twin's content is still there" test "$(count "$tmp/marker.twin" "$tmp/disk.img")" -gt 0

# The free space: a file deleted without wiping is gone from the device
# afterwards; stopped by SIGINT, the filler files are removed and the status
# is 130.
mount -o loop "$tmp/disk.img" "$mnt"
marker deleted >"$tmp/marker.deleted"
yes "$(cat "$tmp/marker.deleted")" | head -c 102400 >"$mnt/deleted"
sync
rm "$mnt/deleted"
sync
(cd "$mnt" && "$wipe" -n --free-space . >"$tmp/out4" 2>"$tmp/err4")
check "free space, dry run: status 0 and the filesystem named" grep -q '^Would wipe the free space of the ext4 filesystem on ' "$tmp/out4"
(cd "$mnt" && "$wipe" --free-space . >"$tmp/out5" 2>"$tmp/err5")
check "free space: status 0" test $? -eq 0
check "free space: says what it wrote" grep -q '^Free space wiped: ' "$tmp/out5"
# SIGINT the moment the work folder appears: the fill of a small image can
# end within a sleep's time on a fast disk.
status=$(python3 - "$mnt" "$tmp/out6" "$tmp/err6" "$wipe" --method dod --free-space . <<'PY'
import ctypes, os, select, signal, subprocess, sys
mnt, out, err, *command = sys.argv[1:]
libc = ctypes.CDLL(None, use_errno=True)
watch = libc.inotify_init1(os.O_CLOEXEC)
IN_CREATE = 0x100
libc.inotify_add_watch(watch, mnt.encode(), IN_CREATE)
child = subprocess.Popen(command, cwd=mnt, stdout=open(out, "w"), stderr=open(err, "w"))
while child.poll() is None:
    if select.select([watch], [], [], 0.1)[0] and b".vorlix-free-space" in os.read(watch, 65536):
        child.send_signal(signal.SIGINT)
        break
print(child.wait())
PY
)
check "free space, SIGINT: status 130" test "$status" = 130
check "free space, SIGINT: every filler file removed" test ! -e "$mnt/.vorlix-free-space"
check "free space, SIGINT: said so" grep -q 'Every file it made has been removed' "$tmp/err6"
umount "$mnt"
check "the deleted file's content is gone from the device" test "$(count "$tmp/marker.deleted" "$tmp/disk.img")" -eq 0

# The journal of data=journal keeps copies of the data, which the run clears
# at its end: nothing is left to warn of, on stderr or in the report, and
# neither is the journal a free-space wipe clears.
mount -o loop,data=journal "$tmp/disk.img" "$mnt"
echo journalled >"$mnt/journalled"
(cd "$mnt" && "$wipe" -q --report "$tmp/journal.json" journalled >"$tmp/out7" 2>"$tmp/err7" </dev/null)
check "data=journal: wiped, status 0, no warning" test $? -eq 0 -a ! -e "$mnt/journalled" -a ! -s "$tmp/err7"
check "data=journal: no warning in the report" \
    grep -qF '"filesystem": "ext4", "warning": null' "$tmp/journal.json"
(cd "$mnt" && "$wipe" -n --free-space . >"$tmp/out7" 2>"$tmp/err7" </dev/null)
check "data=journal, free space: no warning of the journal it clears" test $? -eq 0 -a ! -s "$tmp/err7"
umount "$mnt"

# Free space on a filesystem that writes elsewhere is refused in one plain sentence.
mkdir "$tmp/lower" "$tmp/upper" "$tmp/work"
if mount -t overlay overlay -o "lowerdir=$tmp/lower,upperdir=$tmp/upper,workdir=$tmp/work" "$mnt" 2>/dev/null; then
    (cd "$mnt" && "$wipe" --free-space . >"$tmp/out8" 2>"$tmp/err8" </dev/null)
    check "overlay, free space: refused, status 1" test $? -eq 1
    check "overlay, free space: the sentence" grep -qxF 'Free space not wiped: On this overlay filesystem, new data goes to new places and never over the old, so filling the free space cannot reach what was deleted there.' "$tmp/err8"
    umount "$mnt"
else
    echo "note: no overlay filesystem in this kernel"
fi

# A device that drops every write once the file is on it.
if ! dmsetup targets 2>/dev/null | grep -q '^flakey'; then
    modprobe dm-flakey 2>/dev/null
fi
if dmsetup targets 2>/dev/null | grep -q '^flakey'; then
    truncate -s 64M "$tmp/flakey.img"
    loop=$(losetup -f --show "$tmp/flakey.img")
    sectors=$(blockdev --getsz "$loop")
    dmsetup create "$flakey" --table "0 $sectors flakey $loop 0 3600 0"
    mkfs.ext4 -q -F "/dev/mapper/$flakey"
    mount "/dev/mapper/$flakey" "$mnt"
    yes "$(marker flakey)" | head -c 102400 >"$mnt/victim"
    cp "$mnt/victim" "$tmp/victim.before"
    sync
    # From now on every write is acknowledged and dropped.
    dmsetup suspend "$flakey"
    dmsetup load "$flakey" --table "0 $sectors flakey $loop 0 0 3600 1 drop_writes"
    dmsetup resume "$flakey"
    (cd "$mnt" && "$wipe" -q --verify victim >"$tmp/out3" 2>"$tmp/err3")
    check "--verify on a device that drops writes: status 1" test $? -eq 1
    check "reported as verification failed" grep -q '^Not wiped (verification failed' "$tmp/err3"
    check "and kept" test -e "$mnt/victim"
    umount "$mnt"
else
    echo "note: no device-mapper flakey target in this kernel; the engine test plays that device instead"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
