#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What Orca, the desktop's screen reader, says of the window, read from the
# SPEECH OUTPUT lines of its debug log (speech itself goes to
# speech-dispatcher's dummy module): Tab into the queue says the focused row
# with its column headings, the algorithm is said once by name and once by
# value, the new count after a removal is said where the focus is, and a run
# says its progress by tenths, its end, and the end box by its title and text.
# Usage: orca_speech.sh <vorlix binary> <build folder>
set -uo pipefail
vorlix=$1
source "$(dirname "$0")/accessible-session" 170 orca speech-dispatcher -- "$@"
export LC_ALL=C.UTF-8 GSETTINGS_BACKEND=memory
export XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache

# --- Speech -------------------------------------------------------------------

# speech-dispatcher on a socket of this session's own, speaking to nothing.
mkdir -p "$tmp/speechd" "$XDG_RUNTIME_DIR/speech-dispatcher"
cat >"$tmp/speechd/speechd.conf" <<EOF
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
LogDir "$tmp/speechd"
EOF
speech-dispatcher -s -t 0 -C "$tmp/speechd" -c unix_socket \
    -S "$XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock" -P "$tmp/speechd/pid" >/dev/null 2>&1 &

# Orca with settings of its own: speech on, no braille, no tutorial hints.
prefs=$HOME/orca
mkdir -p "$prefs"
cat >"$prefs/user-settings.conf" <<'EOF'
{"general": {"enableSpeech": true, "speechServerFactory": "speechdispatcherfactory",
             "enableBraille": false, "enableTutorialMessages": false, "enableMouseReview": false,
             "profile": ["Default", "default"], "activeProfile": ["Default", "default"],
             "startingProfile": ["Default", "default"]},
 "profiles": {"default": {"profile": ["Default", "default"]}},
 "pronunciations": {}, "keybindings": {}}
EOF
log=$tmp/orca.log
# Orca's launcher, run with two changes: its debug file is line-buffered (a
# block-buffered one holds the last lines back until the next event), and it
# does not refuse to start beside another user's Orca on another bus.
cat >"$tmp/orca-launcher.py" <<'PY'
import builtins, sys
path = "/usr/bin/orca"
launcher = {"__name__": "orca_launcher", "__file__": path}
exec(compile(open(path).read(), path, "exec"), launcher)
def line_buffered(file, mode="r", *args, **kwargs):
    if mode == "w":
        return builtins.open(file, mode, buffering=1)
    return builtins.open(file, mode, *args, **kwargs)
launcher["open"] = line_buffered
launcher["otherOrcas"] = lambda: []
sys.argv = ["orca"] + sys.argv[1:]
sys.exit(launcher["main"]())
PY
$py "$tmp/orca-launcher.py" -u "$prefs" --debug-file "$log" >"$tmp/orca.out" 2>&1 &

mark() { local n; n=$(grep -c "SPEECH OUTPUT: '" "$log" 2>/dev/null); echo "${n:-0}"; }
# What Orca said after the MARKth utterance, one utterance a line.
said_since() { grep "SPEECH OUTPUT: '" "$log" | tail -n +"$(($1 + 1))" | sed "s/^.*SPEECH OUTPUT: '//; s/' *{.*\$//"; }
# hear MARK PATTERN [SECONDS]: an utterance after MARK matches PATTERN (ERE).
hear() {
    local deadline=$((SECONDS + ${3:-10}))
    while [ $SECONDS -lt $deadline ]; do
        said_since "$1" | grep -qE -- "$2" && return 0
        sleep 0.2
    done
    echo "  not heard: $2"
    said_since "$1" | tail -15 | sed 's/^/  heard: /'
    return 1
}
# Waits until Orca has said nothing new for a second (10 s at most).
settle() {
    local last now
    last=$(mark)
    for _ in $(seq 10); do
        sleep 1
        now=$(mark)
        [ "$now" = "$last" ] && return 0
        last=$now
    done
}
wait_window() { timeout "${2:-10}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1; }
keys() { xdotool key --delay 80 "$@"; }

check "Orca starts and speaks" hear 0 "Screen reader on" 30

# --- The window ---------------------------------------------------------------

# A photo to take off the queue again, and a file large enough for the run
# to show several tenths of its progress at the window's half-second ticks
# (the slower algorithm makes four passes over it).
head -c 1536000 /dev/urandom >"$tmp/photo.jpg"
big=$tmp/big.bin
head -c $((1024 * 1024 * 1024)) /dev/zero >"$big"
start=$(mark)
"$vorlix" "$tmp/photo.jpg" "$big" >"$tmp/window.out" 2>&1 &
win=$(wait_window '^Vorlix$' 20)
check "the window opens" test -n "$win"
timeout 5 xdotool windowfocus --sync "$win"
check "Orca follows the focus into the window" hear "$start" "Add file\(s\)" 15
settle

# Tab from the last header button into the queue: the row, every cell with its heading.
keys Tab Tab Tab
check "Tab reaches the Remove button" hear "$start" "^Remove" 5
settle
before=$(mark)
keys Tab
check "Tab into the queue says the focused row with its column headings" \
    hear "$before" "File name: photo\.jpg, Directory: $tmp, Size: 1\.46 MB"

# The algorithm: its name once, its value once.
settle
before=$(mark)
keys Tab
check "the algorithm is said by its name" hear "$before" "Algorithm"
settle
count() { said_since "$before" | grep -o -- "$1" | wc -l; }
once() { [ "$(count "$1")" -eq 1 ] || { said_since "$before" | sed 's/^/  heard: /'; return 1; }; }
check "the algorithm's name is said once" once "Algorithm"
check "the algorithm's value is said once" once "Overwrite with Random"
# The slower algorithm: more ticks for the run.
keys Down
settle

# Back to the list; Delete takes the photo off, and the new count is said
# while the focus stays in the list.
keys Tab
check "Tab reaches the read-back box, said by its label" hear "$before" "Read back after wiping check box"
keys shift+Tab shift+Tab
check "Shift+Tab goes back to the queue" hear "$before" "File name: "
settle
before=$(mark)
keys space Delete
check "the new count is said after the removal" hear "$before" "No\. of files in queue: 1"
check "the photo is left alone" test -f "$tmp/photo.jpg"

# The run: its progress by tenths as the status line shows it, its end, and
# the end box by its title and its text.
settle
before=$(mark)
keys alt+s
if [ -n "$(wait_window '^Filesystem warning$' 3)" ]; then
    keys alt+y
fi
box=$(wait_window '^Completed!$' 120)
check "the run ends with the completion box" test -n "$box"
# Xvfb has no window manager to hand the box the focus.
timeout 5 xdotool windowfocus --sync "$box"
check "the end box is said by its title" hear "$before" "Completed!" 10
check "the end box's text is said" hear "$before" "Wiping process completed" 10
check "the run's end is said from the status line" hear "$before" "^Completed\.?$" 10
tenths() { said_since "$before" | sed -n 's/^Progress: \([0-9]*\)\(\.[0-9]*\)\{0,1\}%.*$/\1/p' | awk '{ print int($1 / 10) }'; }
some_progress() { [ -n "$(tenths)" ] || { said_since "$before" | sed 's/^/  heard: /'; return 1; }; }
check "the run's progress is said" some_progress
by_tenths() { [ "$(tenths | sort | uniq -d)" = "" ] || { tenths | sed 's/^/  tenth: /'; return 1; }; }
check "the progress is said once a tenth, not at every tick" by_tenths
check "the file is wiped" test ! -e "$big"
keys Return
timeout 5 xdotool windowfocus --sync "$win" 2>/dev/null
keys alt+c

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
