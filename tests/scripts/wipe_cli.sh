#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# vorlix-wipe run as a user runs it, on real files: exit statuses, the
# refusals, -r over a tree holding a folder link (named, its emptied folders
# removed), a dry run that changes
# nothing, "--" before a file named -rf, Ctrl-C during a big file, names
# read from --files0-from, the passes -v names and -z adds, and -f on a
# read-only file.
# Usage: wipe_cli.sh <vorlix binary> <build folder>
set -uo pipefail
wipe=$(cd "$(dirname "$1")" && pwd)/vorlix-wipe
export LC_ALL=C.UTF-8
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
# Runs vorlix-wipe in $tmp/w; its status, stdout and stderr are kept.
run() {
    (cd "$tmp/w" && "$wipe" "$@" >"$tmp/out" 2>"$tmp/err")
    status=$?
}
fresh() { rm -rf "$tmp/w"; mkdir "$tmp/w"; }
sums() { (cd "$tmp/w" && find . -printf '%p %y %s %n %l\n' | sort && find . -type f -exec sha256sum {} + | sort); }
lines() { grep -cxF "$1" "$tmp/err"; }

# Usage errors touch nothing.
fresh; echo keep >"$tmp/w/a"
run; check "no path: status 2" test $status -eq 2
run --frobnicate a; check "an unknown option: status 2" test $status -eq 2
run --method gost a; check "an unknown method: status 2" test $status -eq 2
run -n --report r.json a; check "a report of a dry run: status 2" test $status -eq 2
run --report "$tmp/no/such/folder/r.json" a
check "a report that cannot be written: status 2" test $status -eq 2 -a ! -e "$tmp/no"
check "after usage errors the file is intact" grep -qx keep "$tmp/w/a"
run --help; check "--help: status 0 and the usage" test $status -eq 0 -a -n "$(grep -- --dry-run "$tmp/out")"
run --version; check "--version names the program" grep -q '^vorlix-wipe [0-9]' "$tmp/out"
# Output that cannot be written is an error, as in coreutils; options are
# read as getopt_long reads them.
for args in --help --version "-n a"; do
    (cd "$tmp/w" && "$wipe" $args >/dev/full 2>"$tmp/err")
    check "$args into a full device: status 1 and why" \
        test $? -eq 1 -a "$(cat "$tmp/err")" = "vorlix-wipe: write error: No space left on device"
done
run --bogus=1 a; check "--bogus=1 is an unknown option" grep -qx 'vorlix-wipe: unknown option --bogus' "$tmp/err"
run --free-space . --free-space .; check "two --free-space: status 2" test $status -eq 2
run --dry --meth dod a; check "--dry --meth: abbreviations are read" test $status -eq 0 -a -e "$tmp/w/a"

# Plain files are wiped: status 0 and a summary.
fresh; head -c 100000 /dev/urandom >"$tmp/w/one"; : >"$tmp/w/empty"
run one empty
check "files wiped: status 0" test $status -eq 0
check "both files are gone" test ! -e "$tmp/w/one" -a ! -e "$tmp/w/empty"
check "the summary line" grep -q '^2 files wiped, ' "$tmp/out"
check "nothing on stderr" test ! -s "$tmp/err"
echo q >"$tmp/w/q"
run -q q missing
check "-q: no summary, the refusal still said" test $status -eq 1 -a ! -s "$tmp/out" -a -s "$tmp/err"

# A link, a hard-link twin and a FIFO are refused, untouched, one line each.
fresh; echo target >"$tmp/w/target"; ln -s target "$tmp/w/link"
echo twin >"$tmp/w/twin1"; ln "$tmp/w/twin1" "$tmp/w/twin2"; mkfifo "$tmp/w/fifo"; echo fine >"$tmp/w/fine"
before=$(sums)
run link twin1 fifo fine missing
check "refusals: status 1" test $status -eq 1
check "the link's line" test "$(lines 'Not wiped (a link, which is never followed): link')" -eq 1
check "the twin's line" test "$(lines 'Not wiped (a hard link: the file has other names too): twin1')" -eq 1
check "the FIFO's line" test "$(lines 'Not wiped (not a regular file but a folder, pipe, socket or device): fifo')" -eq 1
check "the missing file's line" test "$(lines 'Not wiped (not found): missing')" -eq 1
check "one line per file not wiped" test "$(wc -l <"$tmp/err")" -eq 4
check "the file beside them is wiped" test ! -e "$tmp/w/fine"
rm -f "$tmp/w/fine" 2>/dev/null
check "the refused entries are untouched" test "$(sums)" = "$(echo "$before" | grep -v fine)"

