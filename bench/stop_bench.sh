#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How soon vorlix-wipe ends after SIGINT, SIGTERM, SIGHUP or a SIGINT sent to
# its worker thread alone, each sent at a random point of a dod run over one
# file. Rounds interleave the four; min / median / max in seconds.
# Usage: bench/stop_bench.sh <vorlix-wipe> [folder] [rounds] [MiB]
set -uo pipefail
wipe=$1
folder=${2:-/tmp}
rounds=${3:-5}
mib=${4:-512}
work=$(mktemp -d "$folder/vorlix-stop-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_STATE_HOME=$work/state
mkdir -m 700 "$XDG_RUNTIME_DIR"
head -c 1M /dev/urandom >"$work/chunk"
declare -A times
for round in $(seq "$rounds"); do
    for how in INT TERM HUP worker-INT; do
        for _ in $(seq "$mib"); do cat "$work/chunk"; done >"$work/f"
        sync "$work/f"
        "$wipe" -q --method dod "$work/f" >/dev/null 2>&1 &
        pid=$!
        sleep "$(awk -v r=$RANDOM 'BEGIN {print 0.2 + r % 30 / 10}')"
        start=$(date +%s.%N)
        case $how in
        worker-INT) python3 -c 'import ctypes, os, sys
pid = int(sys.argv[1]); tids = [int(t) for t in os.listdir(f"/proc/{pid}/task") if int(t) != pid]
ctypes.CDLL(None).syscall(234, pid, tids[0] if tids else pid, 2)' $pid 2>/dev/null ;;
        *) kill -$how $pid 2>/dev/null ;;
        esac
        wait $pid
        times[$how]+="$(echo "$(date +%s.%N) - $start" | bc) "
    done
    echo "round $round done" >&2
done
echo "$mib MiB dod, $rounds rounds, in $folder; seconds from the signal to the exit, min / median / max"
for how in INT TERM HUP worker-INT; do
    printf '%-12s %s\n' "$how" "$(tr ' ' '\n' <<<"${times[$how]}" | grep . | sort -g |
        awk '{v[NR]=$1} END {printf "%.3f / %.3f / %.3f", v[1], v[int((NR+1)/2)], v[NR]}')"
done
