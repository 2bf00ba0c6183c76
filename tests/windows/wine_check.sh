#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build checked from two sides: what the file itself carries (PE
# header, icon, manifest, version record), and the real Vorlix.exe run under
# Wine on a private display: single instance hand-off and a wipe run.
# With the Windows test program, its cases run first (the read-only one also
# as an unprivileged user: Wine run as root ignores read-only); with the
# installer, it is installed per user and per machine, run and uninstalled.
# Usage: wine_check.sh <Vorlix.exe> [<vorlix_windows_tests.exe> [<Vorlix-1.0.0-setup.exe>]]
set -uo pipefail
if [ $# -lt 1 ] || [ $# -gt 3 ]; then
    echo "usage: $0 <Vorlix.exe> [<vorlix_windows_tests.exe> [<Vorlix-1.0.0-setup.exe>]]" >&2
    exit 2
fi
for given in "$@"; do
    [ -f "$given" ] || { echo "$0: no file $given" >&2; exit 2; }
done
exe=$(realpath "$1")
tests=""
setup=""
[ $# -ge 2 ] && tests=$(realpath "$2")
[ $# -ge 3 ] && setup=$(realpath "$3")
# Windows' Vorlix hands off over TCP 127.0.0.1:255, which every Wine prefix on
# this machine shares: as root the check gets a loopback of its own, so that
# checks run side by side never hand files to each other's windows.
if [ "$(id -u)" -eq 0 ] && [ -z "${VORLIX_OWN_LOOPBACK:-}" ] && [ -z "${DISPLAY:-}" ] && command -v unshare >/dev/null; then
    export VORLIX_OWN_LOOPBACK=1
    exec unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$exe" ${tests:+"$tests"} ${setup:+"$setup"}
fi
# A display given by the caller must show no other window titled Vorlix, and
# be at least 1100 pixels high for the 192 DPI window.
if [ -z "${DISPLAY:-}" ]; then
    # The outer bound catches a hang that slipped past every inner one.
    exec timeout -k 10 600 xvfb-run -a -s "-screen 0 1600x1400x24" bash "$0" "$exe" ${tests:+"$tests"} ${setup:+"$setup"}
fi
export LC_ALL=C.UTF-8 WINEDEBUG=-all
# No Mono or Gecko install prompt in a fresh prefix; Vorlix needs neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="

tmp=$(mktemp -d /tmp/vorlix-wine.XXXXXX)
export WINEPREFIX=$tmp/prefix
first=""
cleanup() {
    [ -n "$first" ] && kill -9 "$first" 2>/dev/null
    timeout 20 wineserver -k 2>/dev/null
    timeout 20 wineserver -w 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

passes=0
failures=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; return 0; fi
    failures=$((failures + 1)); echo "FAILED: $what"; return 1
}
# Runs "$@" until it succeeds or $1 seconds have passed.
within() {
    local end=$((SECONDS + $1)); shift
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# --- What the file carries ------------------------------------------------

pe_is_gui64() {
    local dump
    dump=$(x86_64-w64-mingw32-objdump -p "$exe") || return 1
    grep -Eq '^Magic[[:space:]]+020b' <<<"$dump" || { echo "  not PE32+"; return 1; }
    grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$dump" || { echo "  not the Windows GUI subsystem"; return 1; }
}

# Release: the terminal-server-aware flag, and no debug sections left.
pe_is_release() {
    local flags sections
    flags=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/^DllCharacteristics/ {print $2}')
    (( 0x$flags & 0x8000 )) || { echo "  DllCharacteristics $flags lacks TERMINAL_SERVER_AWARE"; return 1; }
    sections=$(x86_64-w64-mingw32-objdump -h "$exe" | awk '$2 ~ /^\.debug/ {print $2}')
    [ -z "$sections" ] || { echo "  debug sections: "$sections; return 1; }
}

# Resource records are parsed with the standard library only; wrestool
# pulls them out of the file.
read -r -d '' resources_py <<'PY'
import struct, subprocess, sys, xml.etree.ElementTree as ET

exe, what = sys.argv[1], sys.argv[2]
def res(*args):
    return subprocess.run(["wrestool", "-x", "--raw", *args, exe], check=True, capture_output=True).stdout
def fail(text):
    print("  " + text)
    sys.exit(1)

if what == "icons":
    # Resource names are stored upper-case; LoadIcon matches them without case.
    listing = subprocess.run(["wrestool", "-l", exe], check=True, capture_output=True, text=True).stdout
    groups = [l.split()[1] for l in listing.splitlines() if l.startswith("--type=14 ")]
    if not groups or groups[0] != "--name='VORLIXLOGO'":
        fail("VorlixLogo is not the first icon group (Explorer shows the first): %s" % groups[:3])
    group = res("--type=14", "--name=VORLIXLOGO")
    reserved, kind, count = struct.unpack_from("<HHH", group)
    if (reserved, kind) != (0, 1) or len(group) != 6 + 14 * count:
        fail("icon group header is malformed")
    sizes = []
    for i in range(count):
        w, h, colours, _, planes, bpp, length, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        size = w or 256
        sizes.append(size)
        image = res("--type=3", "--name=%d" % ident)
        if len(image) != length:
            fail("%d px image: %d bytes, the group says %d" % (size, len(image), length))
        if bpp != 32 or (h or 256) != size:
            fail("%d px entry: %dx%d at %d bpp" % (size, w, h, bpp))
        if size == 256:
            if image[:8] != b"\x89PNG\r\n\x1a\n":
                fail("256 px image is not PNG-compressed")
            pw, ph, depth, colour_type = struct.unpack_from(">IIBB", image, 16)
            if (pw, ph, depth, colour_type) != (256, 256, 8, 6):
                fail("256 px PNG is %dx%d, depth %d, colour type %d" % (pw, ph, depth, colour_type))
        else:
            header, bw, bh, _, bbpp = struct.unpack_from("<IiiHH", image)
            # An icon bitmap is twice as high: the colour part, then the mask.
            if (header, bw, bh, bbpp) != (40, size, 2 * size, 32):
                fail("%d px bitmap header says %dx%d at %d bpp" % (size, bw, bh, bbpp))
    if sizes != [16, 32, 48, 96, 128, 256]:
        fail("icon sizes are %s" % sizes)

elif what == "manifest":
    # Only the manifest with ID 1 is read by the loader of a process.
    root = ET.fromstring(res("--type=24", "--name=1"))
    ns = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
          "ws": "http://schemas.microsoft.com/SMI/2005/WindowsSettings"}
    controls = [a for a in root.findall(".//v1:dependentAssembly/v1:assemblyIdentity", ns)
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    if not controls or controls[0].get("version") != "6.0.0.0":
        fail("no dependency on common controls 6.0.0.0")
    levels = [e.get("level") for e in root.iter("{%s}requestedExecutionLevel" % ns["v3"])]
    if levels != ["asInvoker"]:
        fail("execution level is %s" % levels)
    dpi = [(e.text or "").strip().lower() for e in root.iter("{%s}dpiAware" % ns["ws"])]
    if dpi != ["true"]:
        fail("dpiAware is %s" % dpi)
    ws16 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
    long_paths = [(e.text or "").strip().lower() for e in root.iter("{%s}longPathAware" % ws16)]
    if long_paths != ["true"]:
        fail("longPathAware is %s" % long_paths)
    windows10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
    supported = [e.get("Id") for e in root.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")]
    if windows10 not in supported:
        fail("supportedOS lacks Windows 10/11: %s" % supported)

elif what == "version":
    data = res("--type=16", "--name=1")
    def node(offset):
        # wLength, wValueLength, wType, a UTF-16 key, then value and children
        # each aligned to 32 bits.
        length, value_length, kind = struct.unpack_from("<HHH", data, offset)
        end = offset + 6
        while data[end:end + 2] != b"\0\0":
            end += 2
        key = data[offset + 6:end].decode("utf-16-le")
        value = (end + 2 + 3) & ~3
        size = value_length * 2 if kind == 1 else value_length
        children, child = [], (value + size + 3) & ~3
        while child < offset + length:
            children.append(node(child))
            child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
        return key, data[value:value + size], kind, children
    key, fixed, _, children = node(0)
    if key != "VS_VERSION_INFO" or len(fixed) != 52:
        fail("no VS_VERSION_INFO record")
    signature, _, ms, ls, pms, pls = struct.unpack_from("<IIIIII", fixed)
    if signature != 0xFEEF04BD or (ms, ls, pms, pls) != (0x10000, 0, 0x10000, 0):
        fail("fixed file info is not version 1.0.0.0")
    strings = {}
    for info_key, _, _, tables in children:
        if info_key == "StringFileInfo":
            for _, _, _, entries in tables:
                for name, value, kind, _ in entries:
                    strings[name] = value.decode("utf-16-le").rstrip("\0") if kind == 1 else None
    want = {"FileDescription": None, "InternalName": None, "ProductName": "Vorlix",
            "OriginalFilename": "Vorlix.exe", "FileVersion": "1.0.0", "ProductVersion": "1.0.0"}
    for name, expected in want.items():
        got = strings.get(name)
        if not got or (expected is not None and got != expected):
            fail("%s is %r, want %r" % (name, got, expected or "not empty"))
PY
resource() { python3 -c "$resources_py" "$exe" "$1"; }

check "PE32+ executable for the Windows GUI subsystem" pe_is_gui64
check "icon group VorlixLogo: 16, 32, 48, 96, 128, 256 px at 32 bpp, 256 px as PNG" resource icons
check "release: terminal-server aware, no debug sections" pe_is_release
check "manifest: common controls 6.0.0.0, asInvoker, dpiAware, longPathAware, Windows 10/11" resource manifest
check "version record: names, Vorlix.exe, 1.0.0" resource version

# --- The program under Wine -----------------------------------------------

files=$tmp/files
mkdir -p "$files"
head -c 3000 /dev/urandom >"$files/queued.bin"
head -c 5000 /dev/urandom >"$files/handed.bin"
head -c 7000 /dev/urandom >"$files/bystander.bin"
bystander_sum=$(sha256sum <"$files/bystander.bin")
queued=$(winpath "$files/queued.bin")
handed=$(winpath "$files/handed.bin")

report_logs() {
    echo "  --- first instance stdout:"; tr -d '\r' <"$tmp/out1" | tail -n 20 | sed 's/^/  /'
    echo "  --- first instance stderr:"; tail -n 20 "$tmp/err1" | sed 's/^/  /'
}
finish() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ] && exit 0
    exit 1
}

# Another Vorlix on the hand-off port would take this run's hand-off.
if timeout 3 bash -c 'exec 3<>/dev/tcp/127.0.0.1/255' 2>/dev/null; then
    check "TCP 127.0.0.1:255 is free for this run" false
    finish
fi

prefix_ready() {
    timeout 180 wine wineboot -i >"$tmp/wineboot.log" 2>&1
    timeout 60 wineserver -w
    [ -d "$WINEPREFIX/drive_c/windows" ] || { tail -n 20 "$tmp/wineboot.log"; return 1; }
}
check "fresh Wine prefix" prefix_ready || finish

# --- The Windows test program ----------------------------------------------

if [ -n "$tests" ]; then
    windows_tests() {
        (cd "$tmp" && timeout 300 wine "$tests" --gtest_brief=1) >"$tmp/tests.log" 2>&1 && return 0
        tr -d '\r' <"$tmp/tests.log" | grep -v '^\(Total file size\|\[PseudoRandom\]\)' | tail -n 40 | sed 's/^/  /'
        return 1
    }
    check "the Windows test program passes under Wine" windows_tests
    # Read-only holds only for an ordinary user: a prefix of its own for one.
    if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1; then
        as_user() {
            local home=$tmp/nobody
            mkdir -p "$home" && cp "$tests" "$home/tests.exe" && chown -R nobody "$home" && chmod 755 "$tmp" || return 1
            (cd "$home" && timeout 300 runuser -u nobody -- env HOME="$home" WINEPREFIX="$home/prefix" \
                WINEDEBUG=-all WINEDLLOVERRIDES="$WINEDLLOVERRIDES" wine "$home/tests.exe" \
                --gtest_filter='WindowsWipe.ReadOnly*' --gtest_brief=1) >"$tmp/user-tests.log" 2>&1
            local status=$?
            runuser -u nobody -- env WINEPREFIX="$home/prefix" timeout 20 wineserver -k 2>/dev/null
            grep -q 'SKIPPED' "$tmp/user-tests.log" && { echo "  skipped as an ordinary user too"; status=1; }
            [ $status -eq 0 ] || tr -d '\r' <"$tmp/user-tests.log" | tail -n 20 | sed 's/^/  /'
            return $status
        }
        check "read-only files, as an ordinary user's Wine: refused, wiped once clearing is allowed" as_user
    fi
fi

: >"$tmp/out1"; : >"$tmp/err1"
(cd "$tmp" && exec wine "$exe" "$queued") >"$tmp/out1" 2>"$tmp/err1" &
first=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vorlix$' 2>/dev/null | head -n 1)
check "the window titled Vorlix appears" test -n "$window"
[ -n "$window" ] || { report_logs; finish; }

vorlix_windows() { xdotool search --onlyvisible --name '^Vorlix$' 2>/dev/null | wc -l; }

# A second start with a path hands it over and ends without a window, successfully.
second_out=$(timeout 60 wine "$exe" "$handed" 2>"$tmp/err2")
second_status=$?
second_out=${second_out%$'\r'}  # the line ends as Windows text
expected="Param sent to main instance $handed"
hand_off_printed() {
    [ "$second_out" = "$expected" ] || { printf '  stdout: %q\n  wanted: %q\n' "$second_out" "$expected"; return 1; }
}
check "second instance prints exactly 'Param sent to main instance <path>'" hand_off_printed
check "second instance exits with status 0 once its path is sent (got $second_status)" \
    test "$second_status" -eq 0
check "still one Vorlix window" test "$(vorlix_windows)" -eq 1

# 50 senders that write their path and close at once, all together: each is
# queued (the run reports each as not found, being missing). Like a later
# instance, a sender whose connection the full backlog refuses tries again.
missing=$(winpath "$files")
close_at_once() {
    local try
    for try in $(seq 1 200); do
        if exec 3<>/dev/tcp/127.0.0.1/255; then
            printf '%s\\missing-%02d.bin' "$missing" "$1" >&3
            exec 3>&-
            return 0
        fi
        sleep 0.05
    done
    return 1
}
for i in $(seq 1 50); do close_at_once "$i" 2>/dev/null & done
wait_senders() { for job in $(jobs -p); do [ "$job" = "$first" ] || wait "$job"; done; }
wait_senders
# The listener takes the paths at once; give its event time to reach the queue.
sleep 2

eval "$(xdotool getwindowgeometry --shell "$window")"
# Bottom row, right-aligned: Start Wipe! then Close, the same distances from
# the window's lower right corner at any window size.
click_at() {
    timeout 10 xdotool mousemove --window "$window" $((WIDTH - $1)) $((HEIGHT - $2)) click 1
}
run_started() { grep -q 'Total file size to be wiped' "$tmp/out1"; }
started=false
for attempt in 1 2 3; do
    click_at 133 38
    # A click that came too early is lost; the disabled controls make a
    # repeated one harmless.
    if within 10 run_started; then started=true; break; fi
done
check "Start Wipe! starts a run" $started

box=$(timeout 60 xdotool search --sync --onlyvisible --name '^Completed!$' 2>/dev/null | head -n 1)
check "the run ends with the Completed! box" test -n "$box"
if [ -n "$box" ]; then
    box_gone() { ! xdotool search --onlyvisible --name '^Completed!$' >/dev/null 2>&1; }
    for attempt in 1 2 3; do
        timeout 10 xdotool windowfocus --sync "$box" 2>/dev/null
        timeout 10 xdotool key Return
        within 5 box_gone && break
    done
    check "Return closes the Completed! box" box_gone
fi

absent() { [ ! -e "$1" ]; }
check "the file queued on the command line is gone" absent "$files/queued.bin"
check "the handed-over file is gone" absent "$files/handed.bin"
check "the file beside them that was not queued is intact" \
    test "$(sha256sum <"$files/bystander.bin" 2>/dev/null)" = "$bystander_sum"
# Both files in one total: the hand-off reached the queue before the run.
check "stdout: 'Total file size to be wiped: 8000 bytes'" \
    grep -q 'Total file size to be wiped: 8000 bytes' "$tmp/out1"
check "stdout: the completion line" grep -qF '[PseudoRandom] Secure file deletion completed.' "$tmp/out1"
arrived=$(grep -c 'Not wiped (not found): .*missing-[0-9][0-9].bin' "$tmp/err1")
check "all 50 senders that closed at once were queued (got $arrived)" test "$arrived" -eq 50

first_running() { kill -0 "$first" 2>/dev/null; }
click_at 43 38
if ! within 15 eval '! first_running'; then
    echo "  note: the Close click did not end the program; closing with alt+F4"
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
    timeout 10 xdotool key alt+F4
    within 15 eval '! first_running'
fi
if first_running; then
    check "closing the window ends the program" false
    { kill -9 "$first"; wait "$first"; } 2>/dev/null
else
    wait "$first"
    first_status=$?
    check "closing the window ends the program with status 0 (got $first_status)" test "$first_status" -eq 0
fi
first=""
[ "$failures" -eq 0 ] || report_logs

# --- At 192 DPI -----------------------------------------------------------

# Twice the pixels for every size: the whole window, all rows of the queue.
# VORLIX_DPI_SHOT=<file.png> keeps a picture of it.
timeout 30 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
timeout 30 wineserver -w
listed=()
for i in 1 2 3 4 5 6; do
    head -c $((i * 1000)) /dev/urandom >"$files/report-$i.txt"
    listed+=("$(winpath "$files/report-$i.txt")")
done
(cd "$tmp" && exec wine "$exe" "${listed[@]}") >"$tmp/out1" 2>"$tmp/err1" &
first=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vorlix$' 2>/dev/null | head -n 1)
if [ -n "$window" ]; then
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$window")"
    check "at 192 DPI the window is twice as large (got ${WIDTH}x${HEIGHT})" test "$WIDTH" -ge 1000 -a "$HEIGHT" -ge 1000
    [ -n "${VORLIX_DPI_SHOT:-}" ] && import -window root -crop "$((WIDTH + 20))x$((HEIGHT + 40))+$((X - 10))+$((Y - 30))" \
        "$VORLIX_DPI_SHOT" 2>/dev/null
else
    check "at 192 DPI the window appears" false
fi
{ kill -9 "$first"; wait "$first"; } 2>/dev/null
timeout 20 wineserver -k 2>/dev/null
first=""

# --- vorlix-wipe.exe --------------------------------------------------------

cli=$(dirname "$exe")/vorlix-wipe.exe
if [ -f "$cli" ]; then
    # Read whole first: grep -q ending early would fail the pipe (pipefail).
    cli_is_console64() {
        local dump
        dump=$(x86_64-w64-mingw32-objdump -p "$cli") && grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$dump"
    }
    check "vorlix-wipe.exe is a program for the console subsystem" cli_is_console64
    # Runs vorlix-wipe.exe in $files; its status, stdout and stderr are kept.
    cli_run() {
        (cd "$files" && timeout 60 wine "$cli" "$@") >"$tmp/cli.out" 2>"$tmp/cli.err"
        cli_status=$?
        tr -d '\r' <"$tmp/cli.out" >"$tmp/cli.out.txt"
        tr -d '\r' <"$tmp/cli.err" >"$tmp/cli.err.txt"
    }
    head -c 4000 /dev/urandom >"$files/cli.bin"
    cli_run --report "$(winpath "$files/cli.json")" "$(winpath "$files/cli.bin")" "$(winpath "$files/absent.bin")"
    check "vorlix-wipe.exe: one file wiped, one not found: status 1" test "$cli_status" -eq 1 -a ! -e "$files/cli.bin"
    check "vorlix-wipe.exe: the missing file named with its reason" grep -q '^Not wiped (not found): ' "$tmp/cli.err.txt"
    check "vorlix-wipe.exe: the report parses and counts both" python3 -c '
import json, sys
totals = json.load(open(sys.argv[1]))["totals"]
assert totals["wiped"] == 1 and totals["not_wiped"] == 1, totals' "$files/cli.json"
    cli_run --dry-run "$(winpath "$files/bystander.bin")"
    check "vorlix-wipe.exe --dry-run: status 0, nothing touched" \
        test "$cli_status" -eq 0 -a "$(sha256sum <"$files/bystander.bin")" = "$bystander_sum"
    cli_run --frobnicate
    check "vorlix-wipe.exe: a usage error is status 2" test "$cli_status" -eq 2
fi

# --- The installer ----------------------------------------------------------

# Everything the installer may leave behind: files named after the program
# (the test program's own temporary folders aside) and its registry keys.
leftovers() {
    find "$WINEPREFIX/drive_c" -iname '*vorlix*' ! -name 'vorlix-test-*' 2>/dev/null
    local root
    for root in HKCU HKLM; do
        timeout 30 wine reg query "$root\\Software\\Vorlix" >/dev/null 2>&1 && echo "$root\\Software\\Vorlix"
        timeout 30 wine reg query "$root\\$uninstall_key" >/dev/null 2>&1 && echo "$root\\$uninstall_key"
        for key in "${verb_keys[@]}"; do
            timeout 30 wine reg query "$root\\$key" >/dev/null 2>&1 && echo "$root\\$key"
        done
    done
}
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlix'
verb_keys=('Software\Classes\*\shell\VorlixWipe' 'Software\Classes\Directory\shell\VorlixWipe')
# The value of a registry entry, or nothing.
registry_value() {
    timeout 30 wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z]* *//p"
}
# A key's default value, or nothing.
registry_default() {
    timeout 30 wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *([^)]*) *REG_[A-Z]* *//p'
}
# The Explorer verb on files and on folders: Player (no 15-item limit) and a
# command that, started once per selected item as Explorer starts it, queues
# 20 selected files and a selected folder's files in the running window.
verb_round() {
    local root=$1 location=$2 key command
    for key in "${verb_keys[@]}"; do
        [ "$(registry_value "$root\\$key" MultiSelectModel)" = Player ] || { echo "  $root\\$key: no Player model"; return 1; }
        command=$(registry_default "$root\\$key\\command")
        [ "$command" = "\"$location\\Vorlix.exe\" --walk \"%1\"" ] || { echo "  $root\\$key: command is $command"; return 1; }
    done
    rm -rf "$files/selection" && mkdir -p "$files/selection/picked folder"
    local selection=() total=0 i size
    for i in $(seq 1 20); do
        size=$((1000 + i))
        head -c $size /dev/urandom >"$files/selection/file $i.bin"
        selection+=("$files/selection/file $i.bin")
        total=$((total + size))
    done
    head -c 3000 /dev/urandom >"$files/selection/picked folder/a.bin"
    head -c 4000 /dev/urandom >"$files/selection/picked folder/b.bin"
    total=$((total + 7000))
    # The registry's command with %1 filled in, split as Windows splits it.
    expand() { python3 -c 'import shlex, sys; print("\0".join(shlex.split(sys.argv[1].replace("%1", sys.argv[2]))), end="")' "$1" "$2"; }
    (cd "$tmp" && exec wine "$location\\Vorlix.exe") >"$tmp/out1" 2>"$tmp/err1" &
    first=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vorlix$' 2>/dev/null | head -n 1)
    [ -n "$window" ] || { echo "  the installed Vorlix.exe showed no window"; return 1; }
    local pids=() item argv
    for item in "${selection[@]}" "$files/selection/picked folder"; do
        key=${verb_keys[0]}
        [ -d "$item" ] && key=${verb_keys[1]}
        mapfile -d '' argv < <(expand "$(registry_default "$root\\$key\\command")" "$(winpath "$item")")
        (cd "$tmp" && timeout 60 wine "${argv[@]}" >/dev/null 2>&1) &
        pids+=($!)
    done
    local failed=0
    for item in "${pids[@]}"; do wait "$item" || failed=$((failed + 1)); done
    [ $failed -eq 0 ] || echo "  $failed of ${#pids[@]} verb starts failed"
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$window")"
    local started=false attempt
    for attempt in 1 2 3; do
        click_at 133 38
        if within 10 run_started; then started=true; break; fi
    done
    local box
    box=$($started && timeout 60 xdotool search --sync --onlyvisible --name '^Completed!$' 2>/dev/null | head -n 1)
    { kill -9 "$first"; wait "$first"; } 2>/dev/null
    timeout 20 wineserver -k 2>/dev/null
    first=""
    [ -n "$box" ] || { echo "  the run over the verb's files did not complete"; report_logs; return 1; }
    grep -q "Total file size to be wiped: $total bytes" "$tmp/out1" \
        || { echo "  wanted a total of $total bytes:"; grep 'Total file size' "$tmp/out1" | sed 's/^/    /'
             echo "  left in the files folder:"; ls -lR "$files" | sed 's/^/    /'; return 1; }
    for item in "${selection[@]}" "$files/selection/picked folder/a.bin" "$files/selection/picked folder/b.bin"; do
        [ ! -e "$item" ] || { echo "  not wiped: $item"; return 1; }
    done
    echo "  verb: 20 files and a folder's 2 files queued and wiped ($total bytes)"
}
install_round() {
    local mode=$1 root=$2
    timeout 120 wine "$setup" /S "/$mode" >/dev/null 2>&1 || { echo "  setup /S /$mode failed"; return 1; }
    timeout 30 wineserver -w
    local start_menu send_to location quiet
    start_menu=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Vorlix.lnk' | head -n 1)
    send_to=$(find "$WINEPREFIX/drive_c" -path '*/SendTo/Vorlix.lnk' | head -n 1)
    [ -n "$start_menu" ] || { echo "  no Start Menu shortcut"; return 1; }
    [ -n "$send_to" ] || { echo "  no Send To shortcut"; return 1; }
    location=$(registry_value "$root\\$uninstall_key" InstallLocation)
    quiet=$(registry_value "$root\\$uninstall_key" QuietUninstallString)
    [ -n "$location" ] && [ -n "$quiet" ] || { echo "  no uninstall entry in $root"; return 1; }
    echo "  $mode: $location, $(basename "$(dirname "$start_menu")")/Vorlix.lnk, SendTo/Vorlix.lnk"
    timeout 60 wine "$location\\vorlix-wipe.exe" --version 2>/dev/null | grep -q '^vorlix-wipe 1\.0\.0' \
        || { echo "  no working vorlix-wipe.exe installed beside Vorlix.exe"; return 1; }

    # The installed program starts with a file, as Send To starts it.
    local sent=$files/sent.bin installed
    head -c 2000 /dev/urandom >"$sent"
    installed="$location\\Vorlix.exe"
    (cd "$tmp" && exec wine "$installed" "$(winpath "$sent")") >"$tmp/out1" 2>"$tmp/err1" &
    first=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vorlix$' 2>/dev/null | head -n 1)
    { kill -9 "$first"; wait "$first"; } 2>/dev/null
    timeout 20 wineserver -k 2>/dev/null
    first=""
    [ -n "$window" ] || { echo "  the installed Vorlix.exe showed no window"; return 1; }
    [ -f "$sent" ] || { echo "  starting it wiped a file"; return 1; }

    verb_round "$root" "$location" || return 1
    # The window was killed after its run: the next start of any of the
    # programs (here a dry run) finishes what it noted.
    timeout 60 wine "$location\\vorlix-wipe.exe" -n "$(winpath "$sent")" >/dev/null 2>&1

    # The uninstaller copies itself away and works from there: wait for it.
    eval "timeout 120 wine $(sed 's/\\/\\\\/g' <<<"$quiet")" >/dev/null 2>&1
    within 60 eval '[ -z "$(leftovers)" ]' || { echo "  left behind:"; leftovers | sed 's/^/    /'; return 1; }
}
if [ -n "$setup" ]; then
    timeout 30 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
    check "nothing of Vorlix in the prefix before installing" eval '[ -z "$(leftovers)" ]'
    check "installed per user: shortcuts, uninstall entry, runs, uninstalls leaving nothing" \
        install_round CurrentUser HKCU
    check "installed per machine: shortcuts, uninstall entry, runs, uninstalls leaving nothing" \
        install_round AllUsers HKLM
fi
finish