# A folder needs -r; with it the tree is walked, no link entered.
fresh; mkdir -p "$tmp/w/tree/sub" "$tmp/outside"; echo secret >"$tmp/outside/kept"
echo a >"$tmp/w/tree/a"; echo b >"$tmp/w/tree/sub/b"; ln -s "$tmp/outside" "$tmp/w/tree/sub/elsewhere"
run tree
check "a folder without -r: status 1" test $status -eq 1
check "a folder without -r: its files stay" test -e "$tmp/w/tree/a" -a -e "$tmp/w/tree/sub/b"
mkdir "$tmp/w/tree/empty"
run -r --report "$tmp/tree.json" tree tree/a ./tree/a
check "-r: status 1 for the link inside, named once" \
    test $status -eq 1 -a "$(cat "$tmp/err")" = 'Not wiped (a link, which is never followed): tree/sub/elsewhere'
check "-r: the tree's files are wiped" test ! -e "$tmp/w/tree/a" -a ! -e "$tmp/w/tree/sub/b"
check "-r: the folder link is neither entered nor removed" test -L "$tmp/w/tree/sub/elsewhere" -a "$(cat "$tmp/outside/kept")" = secret
check "-r: emptied folders go, the one holding the link stays" \
    test "$(cd "$tmp/w" && find . | sort | tr '\n' ' ')" = ". ./tree ./tree/sub ./tree/sub/elsewhere "
check "-r: the record lists the link as refused" python3 - "$tmp/tree.json" <<'PY'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
links = [f for f in files if f["reason_code"] == "link"]
assert len(files) == 3 and len(links) == 1 and links[0]["path"].endswith("/tree/sub/elsewhere"), files
PY
rm "$tmp/w/tree/sub/elsewhere"; echo c >"$tmp/w/tree/sub/c"
run -r tree/
check "-r: the named folder goes once emptied" test $status -eq 0 -a ! -e "$tmp/w/tree"

# A run looks at each filesystem once, however many folders and files it
# holds: the mount table is read and the filesystem asked as often for five
# files in three folders as for one file, on each of two filesystems.
# (Where /dev/shm is no tmpfs of its own, as in a root bound without its
# submounts, it is devtmpfs, whose files are rightly refused.)
shm=
[ "$(df --output=fstype /dev/shm 2>/dev/null | tail -n1)" = tmpfs ] && shm=$(mktemp -d /dev/shm/vorlix-test.XXXXXX)
if command -v strace >/dev/null && [ -n "$shm" ] \
    && [ "$(findmnt -n -o TARGET -T "$shm")" != "$(findmnt -n -o TARGET -T "$tmp")" ]; then
    looks() {
        (cd "$tmp/w" && strace -f -qq -e trace=openat,statfs -o "$tmp/trace" "$wipe" "$@" >/dev/null 2>&1)
        grep -c 'mountinfo\|statfs(' "$tmp/trace"
    }
    fresh; mkdir -p "$tmp/w/s/a" "$tmp/w/s/b" "$tmp/w/s/c" "$shm/many" "$shm/one"
    for f in a/1 a/2 b/1 b/2 c/1; do echo x >"$tmp/w/s/$f"; done
    echo x >"$shm/many/1"; echo x >"$shm/many/2"; echo x >"$tmp/w/one"; echo x >"$shm/one/1"
    many=$(looks -r s "$shm/many")
    one=$(looks one "$shm/one/1")
    check "each filesystem looked at once, whatever its files and folders ($many, $one)" \
        test "$many" -gt 0 -a "$many" -eq "$one" -a ! -e "$tmp/w/s" -a ! -e "$shm/one/1"
