#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# vorlix-wipe --drive, as root, on loop devices this test makes and on
# nothing else: a marked image wiped whole keeps no marker byte (on ramfs,
# so that no discard hides what the pass left); one on tmpfs, marked as
# flash, is discarded afterwards and gives its space back;
# a run stopped by a signal says how far it got; the privileged job runs the
# same wipe. Every refusal on a real set-up (mounted, swap, a mounted
# partition, read-only) leaves the backing file unchanged, and the drive
# under / is only ever listed and dry-run.
# Usage: drive_wipe_root.sh <vorlix binary> <build folder>
set -uo pipefail
wipe=$(cd "$(dirname "$1")" && pwd)/vorlix-wipe
privileged=$2/libexec/vorlix/vorlix-privileged
if [ "$(id -u)" -ne 0 ]; then echo "skipped: loop devices need root"; exit 77; fi
export LC_ALL=C.UTF-8 LANGUAGE=en
tmp=$(mktemp -d /var/tmp/vorlix-drive-test-XXXXXX)
export XDG_RUNTIME_DIR=$tmp/runtime XDG_STATE_HOME=$tmp/state
mkdir -m 700 "$XDG_RUNTIME_DIR"
loops=()
made_nodes=()
# Queue settings this test changes, put back before the device goes: the
# kernel keeps them for the next user of the same loop device (never
# discard_max_bytes: once 0, the kernel takes no other value there).
restore=()
set_queue() {
    local file=/sys/block/${1#/dev/}/queue/$2
    restore+=("$(cat "$file") $file")
    echo "$3" >"$file"
}
cleanup() {
    for entry in "${restore[@]}"; do echo "${entry%% *}" >"${entry#* }"; done
    for point in "$tmp/mnt" "$tmp/pmnt"; do mountpoint -q "$point" && umount "$point"; done
    for loop in "${loops[@]}"; do
        swapoff "$loop" 2>/dev/null
        losetup -d "$loop" 2>/dev/null
    done
    for point in "$tmp/tmpfs" "$tmp/ramfs"; do mountpoint -q "$point" && umount "$point"; done
    for node in "${made_nodes[@]}"; do rm -f "$node"; done
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
# Attaches a loop device to a file of this test's, its path in the variable
# named first (set here, not in a subshell, so that cleanup detaches it).
attach() {
    local var=$1 loop
    shift
    loop=$(losetup -f --show "$@") || return 1
    loops+=("$loop")
    printf -v "$var" '%s' "$loop"
}
# The guard before every wipe: the target must be /dev/loopN backed by a file
# in this test's own folder. Anything else ends the test at once.
own_loop() {
    local dev=$1 file name
    file=$(realpath "$2")
    name=${dev#/dev/}
    [[ $dev =~ ^/dev/loop[0-9]+$ ]] && [[ $file == "$tmp"/* ]] \
        && [ "$(cat "/sys/block/$name/loop/backing_file" 2>/dev/null)" = "$file" ]
}
wipe_drive() {
    local dev=$1 file=$2; shift 2
    if ! own_loop "$dev" "$file"; then
        echo "FAILED: refusing to start a wipe of $dev, which is not this test's loop device on $file"
        exit 1
    fi
    "$wipe" --drive "$dev" "--yes-wipe-${dev#/dev/}" "$@"
}
markers() { grep -c -a -F VORLIX-DRIVE-MARKER "$1"; }
fill_marked() { yes VORLIX-DRIVE-MARKER | head -c "$2" >"$1"; }
sum() { sha256sum "$1" | cut -d' ' -f1; }

# A marked image, wiped whole and read back. On ramfs, which cannot punch
# holes, the loop device takes no discards: what is left is what the pass
# wrote, not holes.
mkdir "$tmp/ramfs"
mount -t ramfs ramfs "$tmp/ramfs"
fill_marked "$tmp/ramfs/marked.img" $((48 << 20))
if ! attach marked "$tmp/ramfs/marked.img"; then echo "skipped: no loop devices here"; exit 77; fi
"$wipe" -n --drive "$marked" >"$tmp/out0" 2>"$tmp/err0"
check "dry run of a free loop device: status 0" test $? -eq 0
check "dry run: says it would wipe, with the backing file as serial" \
    grep -q "^Would wipe $marked: Loop device, serial $tmp/ramfs/marked.img, " "$tmp/out0"
check "dry run: the image is untouched" test "$(markers "$tmp/ramfs/marked.img")" -gt 0
"$wipe" --drive "$marked" </dev/null >"$tmp/out1" 2>"$tmp/err1"
check "no terminal and no --yes-wipe-NAME: usage error" test $? -eq 2
"$wipe" --drive "$marked" --yes-wipe-loop999 >"$tmp/out1" 2>"$tmp/err1"
check "the wrong name confirmed: usage error" test $? -eq 2
check "neither touched the image" test "$(markers "$tmp/ramfs/marked.img")" -gt 0
wipe_drive "$marked" "$tmp/ramfs/marked.img" --method random --certificate "$tmp/cert.json" >"$tmp/out2" 2>"$tmp/err2"
check "random, verify all: status 0" test $? -eq 0
check "says it was wiped and read back" grep -q "Every block read back matched" "$tmp/out2"
check "says the drive takes no discards" grep -q "The drive takes no discard requests." "$tmp/out2"
check "no marker byte is left anywhere in the backing file" test "$(markers "$tmp/ramfs/marked.img")" -eq 0
check "what is left is not zeros" test "$(tr -d '\0' <"$tmp/ramfs/marked.img" | head -c 4096 | wc -c)" -eq 4096
check "the certificate holds the drive and the outcome" python3 - "$tmp/cert.json" "$tmp/ramfs/marked.img" <<'PY'
import json, sys
c = json.load(open(sys.argv[1]))
assert c["complete"] and c["verified"] and c["verification"] == "all", c
assert c["serial"] == sys.argv[2] and c["bus"] == "loop" and c["size"] == 48 << 20, c
assert c["bytes_written"] == 48 << 20 and not c["discarded"], c
PY

# Stopped by a signal: status 130, and the end says how far it got.
fill_marked "$tmp/stopped.img" $((512 << 20))
attach stopped "$tmp/stopped.img"
# Started here rather than through wipe_drive, so that the signal goes to it.
own_loop "$stopped" "$tmp/stopped.img" || { echo "FAILED: $stopped is not this test's"; exit 1; }
"$wipe" --drive "$stopped" "--yes-wipe-${stopped#/dev/}" --method dod >"$tmp/out3" 2>"$tmp/err3" &
pid=$!
sleep 0.3
kill -TERM "$pid"
wait "$pid"
check "stopped: status 130" test $? -eq 130
check "stopped: says it is not completely wiped and how far" grep -q "not completely wiped: .* passes; the last reached byte" "$tmp/err3"

# On tmpfs, marked as flash: after the read-back the whole device is
# discarded, and the backing file gives its blocks back.
mkdir "$tmp/tmpfs"
mount -t tmpfs -o size=96m tmpfs "$tmp/tmpfs"
fill_marked "$tmp/tmpfs/flash.img" $((64 << 20))
attach flash "$tmp/tmpfs/flash.img"
set_queue "$flash" rotational 0
"$wipe" --list-drives >"$tmp/list" 2>&1
check "--list-drives: the flash loop device can be wiped" grep -qE "^${flash#/dev/} .* flash +can be wiped" "$tmp/list"
before=$(stat -c %b "$tmp/tmpfs/flash.img")
wipe_drive "$flash" "$tmp/tmpfs/flash.img" --verify=sample >"$tmp/out4" 2>"$tmp/err4"
check "flash, sample read back: status 0" test $? -eq 0
check "says the sample matched and the drive discarded" \
    grep -q "stretches .* read back matched" "$tmp/out4"
check "says the discard" grep -qi "discard" "$tmp/out4"
after=$(stat -c %b "$tmp/tmpfs/flash.img")
check "the backing file's blocks are given back ($before -> $after)" test "$after" -lt $((before / 50))

# The privileged job: the same wipe, its lines a result the window can read.
fill_marked "$tmp/job.img" $((16 << 20))
attach job "$tmp/job.img"
"$privileged" wipe-drive "/dev/disk/../${job#/dev/}" random all >"$tmp/out5" 2>"$tmp/err5"
check "privileged: a path that is no plain /dev node is refused" test $? -eq 2
"$privileged" wipe-drive "$job" random most >"$tmp/out5" 2>"$tmp/err5"
check "privileged: an unknown verification is refused" test $? -eq 2
check "privileged: refusals touched nothing" test "$(markers "$tmp/job.img")" -gt 0
own_loop "$job" "$tmp/job.img" || { echo "FAILED: $job is not this test's"; exit 1; }
"$privileged" wipe-drive "$job" dod sample >"$tmp/out6" 2>"$tmp/err6"
check "privileged: status 0" test $? -eq 0
check "privileged: the result says complete" grep -qx "complete 1" "$tmp/out6"
check "privileged: the result ends" test "$(tail -n1 "$tmp/out6")" = end
check "privileged: no marker left" test "$(markers "$tmp/job.img")" -eq 0

# Every refusal on a real set-up; none opens the device for writing.
refused() {
    local what=$1 dev=$2 file=$3 reason=$4 sum_before
    sync
    sum_before=$(sum "$file")
    "$wipe" -n --drive "$dev" >"$tmp/rout" 2>"$tmp/rerr"
    check "$what, dry run: status 1" test $? -eq 1
    check "$what, dry run: names the reason" grep -q -- "$reason" "$tmp/rout"
    wipe_drive "$dev" "$file" >"$tmp/rout" 2>"$tmp/rerr"
    check "$what: status 1" test $? -eq 1
    check "$what: names the reason" grep -q -- "$reason" "$tmp/rerr"
    "$privileged" wipe-drive "$dev" random none >"$tmp/rout" 2>"$tmp/rerr"
    check "$what, privileged: refused" test $? -eq 2
    sync
    check "$what: the backing file is unchanged" test "$(sum "$file")" = "$sum_before"
}
truncate -s 32M "$tmp/mounted.img"
mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$tmp/mounted.img"
attach mounted "$tmp/mounted.img"
mkdir "$tmp/mnt"
mount -o ro "$mounted" "$tmp/mnt"
refused "mounted" "$mounted" "$tmp/mounted.img" "mounted on $tmp/mnt"
umount "$tmp/mnt"

fill_marked "$tmp/swap.img" $((16 << 20))
mkswap -q "$tmp/swap.img" >/dev/null
attach swap "$tmp/swap.img"
if swapon "$swap" 2>/dev/null; then
    refused "swap" "$swap" "$tmp/swap.img" "is an active swap area"
    swapoff "$swap"
else
    echo "skipped: swap areas cannot be switched on here"
fi

truncate -s 48M "$tmp/parted.img"
printf 'label: dos\n,16M,L\n,,L\n' | sfdisk -q "$tmp/parted.img" >/dev/null
attach parted -P "$tmp/parted.img"
udevadm settle 2>/dev/null
# Where the scan on attaching finds nothing, the kernel is told the partitions.
[ -e "/sys/block/${parted#/dev/}/${parted#/dev/}p1" ] || partx -a "$parted" 2>/dev/null
# Without udev (a container) the partitions' nodes are made here, and removed after.
for part in "/sys/block/${parted#/dev/}/${parted#/dev/}"p*; do
    node=/dev/${part##*/}
    if [ -f "$part/dev" ] && [ ! -e "$node" ]; then
        mknod "$node" b "$(cut -d: -f1 "$part/dev")" "$(cut -d: -f2 "$part/dev")" && made_nodes+=("$node")
    fi
done
mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "${parted}p1"
mkdir "$tmp/pmnt"
mount -o ro "${parted}p1" "$tmp/pmnt"
refused "a mounted partition" "$parted" "$tmp/parted.img" "${parted#/dev/}p1 holds a filesystem mounted on $tmp/pmnt"
"$wipe" --list-drives >"$tmp/list" 2>&1
check "--list-drives: the partition is listed under its disk" grep -qE "^  ${parted#/dev/}p1 " "$tmp/list"
umount "$tmp/pmnt"

fill_marked "$tmp/readonly.img" $((8 << 20))
attach readonly_loop -r "$tmp/readonly.img"
refused "read-only" "$readonly_loop" "$tmp/readonly.img" "It is read-only."

# The drive under /: listed as refused, dry-run only. Never wiped.
root=$(findmnt -no SOURCE / | sed 's/\[.*//')
rootdisk=$(lsblk -no PKNAME "$root" 2>/dev/null | head -n1)
[ -n "$rootdisk" ] || rootdisk=${root#/dev/}
if [ -b "/dev/$rootdisk" ]; then
    "$wipe" --list-drives >"$tmp/list" 2>&1
    check "--list-drives: the drive under / is refused as the running system" \
        grep -qE "^$rootdisk .*refused: .*It holds the running system" "$tmp/list"
    "$wipe" -n --drive "/dev/$rootdisk" >"$tmp/out7" 2>"$tmp/err7"
    check "-n --drive on the drive under /: status 1" test $? -eq 1
    check "-n --drive on the drive under /: would refuse it" grep -q "^Would refuse /dev/$rootdisk" "$tmp/out7"
else
    echo "skipped: / is on no block device here"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
