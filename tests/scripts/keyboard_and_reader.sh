#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window as a screen reader and a keyboard-only user meet it, under Xvfb
# with the accessibility bus on a session bus of its own: the accessible tree
# read through AT-SPI (every control's name and role, the queue as a table,
# the gauge's value during a run, the status bar), and a whole wipe driven by
# keys alone: Tab order, mnemonics, Delete in the list, a file added through
# the file chooser, the algorithm changed, Return on the end box, Escape on a box.
# Usage: keyboard_and_reader.sh <vorlix binary> <build folder>
set -uo pipefail
vorlix=$1
source "$(dirname "$0")/accessible-session" 240 -- "$@"
export LC_ALL=C.UTF-8

# Reads the window through AT-SPI, as a screen reader does.
#   controls: "role|name" of every object outside the table
#   focus:    "role|name" of the focused object
#   table:    the table's size, its headings and its first row
#   box:      "role|name" of the open message box and of its every button
#   watch S:  every distinct gauge value and status text, for S seconds at
#             most, or until the gauge is back to 0 after a run
reader() {
    $py - "$@" <<'PY'
import sys, time, pyatspi
def app():
    for attempt in range(40):
        for found in pyatspi.Registry.getDesktop(0):
            if found is not None and found.name == "vorlix":
                return found
        time.sleep(0.25)
    sys.exit("no vorlix on the accessibility bus")
def walk(node):
    for child in node:
        if child is None:
            continue
        yield child
        if child.getRole() != pyatspi.ROLE_TABLE:
            yield from walk(child)
def line(node):
    return "%s|%s" % (node.getRoleName(), node.name)
def first(role):
    return next(node for node in walk(window) if node.getRole() == role)
window = app()[0]
what = sys.argv[1]
if what == "box":
    box = next(frame for frame in app() if frame is not None and frame.getRole() == pyatspi.ROLE_ALERT)
    print(line(box))
    for node in walk(box):
        if node.getRole() == pyatspi.ROLE_PUSH_BUTTON:
            print(line(node))
elif what == "controls":
    for node in walk(window):
        print(line(node))
elif what == "focus":
    focused = [node for node in walk(window) if node.getState().contains(pyatspi.STATE_FOCUSED)]
    print(line(focused[0]) if focused else "none")
elif what == "table":
    table = first(pyatspi.ROLE_TABLE).queryTable()
    print("rows %d columns %d" % (table.nRows, table.nColumns))
    print("headers " + "|".join(table.getColumnHeader(c).name for c in range(table.nColumns)))
    if table.nRows:
        cells = [table.getAccessibleAt(0, c) for c in range(table.nColumns)]
        print("row " + "|".join(cell.name for cell in cells))
        print("roles " + "|".join(cell.getRoleName() for cell in cells))
elif what == "watch":
    gauge = first(pyatspi.ROLE_PROGRESS_BAR)
    bar = first(pyatspi.ROLE_STATUS_BAR)
    values, texts, end = [], [], time.time() + float(sys.argv[2])
    while time.time() < end:
        value, text = gauge.queryValue().currentValue, bar.name
        if not values or values[-1] != value:
            values.append(value)
        if not texts or texts[-1] != text:
            texts.append(text)
        if len(values) > 2 and value == 0:
            break  # back to 0 at the end of the run
        time.sleep(0.05)
    print("values " + " ".join("%g" % value for value in values))
    print("\n".join("status " + text for text in texts))
PY
}
status() { reader controls | sed -n 's/^status bar|//p'; }
wait_window() { timeout "${2:-10}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1; }
gone() {  # gone NAME: no visible window of that name within 5 s
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}
keys() { xdotool key --delay 60 "$@"; sleep 0.4; }

# --- The accessible tree ------------------------------------------------------

# A file queued from the command line, to be taken off with Delete; the
# one wiped is added through the file chooser. Large enough for the run to
# show its progress for a few ticks of the window's half-second timer, now
# that three passes over 256 MiB take under a second.
echo "queued by the command line" >"$tmp/extra.txt"
target=$HOME/target.bin
head -c $((1024 * 1024 * 1024)) /dev/zero >"$target"
"$vorlix" "$tmp/extra.txt" >"$tmp/window.out" 2>&1 &
win=$(wait_window '^Vorlix$' 20)
check "the window opens" test -n "$win"
controls=$(reader controls)
has() { grep -qxF "$1" <<<"$controls" || { echo "  missing: $1"; return 1; }; }
for button in "Add file(s)" "Add folder" "Add Trash" "Remove" "About" "Drives..." "Start Wipe!" "Close"; do
    check "the button '$button' reads as a push button by its name" has "push button|$button"
done
check "the queue reads as a table named by its label" has "table|Queue"
check "the gauge reads as a named progress bar" has "progress bar|Wipe progress"
check "the status text reads as a status bar" has "status bar|No. of files in queue: 1"
check "the algorithm reads as a combo box with the chosen name" \
    has "combo box|Overwrite with Random - Fastest (Default) - Suitable for Home/Organization"
check "no control is left unnamed" test -z "$(grep -E '^(push button|table|progress bar|status bar|combo box|icon|label)\|$' <<<"$controls")"
table=$(reader table)
check "the table has the three columns and the queued row" grep -qx "rows 1 columns 3" <<<"$table"
check "the table's column headers" grep -qx "headers File name|Directory|Size" <<<"$table"
check "the queued row's cells" grep -qx "row extra.txt|$tmp|27.00 B" <<<"$table"
check "the row's cells read as table cells" grep -qx "roles table cell|table cell|table cell" <<<"$table"

# --- Keys only ----------------------------------------------------------------

timeout 5 xdotool windowfocus --sync "$win"
sleep 0.5
# The first control has the focus; Tab goes through the controls top to
# bottom, left to right, and around. The combo box's focus is on its text.
order=()
for _ in $(seq 12); do
    order+=("$(reader focus)")
    keys Tab
done
expected=("push button|Add file(s)" "push button|Add folder" "push button|Add Trash" "push button|Remove"
          "table|Queue" "text|" "check box|Read back after wiping"
          "push button|About" "push button|Drives..." "push button|Start Wipe!" "push button|Close"
          "push button|Add file(s)")
tab_order() { [ "${order[*]}" = "${expected[*]}" ] || { printf '  got: %s\n' "${order[@]}"; return 1; }; }
check "Tab goes through every control in layout order and around" tab_order

# Delete in the list takes the selected row off the queue, and only off it.
keys shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab
check "Shift+Tab goes back the same way to the list" test "$(reader focus)" = "table|Queue"
keys space
keys Delete
check "Delete in the list removes the selected row" grep -qx "rows 0 columns 3" <<<"$(reader table)"
check "the list keeps the focus" test "$(reader focus)" = "table|Queue"
check "the removed file is left alone" test -f "$tmp/extra.txt"

# Escape closes a box: the About box, opened by its mnemonic.
keys alt+a
about=$(wait_window '^About Vorlix$')
check "Alt+A opens the About box" test -n "$about"
keys Escape
check "Escape closes it" gone '^About Vorlix$'

# The file chooser, by Alt+F; the path typed into its location field.
timeout 5 xdotool windowfocus --sync "$win"
keys alt+f
chooser=$(wait_window '^Select file')
check "Alt+F opens the file chooser" test -n "$chooser"
keys ctrl+l
# Slowly, and a short path: the chooser's inline completion garbles fast
# typing of a long one.
xdotool type --delay 80 "~/target.bin"
sleep 0.5
keys Return
check "the chooser closes" gone '^Select file'
table=$(reader table)
queued() { grep -qx "row target.bin|$HOME|1.00 GB" <<<"$table" || { echo "$table"; return 1; }; }
check "the chosen file is queued" queued

# The slower algorithm, through the combo box: the run then lasts a few ticks.
timeout 5 xdotool windowfocus --sync "$win"
for _ in $(seq 10); do [ "$(reader focus)" = "text|" ] && break; keys Tab; done
keys Down
controls=$(reader controls)
check "Down in the combo box chooses the other algorithm" \
    has "combo box|US DoD 5220.22-M - Slowest - Highly recommended for TOP SECRET materials"

# Alt+S starts the wipe; a question about where the file lives, if any, is
# declined by Return (its default is No) and then answered with Alt+Y.
# The gauge is watched from the start: the run lasts a few seconds.
keys alt+s
reader watch 10 >"$tmp/watched" &
watcher=$!
question=$(wait_window '^Filesystem warning$' 2)
if [ -n "$question" ]; then
    keys Return
    check "Return on the question takes its default, No" gone '^Filesystem warning$'
    check "declined: nothing was wiped" test -f "$target"
    timeout 5 xdotool windowfocus --sync "$win"
    keys alt+s
    wait_window '^Filesystem warning$' 5 >/dev/null
    keys alt+y
fi
wait $watcher
midway() {
    for value in $(sed -n 's/^values //p' "$tmp/watched"); do
        awk -v v="$value" 'BEGIN { exit !(v > 0 && v < 1) }' && return 0
    done
    sed 's/^/  /' "$tmp/watched"
    return 1
}
check "the gauge's value is read during the run" midway
check "the status bar reads the progress during the run" grep -q '^status Progress: [0-9.]*%$' "$tmp/watched"
box=$(wait_window '^Completed!$' 120)
check "the run ends with the completion box" test -n "$box"
buttons=$(reader box)
check "the end box reads by its title, its buttons by name" \
    test "$(sort <<<"$buttons")" = "$(printf 'alert|Completed!\npush button|OK\npush button|Save report...')"
timeout 5 xdotool windowfocus --sync "$box"
keys Return
check "Return closes the end box" gone '^Completed!$'
check "by its default button, not Save report..." test -z "$(wait_window '^Save report$' 2)"
check "the file is wiped" test ! -e "$target"
check "the status bar reads the run's end" test "$(status)" = Completed
check "the queue is empty again" grep -qx "rows 0 columns 3" <<<"$(reader table)"

# Alt+C closes the window.
timeout 5 xdotool windowfocus --sync "$win"
keys alt+c
check "Alt+C closes the window" gone '^Vorlix$'

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