fi
[ -n "$shm" ] && rm -rf "$shm"

# A dry run lists and refuses as a run would and changes nothing; a link
# named once, inside the walked tree and by itself, is refused once.
fresh; mkdir -p "$tmp/w/d/e"; head -c 70000 /dev/urandom >"$tmp/w/d/big"; echo x >"$tmp/w/d/e/small"
ln -s big "$tmp/w/d/e/link"; mkfifo "$tmp/w/d/fifo"; truncate -s 1M "$tmp/w/d/sparse"
before=$(sums)
run -n -r --method dod d d/e/link
check "dry run: status 1 for the refused entries" test $status -eq 1
check "dry run: the file it would wipe" grep -qxF 'Would wipe (70000 bytes, 210000 written): d/big' "$tmp/out"
check "dry run: holes are not written" grep -qxF 'Would wipe (1048576 bytes, 0 written): d/sparse' "$tmp/out"
check "dry run: the link it would refuse" grep -qxF 'Would refuse (a link, which is never followed): d/e/link' "$tmp/out"
check "dry run: the FIFO it would refuse" grep -qF 'Would refuse (not a regular file' "$tmp/out"
check "dry run: the whole tree is unchanged" test "$(sums)" = "$before"

# The kernel's own files are refused by the dry run too, without a write open;
# so is the free space of a filesystem kept in memory.
run -n /proc/sys/kernel/hostname
check "dry run: a system file would be refused" test $status -eq 1 -a \
    "$(cat "$tmp/out")" = 'Would refuse (a system file, not a stored file): /proc/sys/kernel/hostname'
# stat -f names devtmpfs "tmpfs" too (one magic number); df, from the mount table, does not.
if [ "$(df --output=fstype /dev/shm 2>/dev/null | tail -n1)" = tmpfs ]; then
    run -n --free-space /dev/shm
    check "dry run: no free-space wipe of tmpfs" test $status -eq 1 -a ! -s "$tmp/out"
    check "dry run: tmpfs refused as kept in memory" \
        grep -q '^Free space not wiped: This is a tmpfs filesystem kept in memory' "$tmp/err"
fi

# A link where the report goes is refused before anything is wiped: nothing
# is made or changed through it, and the link stays.
fresh; echo keep >"$tmp/w/a"; echo theirs >"$tmp/theirs"
ln -s "$tmp/theirs" "$tmp/w/to-file"; ln -s "$tmp/not-yet" "$tmp/w/to-nothing"
run --report to-nothing a
check "a report link to nothing: status 2, nothing made, the link kept" \
    test $status -eq 2 -a ! -e "$tmp/not-yet" -a -L "$tmp/w/to-nothing" -a -e "$tmp/w/a"
check "a report link: said so" \
    grep -qxF 'Nothing wiped: the report cannot be written (a link, which is never followed): to-nothing' "$tmp/err"
run --report to-file a
check "a report link to a file: status 2, that file unchanged, nothing wiped" \
    test $status -eq 2 -a "$(cat "$tmp/theirs")" = theirs -a -L "$tmp/w/to-file" -a -e "$tmp/w/a"

# Names are the system's bytes, whatever the locale: a name that is not
# UTF-8 and one that is, under the C locale; the report shows the first as
# the window does and keeps its exact bytes.
fresh; echo a >"$tmp/w/bad"$'\xff'; echo b >"$tmp/w/caf"$'\xc3\xa9'
(cd "$tmp/w" && LC_ALL=C "$wipe" --report "$tmp/names.json" bad$'\xff' caf$'\xc3\xa9' >"$tmp/out" 2>"$tmp/err")
check "odd names under the C locale: status 0, both gone" \
    test $? -eq 0 -a ! -e "$tmp/w/bad"$'\xff' -a ! -e "$tmp/w/caf"$'\xc3\xa9'
check "the report: shown with U+FFFD, exact in path_native" python3 - "$tmp/names.json" <<'PY'
import json, sys
bad, cafe = json.load(open(sys.argv[1]))["files"]
assert bad["path"].endswith("/bad\ufffd") and bad["path_native"].endswith("2f626164ff"), bad
assert cafe["path"].endswith("/caf\u00e9") and cafe["path_native"].endswith("636166c3a9"), cafe
PY

