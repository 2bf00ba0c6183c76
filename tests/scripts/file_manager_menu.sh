#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed "Wipe with Vorlix" entries as their consumers read them, and
# one real file manager (Nemo) under Xvfb: its context menu for a selection
# shows the entry, and choosing it hands exactly the selected files, and the
# files inside the selected folder, to the running window.
# Usage: file_manager_menu.sh <vorlix binary> <build folder>
set -uo pipefail
build=$2
source "$(dirname "$0")/accessible-session" 240 nemo desktop-file-validate -- "$@"
export LC_ALL=C.UTF-8

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAILED: install"; exit 1; }
share=$prefix/share

# --- Each entry as its consumer reads it ------------------------------------

# GLib's key-file parser: the group and keys each file manager needs.
keys() {  # keys FILE GROUP KEY=VALUE...
    $py - "$@" <<'PY'
import sys
from gi.repository import GLib
path, group, wanted = sys.argv[1], sys.argv[2], sys.argv[3:]
keys = GLib.KeyFile()
keys.load_from_file(path, GLib.KeyFileFlags.NONE)
for pair in wanted:
    key, value = pair.split("=", 1)
    got = keys.get_string(group, key)
    if got != value:
        sys.exit("  %s [%s] %s=%r, want %r" % (path, group, key, got, value))
PY
}
check "Nemo action: the key-file parser reads its name, command and selection" \
    keys "$share/nemo/actions/vorlix-wipe.nemo_action" "Nemo Action" "Name=Wipe with Vorlix" \
    "Exec=vorlix --walk %F" "Selection=notnone" "Extensions=any;"
check "Dolphin service menu: one action on every file and folder" \
    keys "$share/kio/servicemenus/vorlix-wipe.desktop" "Desktop Entry" "Type=Service" "MimeType=all/all;" "Actions=wipe;"
check "Dolphin service menu: the action's name and command" \
    keys "$share/kio/servicemenus/vorlix-wipe.desktop" "Desktop Action wipe" "Name=Wipe with Vorlix" \
    "Exec=vorlix --walk %F"
check "FileManager-Actions entry: an action with one profile for local files" \
    keys "$share/file-manager/actions/vorlix-wipe.desktop" "Desktop Entry" "Type=Action" "Name=Wipe with Vorlix" \
    "Profiles=local;"
check "FileManager-Actions entry: the profile's command" \
    keys "$share/file-manager/actions/vorlix-wipe.desktop" "X-Action-Profile local" "Exec=vorlix --walk %F"
# The two desktop-entry dialects are not application entries, so the
# validator checks their command lines as one.
exec_valid() {
    printf '[Desktop Entry]\nType=Application\nName=Wipe with Vorlix\nExec=%s\n' "$1" >"$tmp/exec.desktop"
    desktop-file-validate "$tmp/exec.desktop"
}
check "desktop-file-validate: the menus' command is a valid Exec line" exec_valid "vorlix --walk %F"
check "desktop-file-validate: the installed application entry" desktop-file-validate "$share/applications/org.vorlix.Vorlix.desktop"
nautilus_imports() {
    $py -c 'import gi; gi.require_version("Nautilus", "4.0")' 2>/dev/null || { echo "  (no Nautilus typelib: python3-nautilus)"; return 1; }
    $py - "$share/nautilus-python/extensions/vorlix_wipe.py" <<'PY'
import runpy, sys
from gi.repository import GObject, Nautilus
menu = runpy.run_path(sys.argv[1], run_name="vorlix_wipe")["VorlixWipeMenu"]
assert issubclass(menu, Nautilus.MenuProvider)
assert GObject.type_is_a(menu.__gtype__, Nautilus.MenuProvider.__gtype__)
PY
}
check "Nautilus extension: imports against the real gi bindings as a menu provider" nautilus_imports

# --- Nemo, with the installed entry -----------------------------------------

export XDG_DATA_DIRS=$share:/usr/share PATH=$prefix/bin:$PATH
sel=$HOME/selection
mkdir -p "$sel/a folder/deeper"
selected=("$sel/it's \$HOME \"x\".txt" "$sel/gr$(printf '\xc3\xbc\xc3\x9f')e $(printf '\xe6\x96\x87').txt" "$sel/two  spaces.txt"
          "$sel/\$(touch ran-1)" "$sel/\`touch ran-2\`" "$sel/a;touch ran-3&b" "$sel/-rf"
          "$sel/a folder/deeper/inside.txt")
for file in "${selected[@]}"; do echo "$file" >"$file"; done

vorlix >"$tmp/window.out" 2>&1 &
# Polled, not --sync: xdotool gives up at once when its first connection to a
# display that has only just started is refused.
window_opens() {
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name '^Vorlix$' >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}
check "the Vorlix window opens" window_opens
nemo --no-desktop "$sel" >"$tmp/nemo.out" 2>&1 &
nemo_window=$(timeout 20 xdotool search --sync --onlyvisible --class nemo 2>/dev/null | head -1)
check "Nemo opens the folder" test -n "$nemo_window"
sleep 2
timeout 5 xdotool windowactivate --sync "$nemo_window" >/dev/null 2>&1
timeout 5 xdotool windowfocus --sync "$nemo_window"
xdotool key ctrl+a
sleep 0.5
xdotool key shift+F10
# The open context menu, read through the accessibility bus: its visible
# items, then the entry chosen as a user would.
menu() {
    $py - "$1" <<'PY'
import sys, time, pyatspi
def items(node):
    for child in node:
        if child is None:
            continue
        if child.getRole() == pyatspi.ROLE_MENU_ITEM and child.getState().contains(pyatspi.STATE_SHOWING):
            yield child
        yield from items(child)
for attempt in range(20):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "nemo":
            found = {item.name: item for item in items(app)}
            if "Cut" in found:
                if sys.argv[1] == "list":
                    print("\n".join(found))
                    sys.exit(0)
                entry = found.get("Wipe with Vorlix")
                sys.exit(0 if entry and entry.queryAction().doAction(0) else 1)
    time.sleep(0.25)
sys.exit(2)
PY
}
shown=$(menu list)
check "Nemo's context menu for the selection shows 'Wipe with Vorlix'" grep -qx 'Wipe with Vorlix' <<<"$shown"
check "choosing it runs Vorlix" menu choose
expected=$(printf 'Param sent to main instance %s\n' "${selected[@]}" | sort)
handed() { [ "$(grep '^Param sent' "$tmp/nemo.out" | sort)" = "$expected" ]; }
timeout 10 bash -c "until [ \$(grep -c '^Param sent' '$tmp/nemo.out') -ge ${#selected[@]} ]; do sleep 0.2; done"
sleep 0.5
check "the running window got exactly the selected files and the folder's file" handed
handed || { echo "  got:"; sed 's/^/    /' "$tmp/nemo.out"; }
check "no file was wiped by choosing it" test -f "${selected[0]}" -a -f "${selected[7]}"
# Nemo may run the action in the selection's folder, the home or ours.
check "no name in the selection ran as a command" \
    test -z "$(find "$sel" "$HOME" "$PWD" -maxdepth 1 -name 'ran-*')"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
