#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The free-space wipe as root on mounted ext4 reaches every free block, the
# ones the filesystem keeps back included, without making another program's
# write fail: afterwards an examiner's tools find nothing of files deleted
# with plain rm, in either journal mode; a run killed at any point leaves the
# filesystem writable within moments and its reserve as it was, and the next
# start removes what it left.
# Usage: free_space_root.sh <vorlix binary> <build folder>
set -uo pipefail
wipe=$(cd "$(dirname "$1")" && pwd)/vorlix-wipe
if [ "$(id -u)" -ne 0 ]; then echo "skipped: mounting an ext4 image needs root"; exit 77; fi
export LC_ALL=C.UTF-8
tmp=$(mktemp -d)
export XDG_RUNTIME_DIR=$tmp/runtime XDG_STATE_HOME=$tmp/state
mkdir -m 700 "$XDG_RUNTIME_DIR"
mnt=$tmp/mnt img=$tmp/disk.img loop=
cleanup() {
    mountpoint -q "$mnt" && { fsfreeze -u "$mnt" 2>/dev/null; umount "$mnt"; }
    [ -n "$loop" ] && losetup -d "$loop"
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0 passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
mkdir "$mnt"

# A 128 MiB image with files of many sizes deleted by rm: half in a folder
# that stays, half in one removed with them; three files are kept.
fresh() {
    mountpoint -q "$mnt" && umount "$mnt"
    [ -n "$loop" ] && losetup -d "$loop"
    rm -f "$img"; truncate -s 128M "$img"; mkfs.ext4 -q -F "$img"
    loop=$(losetup -f --show "$img")
    mount -o "data=$1" "$loop" "$mnt"
    mkdir "$mnt/stay" "$mnt/gone" "$mnt/keep"
    python3 - "$mnt" <<'PY'
import random, sys
random.seed(7)
root = sys.argv[1]
for i in range(20):
    size = random.choice([90, 3000, 40000, 300000, 2000000])
    for folder, name in (("stay", "secret-name"), ("gone", "hidden-name")):
        with open(f"{root}/{folder}/{name}-{i:02d}", "w") as f:
            f.write(("DELETED-MARKER-%02d " % i) * (size // 18 + 1))
for i in range(3):
    with open(f"{root}/keep/kept-{i}", "wb") as f:
        f.write(random.randbytes(50000 * (i + 1)))
PY
    sync
    rm -f "$mnt"/stay/*; rm -rf "$mnt/gone"; sync
}
reserve() { cat "/sys/fs/ext4/$(basename "$loop")/reserved_clusters"; }
# Copies of the markers and of the deleted names in the raw bytes of the image.
traces() { grep -a -o -E 'DELETED-MARKER|secret-name|hidden-name' "$1" | wc -l; }

for mode in ordered journal; do
    fresh $mode
    before=$(reserve)
    kept=$(cd "$mnt/keep" && sha256sum kept-*)
    # Another program writes and syncs all along: each of its writes either
    # fails up front (the disk is full) or reaches the disk; none is lost.
    mkdir "$mnt/writer"
    python3 - "$mnt/writer" "$tmp/writer-$mode" <<'PY' &
import errno, os, sys, time
folder, log = sys.argv[1], sys.argv[2]
kept, refused, lost, stop = [], 0, 0, time.time() + 60
i = 0
while time.time() < stop and not os.path.exists(log + ".stop"):
    path = f"{folder}/w{i}"
    i += 1
    data = (b"writer %d " % i) * 6000
    try:
        fd = os.open(path, os.O_WRONLY | os.O_CREAT, 0o600)
    except OSError as e:
        refused += e.errno == errno.ENOSPC
        continue
    try:
        os.write(fd, data)
    except OSError as e:
        refused += 1
        os.close(fd)
        os.unlink(path)
        continue
    try:
        os.fsync(fd)
        kept.append(path)
    except OSError:
        lost += 1  # accepted, then not stored: what must never happen
    os.close(fd)
    time.sleep(0.002)
open(log, "w").write(f"{len(kept)} {refused} {lost}\n" + "\n".join(kept))
PY
    writer=$!
    for _ in $(seq 100); do [ -e "$mnt/writer/w3" ] && break; sleep 0.05; done
    "$wipe" --free-space "$mnt" >"$tmp/out" 2>"$tmp/err"
    status=$?
    touch "$tmp/writer-$mode.stop"; wait $writer
    check "$mode: the run succeeds" test $status -eq 0
    # Also the rest of the stretches ext4 sets aside for files still growing
    # (the other program's), free on the disk though the kernel holds them.
    check "$mode: every free block reached" test -z "$(grep 'could not be reached' "$tmp/out")"
    check "$mode: the reserve is as it was" test "$(reserve)" = "$before"
    stored=0 refused=0 lost=1
    read -r stored refused lost <"$tmp/writer-$mode"
    check "$mode: no write of another program failed after it was accepted ($stored stored, $refused refused)" \
        test "$lost" -eq 0 -a "$stored" -gt 0
    missing=$(tail -n +2 "$tmp/writer-$mode" | while read -r f; do [ -s "$f" ] || echo "$f"; done | wc -l)
    check "$mode: every write it synced is there" test "$missing" -eq 0
    umount "$mnt"
    check "$mode: no marker or deleted name in the raw image" test "$(traces "$img")" -eq 0
    check "$mode: none in the blocks blkls calls unallocated" \
        test "$( (blkls "$img" || echo failed) | grep -a -c -e DELETED-MARKER -e failed)" -eq 0
    check "$mode: e2fsck -fn finds the filesystem clean" e2fsck -fn "$img" >/dev/null 2>&1
    mount -o ro "$loop" "$mnt"
    check "$mode: the kept files are byte for byte as they were" test "$(cd "$mnt/keep" && sha256sum kept-*)" = "$kept"
    umount "$mnt"
done
# What an examiner's carving recovers, on the last image: nothing of them.
mkdir "$tmp/carved"
(cd "$tmp" && photorec /log /d "$tmp/carved/r" /cmd "$img" partition_none,options,mode_ext2,fileopt,everything,enable,wholespace,search \
    >/dev/null 2>&1)
check "PhotoRec recovers no file holding a marker" test "$(grep -r -l -a DELETED-MARKER "$tmp/carved" | wc -l)" -eq 0

# A run killed with SIGKILL at each step: within 2 s the filesystem takes a
# synced write (it is not left frozen) and keeps its reserve; the next start
# removes the fill files. The held step is short: a kill meant for it may
# land just after it.
fresh ordered
before=$(reserve)
writable() { timeout 2 sh -c "echo probe >'$mnt/probe' && sync -f '$mnt/probe'"; }
for point in started half-full full frozen thawed all-at-once; do
    timeout 120 python3 - "$wipe" "$mnt" "$XDG_STATE_HOME" "$point" <<'PY'
import glob, os, signal, subprocess, sys, time
wipe, mnt, state, point = sys.argv[1:]
run = subprocess.Popen([wipe, "--method", "dod", "--free-space", mnt], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
def record():
    return "".join(open(p).read() for p in glob.glob(f"{state}/vorlix/*.state"))
total = os.statvfs(mnt).f_bavail
seen_frozen = False
while run.poll() is None:
    fs = os.statvfs(mnt)
    text = record()
    seen_frozen = seen_frozen or "frozen " in text
    hit = {"started": "fill " in text, "half-full": fs.f_bavail < total // 2, "full": fs.f_bavail == 0,
           "frozen": "frozen " in text, "all-at-once": "frozen " in text,
           "thawed": seen_frozen and "frozen " not in text}[point]
    if hit:
        if point == "all-at-once":
            for task in os.listdir("/proc"):
                try:
                    if task.isdigit() and open(f"/proc/{task}/stat").read().split(") ")[1].split()[1] == str(run.pid):
                        os.kill(int(task), signal.SIGKILL)
                except (OSError, IndexError):
                    pass
        run.kill()
        break
    time.sleep(0.001)
run.wait()
PY
    if [ $point = all-at-once ]; then
        # The watchdog went too: only the next start can thaw it.
        "$wipe" -n "$tmp/nothing" >/dev/null 2>&1
        check "$point: the next start thaws the filesystem" writable
    else
        check "$point: within 2 s the filesystem takes a synced write" writable
        "$wipe" -n "$tmp/nothing" >/dev/null 2>&1
    fi
    check "$point: the reserve is as it was" test "$(reserve)" = "$before"
    check "$point: the next start removed the fill files" test ! -e "$mnt/.vorlix-free-space"
done

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