# Names print as `ls --quoting-style=shell-escape` prints them, byte for
# byte, under a UTF-8 locale and under C: a newline cannot break the line and
# two names never print alike.
names=(plain 'a b' $'a\nb' $'\x01\x02z' $'bad\xff' $'caf\xc3\xa9' $'\xc2\x85' "it's" "it's caf"$'\xc3\xa9' "it's!"
    $'it\'s\x85' $'a\'\x85b' $'\'\n' '~a' 'a~' '#a' 'a#' '{' '{}' 'a=b' 'a\b' '?' '@a' '-rf' '[x' $'\x7f' '$HOME' '`x`' '"q"')
mkdir -p "$tmp/named"
for name in "${names[@]}"; do : >"$tmp/named/$name"; done
for locale in C.UTF-8 C; do
    fresh
    (cd "$tmp/w" && LC_ALL=$locale "$wipe" -- "${names[@]}" >"$tmp/out" 2>"$tmp/err")
    (cd "$tmp/named" && for name in "${names[@]}"; do
        printf 'Not wiped (not found): %s\n' "$(LC_ALL=$locale ls --quoting-style=shell-escape -d -- "$name")"; done) >"$tmp/expected"
    check "names under $locale are quoted as ls quotes them" cmp "$tmp/expected" "$tmp/err"
done
rm -rf "$tmp/named"

# "--" ends the options: a file named -rf.
fresh; echo dash >"$tmp/w/-rf"
run -rf
check "-rf as an option: status 2" test $status -eq 2 -a -e "$tmp/w/-rf"
run -- -rf
check "-- -rf wipes the file named -rf" test $status -eq 0 -a ! -e "$tmp/w/-rf"

# The report: parses, has every field docs/report.md lists, and says what
# happened to each file. --verify passes on a good device.
fresh; head -c 5000 /dev/urandom >"$tmp/w/kept"; ln "$tmp/w/kept" "$tmp/w/twin"; echo gone >"$tmp/w/gone"
run --verify --method dod --report "$tmp/report.json" gone kept
check "report run: status 1 for the twin" test $status -eq 1 -a ! -e "$tmp/w/gone"
check "the report has every documented field, right for each file" python3 - "$tmp/report.json" "$(dirname "$0")/../../docs/report.md" <<'PY'
import json, re, sys
report = json.load(open(sys.argv[1]))
fields = re.findall(r"^\| `([a-z_.\[\]]+)` \|", open(sys.argv[2]).read(), re.M)
assert len(fields) > 20, fields
for field in fields:
    if field.startswith("free_space."):
        continue  # a free-space wipe's: checked on one, as root
    where, name = (report, field)
    if "." in field:
        parent, name = field.split(".")
        where = report["files"][0] if parent == "files[]" else report[parent]
    assert name in where, field
gone, kept = report["files"]
assert gone["outcome"] == "wiped" and gone["bytes_overwritten"] == 15 and gone["reason"] is None, gone
assert kept["outcome"] == "not wiped" and kept["reason_code"] == "hard_links" and kept["size"] == 5000, kept
assert report["verified"] and report["method"] == "dod" and report["passes"] == 3
assert report["totals"]["wiped"] == 1 and report["totals"]["not_wiped"] == 1
assert report["kind"] == "files" and report["free_space"] is None
PY

# Ctrl-C during a 512 MiB file: left in place, reported as stopped, status 130.
fresh; head -c 1M /dev/urandom >"$tmp/chunk"
for i in $(seq 512); do cat "$tmp/chunk"; done >"$tmp/w/big"
sum=$(sha256sum <"$tmp/w/big")
(cd "$tmp/w" && exec "$wipe" --method dod big >"$tmp/out" 2>"$tmp/err") &
pid=$!
# Stopped once it has begun to overwrite.
for _ in $(seq 100); do
    [ "$(head -c 1M "$tmp/w/big" | sha256sum)" != "$(sha256sum <"$tmp/chunk")" ] && break
    sleep 0.05
