#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# vorlix-wipe on a real device, as root: on an ext4 image no byte of a wiped
# file's content is left in the raw image, while a refused twin's stays, and
# with -z the file's own blocks hold zeros; and,
# where the kernel has device-mapper's flakey target, --verify catches a
# device that drops writes and keeps the file; a write failing with EIO (a
# FUSE filesystem) or a full disk keeps the file and names the error.
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
floop=
fuse=$tmp/fuse full=$tmp/full fuse_pid=
cleanup() {
    for point in "$mnt" "$tmp/tmpfs" "$tmp/merged" "$tmp/ro" "$fuse" "$full"; do mountpoint -q "$point" && umount "$point"; done
    [ -n "$fuse_pid" ] && kill "$fuse_pid" 2>/dev/null
    dmsetup remove "$flakey" 2>/dev/null
    [ -n "$loop" ] && losetup -d "$loop"
    [ -n "$floop" ] && losetup -d "$floop"
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

# -z: the last pass is zeros, and --verify reads that pass back. The file's
# folder is append-only, so the wiped file cannot be deleted: its own blocks,
# found before the run, are seen in the raw image as the last pass left
# them, just before the delete. (A deleted file's blocks may be discarded
# and read as zeros whatever was written.)
mount -o loop "$tmp/disk.img" "$mnt"
mkdir "$mnt/kept"
marker zeroed >"$tmp/marker.zeroed"
yes "$(cat "$tmp/marker.zeroed")" | head -c 102400 >"$mnt/kept/zeroed"
sync
extents=$(filefrag -v "$mnt/kept/zeroed")
block=$(sed -n 's/.* blocks of \([0-9]*\) bytes).*/\1/p' <<<"$extents")
ranges=$(awk '/^ *[0-9]+:/ { gsub(/\.\./, " "); gsub(/:/, " "); print $4, $5 }' <<<"$extents")
chattr +a "$mnt/kept"
(cd "$mnt/kept" && "$wipe" -q -z --verify --method dod zeroed >"$tmp/out.z" 2>"$tmp/err.z")
check "-z --verify, the delete refused: status 1, only the delete failed" test $? -eq 1 -a \
    "$(cat "$tmp/err.z")" = 'Not wiped (overwritten, but could not be deleted: Operation not permitted): zeroed'
check "-z: the file reads as zeros" cmp -s -n 102400 "$mnt/kept/zeroed" /dev/zero
chattr -a "$mnt/kept"
umount "$mnt"
zero_blocks() {
    local start end
    [ -n "$block" ] && [ -n "$ranges" ] || { echo "  no extents in: $extents"; return 1; }
    while read -r start end; do
        [ "$(dd if="$tmp/disk.img" bs="$block" skip="$start" count=$((end - start + 1)) 2>/dev/null \
            | tr -d '\0' | wc -c)" -eq 0 ] || return 1
    done <<<"$ranges"
}
check "-z: the file's blocks in the raw image are zeros" zero_blocks
check "-z: no byte of its content is left on the device" test "$(count "$tmp/marker.zeroed" "$tmp/disk.img")" -eq 0

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
# end within a sleep's time on a fast disk. Prints the exit status.
stop_free_space() {
python3 - "$1" "$mnt" "$tmp/out6" "$tmp/err6" "$wipe" --method dod --free-space . <<'PY'
import ctypes, os, select, signal, subprocess, sys
name, mnt, out, err, *command = sys.argv[1:]
libc = ctypes.CDLL(None, use_errno=True)
watch = libc.inotify_init1(os.O_CLOEXEC)
IN_CREATE = 0x100
libc.inotify_add_watch(watch, mnt.encode(), IN_CREATE)
child = subprocess.Popen(command, cwd=mnt, stdout=open(out, "w"), stderr=open(err, "w"))
while child.poll() is None:
    if select.select([watch], [], [], 0.1)[0] and b".vorlix-free-space" in os.read(watch, 65536):
        child.send_signal(getattr(signal, "SIG" + name))
        break
try:
    print(child.wait(timeout=20))
except subprocess.TimeoutExpired:
    child.kill()
    print("still running after 20 s")
PY
}
for sig in INT TERM HUP; do
    status=$(stop_free_space $sig)
    check "free space, SIG$sig: status 130" test "$status" = 130
    check "free space, SIG$sig: every filler file removed" test ! -e "$mnt/.vorlix-free-space"
    check "free space, SIG$sig: said so" grep -q 'Every file it made has been removed' "$tmp/err6"
done

# The free space's record: its filesystem and mount point, the bytes, the
# journal; given with a file, one record holds both.
(cd "$mnt" && "$wipe" -q --report "$tmp/fs.json" --free-space . >/dev/null 2>&1)
check "free space, --report: status 0" test $? -eq 0
check "free space, --report: every documented field, right" python3 - "$tmp/fs.json" "$mnt" \
    "$(dirname "$0")/../../docs/report.md" <<'PY'
import json, re, sys
report, mnt = json.load(open(sys.argv[1])), sys.argv[2]
fields = re.findall(r"^\| `free_space\.([a-z_]+)` \|", open(sys.argv[3]).read(), re.M)
fs = report["free_space"]
assert len(fields) > 10 and all(field in fs for field in fields), (fields, fs)
assert report["kind"] == "free-space" and report["files"] == [] and not report["stopped"], report
assert fs["filesystem"] == "ext4" and fs["mount_point"] == mnt and fs["folder"] == mnt, fs
assert fs["outcome"] == "wiped" and fs["bytes_overwritten"] > 10 << 20 and fs["journal_cleared"] is True, fs
assert fs["started"] <= fs["ended"] == report["ended"] and fs["all_removed"], fs
PY
echo kept >"$mnt/withfile"
(cd "$mnt" && "$wipe" -q --report "$tmp/both.txt" --free-space . withfile >/dev/null 2>&1)
check "files and free space: one text record of both" test $? -eq 0 \
    -a "$(grep -c -e "^Wiped: $mnt/withfile (5 bytes" -e "^Free space wiped: $mnt (ext4 on $mnt, " "$tmp/both.txt")" -eq 2

# vorlix-privileged as pkexec starts it refuses a folder its caller cannot
# write in, and a filesystem with no free space to wipe, making nothing.
privileged=$(cd "$2" && pwd)/libexec/vorlix/vorlix-privileged
mkdir -m 755 "$mnt/roots"
PKEXEC_UID=65534 "$privileged" free-space "$mnt/roots" random >"$tmp/outp" 2>"$tmp/errp"
check "vorlix-privileged: a folder the caller cannot write in: status 2, nothing made" \
    test $? -eq 2 -a ! -s "$tmp/outp" -a ! -e "$mnt/.vorlix-free-space" -a ! -e "$mnt/roots/.vorlix-free-space"
mkdir "$tmp/tmpfs" && mount -t tmpfs -o size=1M tmpfs "$tmp/tmpfs"
for folder in "$tmp/tmpfs" /proc/sys; do
    "$privileged" free-space "$folder" dod >"$tmp/outp" 2>"$tmp/errp"
    check "vorlix-privileged: $folder: status 2, one line, nothing made" \
        test $? -eq 2 -a ! -s "$tmp/outp" -a "$(wc -l <"$tmp/errp")" -eq 1 -a ! -e "$folder/.vorlix-free-space"
done
umount "$tmp/tmpfs"
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
mkdir "$tmp/fs-lower" "$tmp/fs-upper" "$tmp/fs-work"
if mount -t overlay overlay -o "lowerdir=$tmp/fs-lower,upperdir=$tmp/fs-upper,workdir=$tmp/fs-work" "$mnt" 2>/dev/null; then
    (cd "$mnt" && "$wipe" --free-space . >"$tmp/out8" 2>"$tmp/err8" </dev/null)
    check "overlay, free space: refused, status 1" test $? -eq 1
    check "overlay, free space: the sentence" grep -qxF 'Free space not wiped: On this overlay filesystem, new data goes to new places and never over the old, so filling the free space cannot reach what was deleted there.' "$tmp/err8"
    umount "$mnt"
else
    echo "note: no overlay filesystem in this kernel"
fi

# The kernel's settings are never written: the loopback's MTU (the one system
# file a real run is given here) keeps its value.
mtu=/sys/class/net/lo/mtu
if [ -e "$mtu" ]; then
    before=$(cat "$mtu")
    "$wipe" -n "$mtu" >"$tmp/out8" 2>"$tmp/err8"
    check "dry run of a sysfs file: would refuse" \
        grep -qxF "Would refuse (a system file, not a stored file): $mtu" "$tmp/out8"
    "$wipe" "$mtu" >"$tmp/out9" 2>"$tmp/err9"
    check "a sysfs file: status 1, refused" test $? -eq 1 -a \
        "$(cat "$tmp/err9")" = "Not wiped (a system file, not a stored file): $mtu"
    check "a sysfs file: its value unchanged" test "$(cat "$mtu")" = "$before"
fi

# The dry run opens nothing for writing: an overlay's lower file is not
# copied up, and on a read-only mount it says what the run then meets.
mkdir "$tmp/lower" "$tmp/upper" "$tmp/work" "$tmp/merged" "$tmp/ro-source" "$tmp/ro"
echo lower >"$tmp/lower/file"
if mount -t overlay overlay -o "lowerdir=$tmp/lower,upperdir=$tmp/upper,workdir=$tmp/work" "$tmp/merged" 2>/dev/null; then
    "$wipe" -n "$tmp/merged/file" >"$tmp/out10" 2>"$tmp/err10"
    check "overlay dry run: would wipe" grep -q '^Would wipe (6 bytes, 6 written): ' "$tmp/out10"
    check "overlay dry run: the upper layer stays empty" test -z "$(ls -A "$tmp/upper")"
    umount "$tmp/merged"
else
    echo "note: no overlay filesystem here"
fi
echo kept >"$tmp/ro-source/file"
mount --bind "$tmp/ro-source" "$tmp/ro" && mount -o remount,bind,ro "$tmp/ro"
(cd "$tmp/ro" && "$wipe" -n file >"$tmp/out11" 2>"$tmp/err11")
check "read-only dry run: would refuse" grep -qxF 'Would refuse (permission denied or read-only): file' "$tmp/out11"
(cd "$tmp/ro" && "$wipe" file >"$tmp/out12" 2>"$tmp/err12")
check "read-only run: status 1, the same reason" test $? -eq 1 -a \
    "$(cat "$tmp/err12")" = 'Not wiped (permission denied or read-only: Read-only file system): file'
check "read-only run: the file kept" test "$(cat "$tmp/ro/file")" = kept
umount "$tmp/ro"

# On flash storage the command line says what the window's box says: a
# loop device that reports itself as not rotational.
truncate -s 96M "$tmp/flash.img"
floop=$(losetup -f --show "$tmp/flash.img")
echo 0 >"/sys/block/${floop#/dev/}/queue/rotational"
mkfs.ext4 -q -F "$floop"
mount "$floop" "$mnt"
head -c 32M /dev/urandom >"$mnt/on-flash"
sync
(cd "$mnt" && "$wipe" on-flash >"$tmp/out10" 2>"$tmp/err10")
check "flash: wiped, status 0" test $? -eq 0 -a ! -e "$mnt/on-flash"
check "flash: the summary line, then the files on flash" test "$(sed -n 2,3p "$tmp/out10")" = "On flash storage (1):
on-flash"
check "flash: what the drive was asked" grep -q 'discard' "$tmp/out10"
umount "$mnt"

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

# Writes that fail mid-pass through the kernel: the file stays, named with
# the reason and the system's error; the run goes on with the next file.
kept_as_before() { local f; for f in "$@"; do cmp -s "$f" "$tmp/before.${f##*/}" || return 1; done; }
if [ -c /dev/fuse ] && /usr/bin/python3 -c 'import fusepy' 2>/dev/null; then
    mkdir "$tmp/backing" "$fuse"
    for name in first fail-here last bystander; do head -c 300000 /dev/urandom >"$tmp/backing/$name"; cp "$tmp/backing/$name" "$tmp/before.$name"; done
    # From the third write on, each write to fail-here is an I/O error.
    /usr/bin/python3 "$(dirname "$0")/../support/failing_fs.py" "$tmp/backing" "$fuse" 3 2>"$tmp/fuse.log" &
    fuse_pid=$!
    timeout 10 bash -c "until mountpoint -q '$fuse'; do sleep 0.1; done"
    (cd "$fuse" && "$wipe" -q first fail-here last >"$tmp/out8" 2>"$tmp/err8")
    check "EIO mid-pass (FUSE): status 1" test $? -eq 1
    check "EIO mid-pass: the file is named with the reason and the error" grep -qxF \
        'Not wiped (could not be overwritten, some old content may remain: Input/output error): fail-here' "$tmp/err8"
    check "EIO mid-pass: it stays, and the run's other files are wiped" \
        test -e "$tmp/backing/fail-here" -a ! -e "$tmp/backing/first" -a ! -e "$tmp/backing/last"
    check "EIO mid-pass: the file beside them is untouched" kept_as_before "$tmp/backing/bystander"
    check "EIO mid-pass: nothing else is left in the folder" test "$(ls -A "$tmp/backing" | tr '\n' ' ')" = "bystander fail-here "
    umount "$fuse"
    wait "$fuse_pid"
    fuse_pid=
else
    echo "note: no /dev/fuse or python3-fusepy here; the FUSE case did not run"
fi

# A full disk where each overwrite needs new blocks (btrfs copies on write):
# a small file still fits and goes; the larger one cannot, and stays.
truncate -s 128M "$tmp/full.img"
mkdir "$full"
if mkfs.btrfs -q -f "$tmp/full.img" >/dev/null 2>&1 && mount -o loop "$tmp/full.img" "$full" 2>/dev/null; then
    head -c 20000 /dev/urandom >"$full/small"
    head -c 4M /dev/urandom >"$full/large"
    echo "kept" >"$full/bystander"
    cp "$full/large" "$tmp/before.large"; cp "$full/bystander" "$tmp/before.bystander"
    sync
    dd if=/dev/zero of="$full/filler" bs=64k 2>/dev/null
    sync
    dd if=/dev/zero of="$full/filler2" bs=4k 2>/dev/null
    # Room for the small file's new copy, not the large one's.
    truncate -s 0 "$full/filler2"
    truncate -s -512K "$full/filler"
    sync
    (cd "$full" && "$wipe" -q small large >"$tmp/out9" 2>"$tmp/err9")
    check "full disk: status 1" test $? -eq 1
    check "full disk: the large file is named with the reason and the error" grep -qxF \
        'Not wiped (could not be overwritten, some old content may remain: No space left on device): large' "$tmp/err9"
    check "full disk: the large file stays, the small one is wiped" test -e "$full/large" -a ! -e "$full/small"
    check "full disk: the file beside them is untouched" kept_as_before "$full/bystander"
    check "full disk: nothing else is left in the folder" \
        test "$(ls -A "$full" | tr '\n' ' ')" = "bystander filler filler2 large "
    umount "$full"
else
    echo "note: no btrfs here; the full-disk case did not run"
fi

# An ext filesystem that is not mounted, wiped directly (--free-space IMAGE):
# afterwards no marker of a deleted file and no deleted name is left in the
# raw image (folder blocks, a hashed folder, inodes, journal), the examiners'
# tools find nothing, e2fsck checks clean and the kept files are unchanged.
# Args: a label, the image or device to wipe, the image, mkfs and its options.
deleted_names() { grep -c -a -e gone-name- -e dropped-entry "$1"; }
fsck_clean() { e2fsck -fn "$1" >/dev/null 2>&1; }
unmounted_case() {
    local label=$1 target=$2 img=$3; shift 3
    truncate -s 48M "$img"
    "$@" -q -F "$img" >/dev/null
    mount -o loop "$img" "$mnt"
    mkdir -p "$mnt/gone/deeper" "$mnt/kept/many"
    : >"$tmp/marks.$label"
    for i in $(seq 1 60); do
        marker "$label-$i" >>"$tmp/marks.$label"
        local name=gone-name-$label-$i dir=gone
        [ $((i % 3)) -eq 0 ] && dir=gone/deeper
        [ $((i % 5)) -eq 0 ] && dir=kept
        yes "$(tail -n1 "$tmp/marks.$label")" | head -c $((i * i * 97 + 10)) >"$mnt/$dir/$name"
    done
    # Enough long names for a hashed folder; every other one deleted.
    for i in $(seq 1 150); do
        echo x >"$mnt/kept/many/kept-entry-with-a-long-name-$i"
        echo x >"$mnt/kept/many/dropped-entry-with-a-long-name-$i"
    done
    head -c 300000 /dev/urandom >"$mnt/kept/random"
    sync
    rm -r "$mnt/gone" "$mnt"/kept/gone-name-*
    rm "$mnt"/kept/many/dropped-*
    rm -rf "$tmp/kept.$label"; cp -a "$mnt/kept" "$tmp/kept.$label"
    umount "$mnt"
    check "$label: markers and deleted names are on the device before the wipe" \
        test "$(count "$tmp/marks.$label" "$img")" -gt 0 -a "$(deleted_names "$img")" -gt 0
    "$wipe" --free-space "$target" >"$tmp/out.$label" 2>"$tmp/err.$label"
    check "$label: status 0, and it says what it wrote" grep -q '^Free space wiped: ' "$tmp/out.$label"
    check "$label: no marker left in the raw image" test "$(count "$tmp/marks.$label" "$img")" -eq 0
    # Any part of a name counts: one written over halfway still tells.
    check "$label: no deleted name, nor a part of one, left in the raw image" test "$(deleted_names "$img")" -eq 0
    # A tool that cannot run counts as a find.
    check "$label: blkls finds no marker" \
        test "$( (blkls "$img" || head -n1 "$tmp/marks.$label") | grep -c -a -F -f "$tmp/marks.$label")" -eq 0
    check "$label: fls lists no deleted name" \
        test "$( (fls -r -d "$img" || echo gone-name) | grep -c -e gone-name -e dropped-entry)" -eq 0
    mkdir "$tmp/photorec.$label"
    # PhotoRec writes its log into the folder it runs in.
    (cd "$tmp" && photorec /log /d "$tmp/photorec.$label/r" /cmd "$img" \
        partition_none,options,mode_ext2,fileopt,everything,enable,wholespace,search >/dev/null 2>&1)
    check "$label: PhotoRec recovers nothing holding a marker" \
        test -z "$(grep -r -l -a -F -f "$tmp/marks.$label" "$tmp/photorec.$label")"
    check "$label: e2fsck -fn checks clean" fsck_clean "$img"
    mount -o ro,loop "$img" "$mnt"
    check "$label: the kept files are byte for byte as they were" diff -r "$tmp/kept.$label" "$mnt/kept"
    umount "$mnt"
}
unmounted_case ext4 "$tmp/off4.img" "$tmp/off4.img" mkfs.ext4
unmounted_case ext4-no-csum "$tmp/off4n.img" "$tmp/off4n.img" mkfs.ext4 -O ^metadata_csum
unmounted_case ext2 "$tmp/off2.img" "$tmp/off2.img" mkfs.ext2
truncate -s 48M "$tmp/off3.img"
loop=$(losetup -f --show "$tmp/off3.img")
unmounted_case ext3-loop "$loop" "$tmp/off3.img" mkfs.ext3
losetup -d "$loop"; loop=

# Refused, and left byte for byte as it was: mounted (its mount point named),
# not ext at all, and a dry run, which opens nothing for writing.
img=$tmp/off4.img
mount -o loop "$img" "$mnt"
sync; before=$(sha256sum <"$img")
"$wipe" --free-space "$img" >"$tmp/out.mounted" 2>"$tmp/err.mounted"
check "mounted: status 1" test $? -eq 1
check "mounted: the mount point is named" grep -qF "is mounted on $mnt" "$tmp/err.mounted"
sync
check "mounted: the image is unchanged" test "$(sha256sum <"$img")" = "$before"
umount "$mnt"
head -c 8M /dev/urandom >"$tmp/noext.img"
before=$(sha256sum <"$tmp/noext.img")
"$wipe" --free-space "$tmp/noext.img" >"$tmp/out.noext" 2>"$tmp/err.noext"
check "not ext: status 1, and said so" test $? -eq 1
check "not ext: said so" grep -q "holds no ext2, ext3 or ext4 filesystem" "$tmp/err.noext"
check "not ext: the file is unchanged" test "$(sha256sum <"$tmp/noext.img")" = "$before"
before=$(sha256sum <"$img")
"$wipe" -n --method dod --free-space "$img" >"$tmp/out.dry" 2>"$tmp/err.dry"
check "unmounted, dry run: status 0, and what it would do" \
    grep -q '^Would wipe everything unused on the ext4 filesystem in ' "$tmp/out.dry"
check "unmounted, dry run: the image is unchanged" test "$(sha256sum <"$img")" = "$before"
"$wipe" -q --method dod --report "$tmp/off.json" --free-space "$img" >/dev/null 2>&1
check "unmounted, dod, --report: status 0" test $? -eq 0
check "unmounted, --report: the device, no mount point, what was cleared" python3 - "$tmp/off.json" "$img" <<'PY'
import json, sys
fs = json.load(open(sys.argv[1]))["free_space"]
assert fs["folder"] == sys.argv[2] and fs["unmounted"] is True and fs["mount_point"] is None, fs
assert fs["filesystem"] == "ext4" and fs["outcome"] == "wiped" and fs["journal_cleared"] is True, fs
assert fs["bytes_overwritten"] > 3 * (30 << 20), fs
PY
check "unmounted, dod: e2fsck -fn checks clean" fsck_clean "$img"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
