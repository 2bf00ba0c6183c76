#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# vorlix-wipe --drive against dd on a loop device this script makes, backed
# by a file on disk (not tmpfs): one random pass without read-back against
# dd writing zeros with O_DIRECT (without and with a final fsync, and with it
# and a blkdiscard after: the pass, its flush and the discard, as
# vorlix-wipe does them), and the full read-back (the whole run with
# --verify=all, less the pass alone) against dd reading with O_DIRECT. Each
# step is also timed inside one run by drive_pass_bench, where it is built:
# a whole process's start and the steps around a pass then stay out. Round
# by round, each contender once per round in the same order, so that other
# work on the machine slows them alike. Needs root; wipes nothing but its
# own loop device.
# Usage: bench/drive_bench.sh <vorlix-wipe> [folder] [rounds] [MiB]
set -uo pipefail
wipe=$1
folder=${2:-/var/tmp}
rounds=${3:-3}
mib=${4:-2048}
if [ "$(id -u)" -ne 0 ]; then echo "drive_bench.sh: loop devices need root" >&2; exit 1; fi
work=$(mktemp -d "$folder/vorlix-drive-bench-XXXXXX")
loop=
cleanup() {
    [ -n "$loop" ] && losetup -d "$loop"
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_STATE_HOME=$work/state
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Written whole, so that every pass overwrites allocated blocks.
dd if=/dev/zero of="$work/drive.img" bs=1M count="$mib" conv=fsync status=none
# In direct-I/O mode the loop device reads and writes the file past the page
# cache: every contender meets the disk, none a cached copy.
loop=$(losetup --direct-io=on -f --show "$work/drive.img")
loopname=${loop#/dev/}
# The guard: only ever this script's own loop device.
[[ $loop =~ ^/dev/loop[0-9]+$ ]] && [ "$(cat "/sys/block/$loopname/loop/backing_file")" = "$work/drive.img" ] || {
    echo "drive_bench.sh: $loop is not this script's loop device" >&2
    exit 1
}
# vorlix-wipe's discard at its end punches the backing file: it is allocated
# again before each contender, so that none writes into holes.

now() { date +%s.%N; }
declare -A times
timed() {
    local name=$1; shift
    local start end
    [ "$name" = "dd read iflag=direct" ] || fallocate -l "${mib}M" "$work/drive.img"
    sync
    start=$(now)
    "$@" >/dev/null 2>"$work/err" || { echo "$name failed:"; cat "$work/err"; }
    end=$(now)
    times[$name]+="$(echo "$end - $start" | bc) "
}
vorlix() { "$wipe" -q --drive "$loop" "--yes-wipe-$loopname" --method random "$@"; }
dd_write() { dd if=/dev/zero of="$loop" bs=1M count="$mib" oflag=direct status=none; }
# vorlix-wipe ends each pass with a flush of the drive's cache: so does this one.
dd_write_sync() { dd if=/dev/zero of="$loop" bs=1M count="$mib" oflag=direct conv=fsync status=none; }
# The like of --verify=none on a device that takes discards: pass, flush, discard.
dd_write_discard() { dd_write_sync && blkdiscard "$loop"; }
# The pass and its flush alone, timed inside the run (the bench program
# beside the built vorlix-wipe), when it is there.
pass_bench=$(dirname "$wipe")/../bench/drive_pass_bench
inside() {
    fallocate -l "${mib}M" "$work/drive.img"
    sync
    local parts
    parts=$("$pass_bench" "$loop" 2>"$work/err") || { echo "drive_pass_bench failed:"; cat "$work/err"; return; }
    read -r pass readback discard <<<"$parts"
    times["vorlix pass + flush (in process)"]+="$pass "
    times["vorlix read-back (in process)"]+="$readback "
    times["vorlix discard (in process)"]+="$discard "
}
dd_read() { dd if="$loop" of=/dev/null bs=1M iflag=direct status=none; }

for round in $(seq "$rounds"); do
    timed "vorlix-wipe --verify=none" vorlix --verify=none
    timed "dd conv=fsync + blkdiscard" dd_write_discard
    timed "dd zeros oflag=direct" dd_write
    [ -x "$pass_bench" ] && inside
    timed "dd zeros oflag=direct conv=fsync" dd_write_sync
    # Right after a write, so that it reads written blocks, as the read-back
    # does, and not the holes a discard leaves.
    timed "dd read iflag=direct" dd_read
    timed "vorlix-wipe --verify=all" vorlix --verify=all
    echo "round $round done" >&2
done
# The read-back alone: each round's whole run less that round's pass.
read -ra none <<<"${times["vorlix-wipe --verify=none"]}"
read -ra all <<<"${times["vorlix-wipe --verify=all"]}"
for i in "${!all[@]}"; do
    times["vorlix read-back (all - none)"]+="$(echo "${all[$i]} - ${none[$i]}" | bc) "
done

echo "$mib MiB loop device on $folder, $rounds rounds; seconds min / median / max"
for name in "vorlix-wipe --verify=none" "dd conv=fsync + blkdiscard" "vorlix pass + flush (in process)" "dd zeros oflag=direct" "dd zeros oflag=direct conv=fsync" "vorlix-wipe --verify=all" \
    "vorlix read-back (all - none)" "vorlix read-back (in process)" "dd read iflag=direct" "vorlix discard (in process)"; do
    printf '%-34s %s\n' "$name" "$(tr ' ' '\n' <<<"${times[$name]}" | grep . | sort -g |
        awk '{v[NR]=$1} END {printf "%.2f / %.2f / %.2f", v[1], v[int((NR+1)/2)], v[NR]}')"
done