done
kill -INT $pid
wait $pid
status=$?
check "SIGINT: status 130" test $status -eq 130
check "SIGINT: the file stays, its size too" test "$(stat -c %s "$tmp/w/big" 2>/dev/null)" = 536870912
check "SIGINT: partly overwritten" test "$(sha256sum <"$tmp/w/big")" != "$sum"
check "SIGINT: reported as stopped" \
    grep -qxF 'Not wiped (stopped while being overwritten, left partly overwritten): big' "$tmp/err"

# SIGTERM, SIGHUP, and SIGINT sent to the worker thread alone (as a tool
# that lists threads as processes sends it) stop the run as Ctrl-C does.
# Each stop comes once the run has written a good part of the file; a run
# that does not end within 20 s has ignored the signal.
written() { awk '/^wchar/ {print $2}' "/proc/$1/io" 2>/dev/null || echo 0; }
for how in TERM HUP worker-INT; do
    sum=$(sha256sum <"$tmp/w/big")
    if [ $how = worker-INT ]; then
        # One process starts the run, waits and signals: on a fast disk a
        # run is over sooner than a new interpreter starts.
        (cd "$tmp/w" && python3 - "$wipe" "$tmp/out" "$tmp/err" <<'PY')
import ctypes, os, subprocess, sys, time
run = subprocess.Popen([sys.argv[1], "big"], stdout=open(sys.argv[2], "w"), stderr=open(sys.argv[3], "w"))
# Bytes written so far by the process or, given "PID/task/TID", one thread.
def wchar(where):
    try:
        return int(next(l for l in open(f"/proc/{where}/io") if l.startswith("wchar")).split()[1])
    except (OSError, StopIteration):
        return 0
for _ in range(10000):
    if wchar(run.pid) > 64 << 20 or run.poll() is not None:
        break
    time.sleep(0.002)
# The thread that writes; a sanitizer's own threads come first in the list.
tasks = [int(t) for t in os.listdir(f"/proc/{run.pid}/task") if int(t) != run.pid] if run.poll() is None else []
if tasks:
    ctypes.CDLL(None).syscall(234, run.pid, max(tasks, key=lambda t: wchar(f"{run.pid}/task/{t}")), 2)
try:
    sys.exit(run.wait(timeout=20))
except subprocess.TimeoutExpired:
    run.kill()
    print("worker-INT: still running after 20 s")
    sys.exit(99)
PY
        status=$?
    else
        (cd "$tmp/w" && exec "$wipe" big >"$tmp/out" 2>"$tmp/err") &
        pid=$!
        # A sanitizer's build may take seconds to begin writing.
        for _ in $(seq 1000); do [ "$(written $pid)" -gt $((64 << 20)) ] && break; sleep 0.02; done
        kill -$how $pid
        for _ in $(seq 200); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
        kill -0 $pid 2>/dev/null && { kill -KILL $pid; echo "$how: still running after 20 s"; }
        wait $pid
        status=$?
    fi
    check "$how: status 130, the file left in place, partly overwritten" \
        test $status -eq 130 -a "$(stat -c %s "$tmp/w/big" 2>/dev/null)" = 536870912 -a "$(sha256sum <"$tmp/w/big")" != "$sum"
    check "$how: reported as stopped" \
        grep -qxF 'Not wiped (stopped while being overwritten, left partly overwritten): big' "$tmp/err"
done

# The summary line counts what was written over all passes, as the record
# does: three passes over 5 bytes are 15 B.
fresh; echo four >"$tmp/w/five"
run --method dod --report "$tmp/dod.json" five
check "dod: the line says 15 B, as the record" test $status -eq 0 \
    -a "$(grep -c '^1 file wiped, 15 B overwritten, in ' "$tmp/out")" -eq 1 \
    -a "$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["totals"]["bytes_overwritten"])' "$tmp/dod.json")" = 15


