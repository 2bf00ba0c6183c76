#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Many small files as whole processes: `vorlix-wipe -r DIR` against
# `find DIR -type f | xargs shred -n1 --remove=unlink`, round by round on equal
# folders (each made and synced first), min / median / max seconds and the
# ratio; then the system calls per file of each, counted by strace -c.
# Usage: bench/cli_small_bench.sh <vorlix-wipe> [folder] [rounds] [files]
set -uo pipefail
wipe=$1
folder=${2:-/tmp}
rounds=${3:-5}
files=${4:-10000}
work=$(mktemp -d "$folder/vorlix-small-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache
mkdir -m 700 "$XDG_RUNTIME_DIR"
head -c 4096 /dev/urandom >"$work/chunk"

make_folder() {
    mkdir "$work/d"
    (cd "$work/d" && for i in $(seq "$files"); do cp ../chunk "f$i"; done)
    sync -f "$work/d"
}
vorlix() { "$wipe" -q -r "$work/d"; }
shredder() { find "$work/d" -type f -print0 | xargs -0 shred -n1 --remove=unlink && rmdir "$work/d"; }
declare -A times
run() {
    local name=$1; shift
    make_folder
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>"$work/err" || { echo "$name failed:"; cat "$work/err"; }
    end=$(date +%s.%N)
    rm -rf "$work/d"
    times[$name]+="$(echo "$end - $start" | bc) "
}
for round in $(seq "$rounds"); do
    run vorlix-wipe vorlix
    run shred shredder
    echo "round $round done" >&2
done
stats() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR]=$1} END {printf "%.3f / %.3f / %.3f", v[1], v[int((NR+1)/2)], v[NR]}'; }
echo "$files files of 4 KiB, $rounds rounds, in $folder; seconds min / median / max"
printf '%-14s %s\n' vorlix-wipe "$(stats "${times[vorlix-wipe]}")" shred "$(stats "${times[shred]}")"
read -ra v <<<"${times[vorlix-wipe]}"
read -ra s <<<"${times[shred]}"
ratios=""
for i in "${!v[@]}"; do ratios+="$(echo "${v[$i]} / ${s[$i]}" | bc -l) "; done
printf '%-14s %s\n' "ratio" "$(stats "$ratios")"
if command -v strace >/dev/null; then
    for name in vorlix shredder; do
        make_folder
        strace -f -c -o "$work/strace" bash -c "$(declare -f $name); work='$work' wipe='$wipe' $name" >/dev/null 2>&1
        calls=$(awk '$NF == "total" {print $(NF-2) ~ /^[0-9]+$/ ? $(NF-2) : $(NF-1)}' "$work/strace")
        printf '%-14s %s system calls per file (with the process and its start)\n' "$name" \
            "$(echo "scale=1; $calls / $files" | bc)"
        rm -rf "$work/d"
    done
fi
