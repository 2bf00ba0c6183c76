#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# vorlix-wipe as a whole process against shred and dd on equal files, round by
# round (each contender once per round, in the same order), so that other work
# on the machine slows them alike. Each file is written and synced first; each
# contender overwrites it, syncs and deletes it. For vorlix-wipe the engine's
# own time (from its report) is printed beside the process's: their gap is
# what the command line adds to the engine the window runs.
# Usage: bench/cli_bench.sh <vorlix-wipe> [folder] [rounds] [MiB]
set -uo pipefail
wipe=$1
folder=${2:-/tmp}
rounds=${3:-5}
mib=${4:-512}
work=$(mktemp -d "$folder/vorlix-cli-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
head -c 1M /dev/urandom >"$work/chunk"

make_file() {
    for _ in $(seq "$mib"); do cat "$work/chunk"; done >"$work/f"
    sync "$work/f"
}
now() { date +%s.%N; }
declare -A times
run() {
    local name=$1; shift
    make_file
    local start end
    start=$(now)
    "$@" >/dev/null 2>"$work/err" || { echo "$name failed:"; cat "$work/err"; }
    end=$(now)
    times[$name]+="$(echo "$end - $start" | bc) "
}
engine() {
    local name=$1; shift
    run "$name" "$wipe" -q --report "$work/report.json" "$@" "$work/f"
    times["$name (engine)"]+="$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["totals"]["elapsed_ms"] / 1000)' "$work/report.json") "
}
dd_pass() {
    dd if=/dev/urandom of="$work/f" bs=64K count=$((mib * 16)) conv=notrunc,fdatasync status=none && rm "$work/f"
}
# The device's own speed: zeros written in place over the same file, as fast
# as an overwrite can go.
dd_zero() {
    dd if=/dev/zero of="$work/f" bs=1M count="$mib" conv=notrunc,fdatasync status=none && rm "$work/f"
}

for round in $(seq "$rounds"); do
    engine "vorlix-wipe random"
    run "dd zero in place + rm" dd_zero
    run "shred -n1 -u" shred -n1 -u "$work/f"
    run "dd urandom + rm" dd_pass
    engine "vorlix-wipe dod" --method dod
    run "shred -n3 -u" shred -n3 -u "$work/f"
    engine "vorlix-wipe random --verify" --verify
    echo "round $round done" >&2
done

echo "$mib MiB, $rounds rounds, in $folder; seconds min / median / max"
for name in "vorlix-wipe random" "vorlix-wipe random (engine)" "dd zero in place + rm" "shred -n1 -u" "dd urandom + rm" \
    "vorlix-wipe dod" "vorlix-wipe dod (engine)" "shred -n3 -u" \
    "vorlix-wipe random --verify" "vorlix-wipe random --verify (engine)"; do
    printf '%-40s %s\n' "$name" "$(tr ' ' '\n' <<<"${times[$name]}" | grep . | sort -g |
        awk '{v[NR]=$1} END {printf "%.2f / %.2f / %.2f", v[1], v[int((NR+1)/2)], v[NR]}')"
done