# --files0-from: NUL-ended names, a newline part of one, from a file and from
# standard input, a folder walked with -r; an empty name refuses the run and
# names its place; paths beside the list are refused. Nothing is touched by
# a refusal.
fresh; mkdir "$tmp/w/dir"; echo a >"$tmp/w/one"$'\n'"line"; echo b >"$tmp/w/dir/inner"; echo c >"$tmp/w/stays"
printf 'one\nline\0dir' >"$tmp/names0"
run -r --files0-from="$tmp/names0"
check "--files0-from: status 0, the name with a newline and the walked folder gone" \
    test $status -eq 0 -a ! -e "$tmp/w/one"$'\n'"line" -a ! -e "$tmp/w/dir" -a -e "$tmp/w/stays"
check "--files0-from: both files counted" grep -q '^2 files wiped, ' "$tmp/out"
fresh; echo a >"$tmp/w/x"$'\n'; echo b >"$tmp/w/y"
(cd "$tmp/w" && printf 'x\n\0y\0' | "$wipe" --files0-from - >"$tmp/out" 2>"$tmp/err")
check "--files0-from -: names read from standard input" test $? -eq 0 -a ! -e "$tmp/w/x"$'\n' -a ! -e "$tmp/w/y"
fresh; echo a >"$tmp/w/a"; echo b >"$tmp/w/b"; before=$(sums)
printf 'a\0\0b\0' >"$tmp/names0"
run --files0-from "$tmp/names0"
check "an empty name in the list: status 2, nothing touched" test $status -eq 2 -a "$(sums)" = "$before"
check "an empty name: its place named" grep -qxF "vorlix-wipe: name 2 in the list $tmp/names0 is empty; nothing was wiped" "$tmp/err"
run --files0-from "$tmp/no-such-list"
check "a list that cannot be read: status 2, said why" test $status -eq 2 -a "$(sums)" = "$before" \
    -a "$(cat "$tmp/err")" = "vorlix-wipe: cannot read the list of names $tmp/no-such-list: No such file or directory"
printf 'a\0' >"$tmp/names0"
run --files0-from "$tmp/names0" b
check "a path beside the list: status 2, nothing touched" test $status -eq 2 -a "$(sums)" = "$before"

# -v names each pass as it begins, -z adds the zero pass last: counted in
# the bytes and in the record, and read back by --verify.
fresh; head -c 3000 /dev/urandom >"$tmp/w/p"$'\n'"q"
run -vz --verify --method dod --report "$tmp/zero.json" -- p$'\n'q
check "-vz: status 0" test $status -eq 0 -a ! -e "$tmp/w/p"$'\n'"q"
check "-v: four passes named, in order, the name quoted" test "$(cat "$tmp/err")" = "vorlix-wipe: 'p'\$'\\n''q': pass 1/4 (zeros)...
vorlix-wipe: 'p'\$'\\n''q': pass 2/4 (ones (0xFF))...
vorlix-wipe: 'p'\$'\\n''q': pass 3/4 (random)...
vorlix-wipe: 'p'\$'\\n''q': pass 4/4 (zeros)..."
check "-z: the line and the record count four passes" test "$(grep -c '^1 file wiped, 11.72 KB overwritten, ' "$tmp/out")" -eq 1
check "-z: the record says so" python3 - "$tmp/zero.json" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
assert report["passes"] == 4 and report["zero_pass"] is True and report["verified"] is True, report
assert report["files"][0]["bytes_overwritten"] == 12000, report["files"]
PY
fresh; head -c 100 /dev/urandom >"$tmp/w/r"
run -n -z r
check "-z, dry run: the zero pass counted in what would be written" grep -qxF 'Would wipe (100 bytes, 200 written): r' "$tmp/out"

# -f: a read-only file of the user's own is made writable and wiped; without
# it, and for a file of another user, it is refused. Root writes any file, so
# as root this runs as nobody.
as_user=()
user_wipe=$wipe
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env XDG_RUNTIME_DIR="$tmp/nobody-runtime"
             XDG_STATE_HOME="$tmp/nobody-state" HOME="$tmp/nobody-home")
    chmod 755 "$tmp"
    mkdir -m 700 "$tmp/nobody-runtime" "$tmp/nobody-state" "$tmp/nobody-home"
    # The build may lie in a folder nobody cannot enter (root's home).
    install -m 755 "$wipe" "$tmp/vorlix-wipe"
    user_wipe=$tmp/vorlix-wipe
