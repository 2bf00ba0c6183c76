# SPDX-License-Identifier: GPL-3.0-or-later
"""Nautilus: "Wipe with Vorlix" on the selected local files and folders.

Runs `vorlix --walk` with their paths: the running Vorlix window queues the
files and the files inside the folders; nothing is wiped before Start Wipe!.
"""
import gettext
import os
import subprocess

import gi

for version in ("4.0", "3.0"):
    try:
        gi.require_version("Nautilus", version)
        break
    except ValueError:
        continue
from gi.repository import GObject, Nautilus  # noqa: E402

# Vorlix's catalogs under the prefix this file is installed in
# (share/nautilus-python/extensions), then the system's; English without one.
_catalog = gettext.translation(
    "vorlix", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "locale"), fallback=True)
_catalog.add_fallback(gettext.translation("vorlix", fallback=True))
_ = _catalog.gettext

def local_paths(files):
    """The selection's paths as the system's own bytes; None when one is not local."""
    paths = []
    for info in files:
        path = info.get_location().get_path()
        if path is None:
            return None
        paths.append(os.fsencode(path))
    return paths


class VorlixWipeMenu(GObject.GObject, Nautilus.MenuProvider):
    # Nautilus 43 passes (files); older versions (window, files).
    def get_file_items(self, *args):
        files = args[-1]
        paths = local_paths(files)
        if not paths:
            return []
        item = Nautilus.MenuItem(name="VorlixWipeMenu::wipe", label=_("Wipe with Vorlix"),
                                 tip=_("Queue the selected files, and the files in the selected folders, in Vorlix"),
                                 icon="vorlix")
        item.connect("activate", self.on_wipe, paths)
        return [item]

    def on_wipe(self, _item, paths):
        # Each later start hands its files to the running window and ends.
        subprocess.Popen([b"vorlix", b"--walk", *paths], start_new_session=True,
                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
