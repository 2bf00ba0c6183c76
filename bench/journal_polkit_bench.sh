#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times vorlix-wipe of one 1 MiB file on a 256 GiB sparse ext4 image (whose
# journal mkfs makes 1 GiB), journal step included: as root (the kernel zeroes
# the journal), as the ordinary user nobody with polkit allowing the journal
# step (vorlix-privileged zeroes it), and as nobody with polkit saying no (the
# journal is pushed round). polkit is the bench's own, set up as
# tests/scripts/privileged_polkit.sh does, in a mount namespace of its own:
# nothing outside it changes. Needs root; prints min / median / max seconds.
# Usage: bench/journal_polkit_bench.sh <build folder> [rounds] [rounds refused]
set -uo pipefail
build=$(cd "$1" && pwd)
rounds=${2:-5}
refusedRounds=${3:-1}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "needs root"; exit 1; }
if [ -z "${VORLIX_POLKIT_NAMESPACE:-}" ]; then
    VORLIX_POLKIT_NAMESPACE=1 exec unshare -m --propagation private bash "$0" "$@"
fi
tmp=$(mktemp -d)
chmod 755 "$tmp"
mnt=$tmp/mnt
dbus_pid= polkit_pid=
cleanup() {
    [ -n "$polkit_pid" ] && kill "$polkit_pid" 2>/dev/null
    [ -n "$dbus_pid" ] && kill "$dbus_pid" 2>/dev/null
    mountpoint -q "$mnt" && umount "$mnt"
    for point in /usr /etc/polkit-1 /run/dbus /root; do umount "$point" 2>/dev/null; done
    rm -rf "$tmp"
}
trap cleanup EXIT
. "$source_dir/tests/scripts/polkit-sandbox.sh"
# polkit's answer to nobody for the journal step: YES or NO.
polkit() {
    start_polkitd 50-vorlix-bench.rules <<JS || exit 1
polkit.addRule(function(action, subject) {
    if (action.id == "org.vorlix.clear-journal" && subject.user == "nobody")
        return polkit.Result.$1;
});
JS
}
# Seconds of one vorlix-wipe of a fresh 1 MiB file, as $1 (root or nobody).
wipe_once() {
    local file=$mnt/docs/file-$RANDOM
    head -c 1M /dev/urandom >"$file" && chown nobody "$file" && sync
    local start end
    start=$(date +%s.%N)
    # Both through runuser, so that neither pays for starting as another user alone.
    runuser -u "$1" -- env HOME="$tmp/home" XDG_STATE_HOME="$tmp/home/state" "$build/bin/vorlix-wipe" -q "$file" \
        >/dev/null 2>"$tmp/err" </dev/null || { cat "$tmp/err" >&2; }
    end=$(date +%s.%N)
    [ -e "$file" ] && echo "not wiped: $file" >&2
    echo "$end - $start" | bc
}
series() {
    local times=()
    for _ in $(seq "$2"); do times+=("$(wipe_once "$1")"); done
    printf '%s\n' "${times[@]}" | sort -g | awk '{v[NR]=$1} END {printf "%.3f / %.3f / %.3f", v[1], v[int((NR+1)/2)], v[NR]}'
}

mount -t tmpfs tmpfs /run/dbus
mount -t tmpfs tmpfs /root
dbus-daemon --system --fork --print-pid >"$tmp/dbus.pid" || exit 1
dbus_pid=$(cat "$tmp/dbus.pid")
overlay /usr usr
overlay /etc/polkit-1 polkit
mkdir -p /usr/libexec/vorlix
install -m 755 "$build/libexec/vorlix/vorlix-privileged" /usr/libexec/vorlix/
install -m 644 "$source_dir/dist/org.vorlix.policy" /usr/share/polkit-1/actions/
mkdir -m 700 "$tmp/home" && chown nobody "$tmp/home"

truncate -s 256G "$tmp/disk.img" && mkfs.ext4 -q -F "$tmp/disk.img" && mkdir "$mnt" \
    && mount -o loop "$tmp/disk.img" "$mnt" || exit 1
journal=$(( $(debugfs -R "stat <8>" "$tmp/disk.img" 2>/dev/null | sed -n "s/.*Size: \([0-9]*\).*/\1/p" | head -1) >> 20 ))
mkdir -m 777 "$mnt/docs"
echo "1 MiB file on a 256 GiB sparse ext4 image (journal $journal MiB); seconds, min / median / max"
polkit YES
echo "as root:                        $(series root "$rounds")"
echo "as nobody, polkit allows:       $(series nobody "$rounds")"
times=()
for _ in $(seq "$rounds"); do
    start=$(date +%s.%N)
    runuser -u nobody -- /usr/bin/pkexec --disable-internal-agent /usr/libexec/vorlix/vorlix-privileged \
        clear-journal "$mnt" </dev/null || echo "clear-journal failed" >&2
    times+=("$(echo "$(date +%s.%N) - $start" | bc)")
done
echo "  of which pkexec and the job:  $(printf '%s\n' "${times[@]}" | sort -g |
    awk '{v[NR]=$1} END {printf "%.3f / %.3f / %.3f", v[1], v[int((NR+1)/2)], v[NR]}')"
polkit NO
echo "as nobody, polkit says no:      $(series nobody "$refusedRounds")"
