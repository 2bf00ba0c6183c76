#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs a file-manager entry's command for a selection, expanded as that file
manager expands it, and waits for it where the launcher says when it ends.
Usage: launch_entry.py app|kio|fma|nemo|nautilus ENTRY PATH..."""
import os
import runpy
import sys
import tempfile

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

kind, entry, paths = sys.argv[1], sys.argv[2], [os.fsencode(p) for p in sys.argv[3:]]


def exec_line(group):
    keys = GLib.KeyFile()
    keys.load_from_file(entry, GLib.KeyFileFlags.NONE)
    return keys.get_string(group, "Exec")


def launch_as_desktop_entry(command):
    # GLib expands the field codes of a desktop entry's Exec as KIO and the
    # FileManager-Actions readers do: each path one argument, no shell.
    with tempfile.NamedTemporaryFile("w", suffix=".desktop", delete=False) as f:
        f.write("[Desktop Entry]\nType=Application\nName=entry\nExec=%s\n" % command)
    info = Gio.DesktopAppInfo.new_from_filename(f.name)
    os.unlink(f.name)
    pids = []
    uris = [Gio.File.new_for_path(p).get_uri() for p in paths]
    info.launch_uris_as_manager(uris, None, GLib.SpawnFlags.SEARCH_PATH | GLib.SpawnFlags.DO_NOT_REAP_CHILD,
                                None, None, lambda _info, pid, _data: pids.append(pid), None)
    return all(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]) == 0 for pid in pids) and len(pids) == 1


if kind == "app":
    ok = launch_as_desktop_entry(exec_line("Desktop Entry"))
elif kind == "kio":
    ok = launch_as_desktop_entry(exec_line("Desktop Action wipe"))
elif kind == "fma":
    ok = launch_as_desktop_entry(exec_line("X-Action-Profile local"))
elif kind == "nemo":
    # Nemo puts each path in shell quotes and splits the line as a shell would.
    quoted = " ".join(GLib.shell_quote(os.fsdecode(p)) for p in paths)
    argv = GLib.shell_parse_argv(exec_line("Nemo Action").replace("%F", quoted))[1]
    ok = os.spawnvp(os.P_WAIT, argv[0], argv) == 0
elif kind == "nautilus":
    extension = runpy.run_path(entry, run_name="vorlix_wipe")

    class Selected:  # what Nautilus hands a menu provider, answered from the real file
        def __init__(self, path):
            self.location = Gio.File.new_for_path(path)

        def get_location(self):
            return self.location

        def get_uri(self):
            return self.location.get_uri()

        def is_directory(self):
            return self.location.query_file_type(Gio.FileQueryInfoFlags.NOFOLLOW_SYMLINKS) == Gio.FileType.DIRECTORY

    items = extension["VorlixWipeMenu"]().get_file_items([Selected(p) for p in paths])
    ok = len(items) == 1 and items[0].props.label == "Wipe with Vorlix"
    if ok:
        items[0].activate()
else:
    sys.exit("unknown kind " + kind)
sys.exit(0 if ok else 1)