fi
fresh; echo locked >"$tmp/w/ro"; echo theirs >"$tmp/w/other"; chmod 444 "$tmp/w/ro"
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$tmp/w" "$tmp/nobody-runtime" "$tmp/nobody-state" "$tmp/nobody-home"
    chown 0:0 "$tmp/w/other"; chmod 644 "$tmp/w/other"
fi
runas() { (cd "$tmp/w" && "${as_user[@]}" "$user_wipe" "$@" >"$tmp/out" 2>"$tmp/err"); status=$?; }
runas ro
check "a read-only file without -f: refused, kept" test $status -eq 1 -a "$(cat "$tmp/w/ro" 2>/dev/null)" = locked \
    -a "$(cat "$tmp/err")" = 'Not wiped (permission denied or read-only: Permission denied): ro'
runas -n -f ro
check "-f, dry run: would wipe, the mode unchanged" \
    test $status -eq 0 -a "$(stat -c %a "$tmp/w/ro")" = 444 -a -n "$(grep -xF 'Would wipe (7 bytes, 7 written): ro' "$tmp/out")"
if [ "$(id -u)" -eq 0 ]; then
    runas -f other
    check "-f on another user's file: refused, kept as it was" \
        test $status -eq 1 -a "$(cat "$tmp/w/other")" = theirs -a "$(stat -c %a "$tmp/w/other")" = 644
fi
runas -f ro
check "-f: the read-only file wiped" test $status -eq 0 -a ! -e "$tmp/w/ro"

# The manual pages render without a warning, and no font-alternating macro
# runs words together (".IR x ). The next" prints "x).Thenext").
pages=$(dirname "$0")/../../dist
for page in "$pages/vorlix.1" "$pages/vorlix-wipe.1"; do
    check "$(basename "$page") renders without a warning" \
        test -z "$(groff -man -Tutf8 -ww -z "$page" 2>&1)"
    check "$(basename "$page"): no font-alternating macro glues two words" python3 - "$page" <<'PY'
import re, shlex, sys
for number, line in enumerate(open(sys.argv[1]), 1):
    if re.match(r"\.(BR|RB|IR|RI|BI|IB) ", line):
        words = shlex.split(line.replace("\\", "\\\\"))[1:]
        for left, right in zip(words, words[1:]):
            assert not (left[-1].isalnum() and right[0].isalnum()), (number, line)
PY
done

# vorlix-privileged takes exactly its job's arguments and refuses anything
# else before it does anything: status 2, one line on stderr, nothing on stdout.
privileged=$(cd "$2" && pwd)/libexec/vorlix/vorlix-privileged
fresh; mkdir "$tmp/w/folder"; echo keep >"$tmp/w/file"; ln -s folder "$tmp/w/link"
refuses() {
    local what=$1; shift
    (cd "$tmp/w" && "$privileged" "$@" >"$tmp/out" 2>"$tmp/err")
    check "vorlix-privileged refuses $what: status 2, one line, no output" \
        test $? -eq 2 -a ! -s "$tmp/out" -a "$(wc -l <"$tmp/err")" -eq 1
}
before=$(sums)
refuses "no job"
refuses "an unknown job" wipe-drive "$tmp/w/folder" random
refuses "too few arguments" free-space "$tmp/w/folder"
refuses "too many arguments" free-space "$tmp/w/folder" random random
refuses "an unknown method" free-space "$tmp/w/folder" gutmann
refuses "a relative folder" free-space folder random
refuses "a link to a folder" free-space "$tmp/w/link" random
refuses "a file" free-space "$tmp/w/file" random
refuses "a missing folder" free-space "$tmp/w/missing" random
PKEXEC_UID=1x refuses "a PKEXEC_UID that is no number" free-space "$tmp/w/folder" random
refuses "clear-journal without its mount point" clear-journal
refuses "clear-journal with an argument more" clear-journal / /
refuses "clear-journal of a folder that is no mount point" clear-journal "$tmp/w/folder"
refuses "clear-journal through a link" clear-journal "$tmp/w/link"
check "the refusals left no trace" test "$(sums)" = "$before" -a ! -e "$tmp/w/folder/.vorlix-free-space"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
