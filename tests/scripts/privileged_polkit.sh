#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The administrator's free-space wipe against a real polkit, as an ordinary
# user (nobody) meets it: in a mount namespace of its own, a system bus and
# polkitd of the test's own, vorlix-privileged and the action installed over
# /usr, and a rule over /etc/polkit-1 that lets nobody through (or not). On
# an ext4 image in nobody's folder: without vorlix-privileged no offer and
# the same warning up front, from the window and vorlix-wipe; granted, the
# window runs the wipe as root, stops it, runs it again to its end, and
# nothing is left of a deleted file that filled the blocks kept for root (an
# ordinary user's run leaves all of them); polkit shows the action in the
# asker's language; refused, the window says so and nothing ran as root.
# After a file run by nobody, granted, vorlix-privileged clears the journal
# and nothing is pushed round; refused, the push does it; either way no
# wiped name is left. The job refuses anything but an ext3/4 mount point.
# The window's whole-drive wipe of a loop device of the test's own goes
# through the wipe-drive job when granted, and changes nothing when refused.
# Nothing outside the namespace changes.
# Usage: privileged_polkit.sh <vorlix binary> <build folder>
set -uo pipefail
build=$(cd "$2" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
if [ "$(id -u)" -ne 0 ]; then echo "skipped: a system bus and polkitd of the test's own need root"; exit 77; fi
for tool in dbus-daemon /usr/lib/polkit-1/polkitd /usr/bin/pkexec pkaction xvfb-run unshare runuser; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
id nobody >/dev/null 2>&1 || { echo "skipped: no user nobody"; exit 77; }
if [ -z "${VORLIX_POLKIT_NAMESPACE:-}" ]; then
    # In a chroot whose root is no mount of its own the namespace cannot be
    # made private, and mounts in it would reach the machine's.
    unshare -m --propagation private true 2>/dev/null ||
        { echo "skipped: no private mount namespace here (a chroot?)"; exit 77; }
    VORLIX_POLKIT_NAMESPACE=1 exec unshare -m --propagation private bash "$0" "$@"
fi

tmp=$(mktemp -d)
chmod 755 "$tmp"
mnt=$tmp/mnt
dbus_pid= polkit_pid= drive_loop=
cleanup() {
    [ -n "$drive_loop" ] && losetup -d "$drive_loop"
    [ -n "$polkit_pid" ] && kill "$polkit_pid" 2>/dev/null
    [ -n "$dbus_pid" ] && kill "$dbus_pid" 2>/dev/null
    mountpoint -q "$mnt" && umount "$mnt"
    mountpoint -q "$tmp/tmpfs" && umount "$tmp/tmpfs"
    for point in /usr /etc/polkit-1 /run/dbus /root; do umount "$point" 2>/dev/null; done
    [ -n "${VORLIX_KEEP_TMP:-}" ] && echo "kept: $tmp" || rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
. "$source_dir/tests/scripts/polkit-sandbox.sh"
# polkit's answer for nobody: polkit.Result.YES or NO, for the free-space
# wipe, (the same unless given) the journal, and (NO unless given) a drive.
polkit() {
    start_polkitd 50-vorlix-test.rules <<JS
polkit.addRule(function(action, subject) {
    if (action.id == "org.vorlix.free-space" && subject.user == "nobody")
        return polkit.Result.$1;
    if (action.id == "org.vorlix.clear-journal" && subject.user == "nobody")
        return polkit.Result.${2:-$1};
    if (action.id == "org.vorlix.wipe-drive" && subject.user == "nobody")
        return polkit.Result.${3:-NO};
});
JS
}
# A fresh ext4 image in nobody's folder, every block of it once held a marker
# (root fills the blocks kept for it too), deleted again.
image() {
    truncate -s 320M "$tmp/disk.img" && mkfs.ext4 -q -F -m 5 "$tmp/disk.img" && mkdir -p "$mnt" \
        && mount -o loop "$tmp/disk.img" "$mnt" || return 1
    chown nobody "$mnt"
    yes "$marker" >"$mnt/filler" 2>/dev/null
    rm "$mnt/filler"
    runuser -u nobody -- mkdir "$mnt/docs"
    sync
}
# The window's case as nobody, under a display of its own.
window() {
    runuser -u nobody -- env HOME="$tmp/home" XDG_STATE_HOME="$tmp/home/state" LANGUAGE=en \
        VORLIX_TEST_ADMIN_FOLDER="$mnt/docs" VORLIX_TEST_ADMIN_ROOT="$mnt" VORLIX_TEST_ADMIN_EXPECT="$1" \
        xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/gui_tests" --gtest_filter='AdministratorFreeSpace.*' \
        >"$tmp/window-$1.log" 2>&1
    local status=$?
    grep -q '^\[  PASSED  \] 1 test' "$tmp/window-$1.log" && [ "$status" -eq 0 ] || { cat "$tmp/window-$1.log"; false; }
}
marker=VORLIX-POLKIT-MARKER-$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')
mkdir -m 700 "$tmp/home" && chown nobody "$tmp/home"

mount -t tmpfs tmpfs /run/dbus
# root's own state folder, where the job keeps its crash record, stays untouched.
mount -t tmpfs tmpfs /root
dbus-daemon --system --fork --print-pid >"$tmp/dbus.pid" || { echo "FAILED: the system bus starts"; exit 1; }
dbus_pid=$(cat "$tmp/dbus.pid")
overlay /usr usr
overlay /etc/polkit-1 polkit
rm -rf /usr/libexec/vorlix
check "the image is made" image

# Not installed: no offer, and what stays unreached is said up front.
check "absent: polkitd starts" polkit YES
check "absent: no offer, the warning in the question" window absent
runuser -u nobody -- "$build/bin/vorlix-wipe" -n --free-space "$mnt/docs" >/dev/null 2>"$tmp/cli.err"
check "vorlix-wipe as nobody says what only an administrator's run reaches" \
    grep -q 'kept for the system: only a run with administrator rights reaches them' "$tmp/cli.err"

mkdir -p /usr/libexec/vorlix
install -m 755 "$build/libexec/vorlix/vorlix-privileged" /usr/libexec/vorlix/
install -m 644 "$source_dir/dist/org.vorlix.policy" /usr/share/polkit-1/actions/
check "granted: polkitd starts" polkit YES
pkaction --verbose --action-id org.vorlix.free-space >"$tmp/pkaction" 2>&1
check "pkaction lists the action and the program it runs" \
    grep -q 'exec.path -> /usr/libexec/vorlix/vorlix-privileged' "$tmp/pkaction"
# A whole drive is wiped only after an administrator's password, every time.
pkaction --verbose --action-id org.vorlix.wipe-drive >"$tmp/pkaction.drive" 2>&1
check "the drive's action runs wipe-drive and always asks for an administrator" bash -c "
    grep -q 'exec.argv1 -> wipe-drive' '$tmp/pkaction.drive' &&
    test \$(grep -c -E 'implicit (any|inactive|active): +auth_admin$' '$tmp/pkaction.drive') -eq 3"
# The authentication dialog in the user's language, from Vorlix's catalogs.
mkdir -p /usr/share/locale/de/LC_MESSAGES
install -m 644 "$build/share/locale/de/LC_MESSAGES/vorlix.mo" /usr/share/locale/de/LC_MESSAGES/
# pkaction asks in no language; the authentication agent asks in its own.
gdbus call --system --dest org.freedesktop.PolicyKit1 --object-path /org/freedesktop/PolicyKit1/Authority \
    --method org.freedesktop.PolicyKit1.Authority.EnumerateActions de_DE.UTF-8 >"$tmp/actions.de" 2>&1
check "polkit shows the action's text in German" \
    grep -q "'org.vorlix.free-space', 'Den gesamten freien Speicher eines Dateisystems l.*', 'Zum L" \
    "$tmp/actions.de"
kept_for_root=$(( $(stat -f -c '(%f - %a) * %S' "$mnt") ))
check "granted: the window runs the wipe as root, stopped at once and then to its end" window granted
grep -o 'admin-run: .*' "$tmp/window-granted.log"
umount "$mnt"
# Root's run reaches every free block, those ext4 keeps back even from root
# included: none of the marker is left.
left=$(( $(grep -o -a -F "$marker" "$tmp/disk.img" | wc -l) * (${#marker} + 1) ))
echo "marker bytes left: $left; blocks kept for root: $kept_for_root bytes"
check "granted: nothing of the deleted file is left, not even in the blocks kept for root" test "$left" -eq 0

check "refused: the image is made again" image
check "refused: polkitd starts" polkit NO
check "refused: the window says so, and nothing ran as root" window refused
check "refused: the marker still fills the free space" test "$(grep -c -a -F "$marker" "$tmp/disk.img")" -gt 0

# A file run by nobody on a data=journal ext4 whose journal is full of
# older writes: a 1 MiB file of the marker under a name of its own, wiped
# with vorlix-wipe, the image then read raw.
journal_run() {
    mountpoint -q "$mnt" && umount "$mnt"
    truncate -s 320M "$tmp/journal.img" && mkfs.ext4 -q -F -b 4096 "$tmp/journal.img" \
        && mount -o loop,data=journal "$tmp/journal.img" "$mnt" || return 1
    chown nobody "$mnt"
    runuser -u nobody -- mkdir "$mnt/docs"
    yes kept | head -c 48M >"$mnt/kept"
    wiped_name=wiped-name-$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')
    yes "$marker" | head -c 1M >"$mnt/docs/$wiped_name"
    chown nobody "$mnt/docs/$wiped_name"
    sync
    runuser -u nobody -- env HOME="$tmp/home" XDG_STATE_HOME="$tmp/home/state" LANGUAGE=en \
        "$build/bin/vorlix-wipe" --report "$tmp/home/journal-$1.json" "$mnt/docs/$wiped_name" \
        >"$tmp/journal-$1.out" 2>&1 </dev/null
    local status=$?
    umount "$mnt"
    # The journal as it is left: a push fills it with its work folder's blocks.
    debugfs -R "dump <8> $tmp/journal-$1.bin" "$tmp/journal.img" >/dev/null 2>&1
    [ "$status" -eq 0 ] || { cat "$tmp/journal-$1.out"; false; }
}
# The journal's 4 KiB blocks that hold anything, in percent.
journal_used() {
    python3 - "$tmp/journal-$1.bin" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
blocks = [data[i:i + 4096] for i in range(0, len(data), 4096)]
print(100 * sum(1 for b in blocks if b.strip(b"\0")) // max(len(blocks), 1))
PY
}
journal_says() {
    python3 -c 'import json, sys; t = json.load(open(sys.argv[1]))["totals"]; sys.exit(t["journal_cleared"] is not True or t["wiped"] != 1)' \
        "$tmp/home/journal-$1.json"
}
no_wiped_name() {
    test "$(grep -c -a -F -e "$wiped_name" -e "$marker" "$tmp/journal.img")" -eq 0
}

check "journal, granted: polkitd starts" polkit NO YES
check "journal, granted: nobody's run wipes the file" journal_run granted
check "journal, granted: the report says the journal was cleared" journal_says granted
check "journal, granted: nothing was pushed round (no work folder in the journal)" \
    test "$(grep -c -a -F .vorlix-journal- "$tmp/journal-granted.bin")" -eq 0 -a -s "$tmp/journal-granted.bin"
used=$(journal_used granted)
echo "journal blocks in use after vorlix-privileged cleared it: $used %"
check "journal, granted: the journal was zeroed" test "$used" -lt 10
check "journal, granted: the raw image holds no wiped name or content" no_wiped_name

# The job refuses, as root through pkexec, anything but the top of an ext3/4
# mount; a refusal changes nothing and says one line.
mount -o loop "$tmp/journal.img" "$mnt"
mkdir -p "$tmp/tmpfs" && mount -t tmpfs -o size=1M tmpfs "$tmp/tmpfs"
ln -sfn "$mnt" "$tmp/link"
job() {
    runuser -u nobody -- /usr/bin/pkexec --disable-internal-agent /usr/libexec/vorlix/vorlix-privileged \
        clear-journal "$@" >"$tmp/job.out" 2>"$tmp/job.err" </dev/null
}
refused() {
    local what=$1; shift
    job "$@"
    check "clear-journal refuses $what: status 2, one line" test $? -eq 2 -a "$(wc -l <"$tmp/job.err")" -eq 1 -a ! -s "$tmp/job.out"
}
refused "a folder that is no mount point" "$mnt/docs"
refused "a filesystem other than ext3/4 (tmpfs)" "$tmp/tmpfs"
refused "a link to a mount point" "$tmp/link"
refused "an argument more" "$mnt" "$mnt"
refused "a missing mount point"
job "$mnt"
check "clear-journal clears a mount point of ext4: status 0" test $? -eq 0
umount "$tmp/tmpfs"
umount "$mnt"

check "journal, refused: polkitd starts" polkit NO NO
check "journal, refused: nobody's run wipes the file" journal_run refused
check "journal, refused: the report says the journal was cleared, by the push" journal_says refused
check "journal, refused: pushed round instead (its work folder in the journal)" \
    grep -q -a -F .vorlix-journal- "$tmp/journal-refused.bin"
used=$(journal_used refused)
echo "journal blocks in use after the push: $used %"
check "journal, refused: the raw image holds no wiped name or content" no_wiped_name

# The window's whole-drive wipe as nobody, of a loop device of this test's
# own over a marked file in its folder: granted, wipe-drive runs it as root
# and no marker is left; refused, the window says so and the file is as it was.
drive_file=$tmp/drive.img
yes "$marker" | head -c 256M >"$drive_file"
drive_loop=$(losetup -f --show "$drive_file")
# The guard before any wipe: /dev/loopN on this test's own file, nothing else.
if ! [[ $drive_loop =~ ^/dev/loop[0-9]+$ ]] \
    || [ "$(cat "/sys/block/${drive_loop#/dev/}/loop/backing_file")" != "$(realpath "$drive_file")" ]; then
    echo "FAILED: $drive_loop is not this test's own loop device; nothing is wiped"
    exit 1
fi
drive_window() {
    runuser -u nobody -- env HOME="$tmp/home" XDG_STATE_HOME="$tmp/home/state" LANGUAGE=en \
        VORLIX_TEST_ADMIN_DRIVE="$drive_loop" VORLIX_TEST_ADMIN_DRIVE_FILE="$(realpath "$drive_file")" \
        VORLIX_TEST_ADMIN_EXPECT="$1" \
        xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/gui_tests" --gtest_filter='AdministratorDrive.*' \
        >"$tmp/drive-$1.log" 2>&1
    local status=$?
    grep -q '^\[  PASSED  \] 1 test' "$tmp/drive-$1.log" && [ "$status" -eq 0 ] || { cat "$tmp/drive-$1.log"; false; }
}
drive_markers() { grep -c -a -F "$marker" "$drive_file"; }
before=$(drive_markers)
check "drive, refused: polkitd starts" polkit NO NO NO
check "drive, refused: the window says so" drive_window refused
check "drive, refused: the drive is as it was" test "$(drive_markers)" -eq "$before"
check "drive, granted: polkitd starts" polkit NO NO YES
check "drive, granted: the window wipes it through wipe-drive, its progress shown" drive_window granted
grep -o 'admin-drive: .*' "$tmp/drive-granted.log"
check "drive, granted: no marker byte is left on it" test "$(drive_markers)" -eq 0

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
