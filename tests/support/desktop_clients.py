# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop's own clients, for the tests of what a wipe leaves of a file:
# GNOME's thumbnail factory (as Nautilus makes thumbnails) and GTK's recent
# files. Run with /usr/bin/python3 under xvfb-run; paths are taken as bytes,
# so that names that are not UTF-8 reach GLib unchanged.
#   png PATH...         writes a small PNG picture at each path
#   thumb PATH...       has the factory make and save each file's thumbnail
#   recent PATH...      adds each file to GTK's recent files (saved after ~1 s)
#   forget PATH...      removes each file from GTK's recent files, as GTK does
#   lookup PATH MTIME   exit 0 when the factory finds a thumbnail for the file
#                       as it was at MTIME (seconds; the file may be gone)
#   has-recent PATH     exit 0 when GTK's recent files list the file
#   thumbnail PATH      prints where the factory keeps the file's normal thumbnail
import os
import struct
import subprocess
import sys
import tempfile
import zlib

# GTK reads its own options from sys.argv as text: the paths stay out of it.
args = sys.argv[1:]
del sys.argv[1:]

import gi  # noqa: E402

gi.require_version('GnomeDesktop', '3.0')
gi.require_version('Gtk', '3.0')
gi.require_version('GdkPixbuf', '2.0')
from gi.repository import GdkPixbuf, Gio, GLib, GnomeDesktop, Gtk  # noqa: E402

NORMAL = GnomeDesktop.DesktopThumbnailSize.NORMAL


def uri_of(path):
    return Gio.File.new_for_path(path).get_uri()


def png(path):
    raw = b''.join(b'\x00' + bytes([40, 120, 200]) * 16 for _ in range(16))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)

    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 16, 16, 8, 2, 0, 0, 0))
                  + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


def unsandboxed(path):
    # The factory runs the thumbnailer in bubblewrap, which a chroot refuses:
    # then the same thumbnailer runs without it, and the factory saves.
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, 'thumbnail.png')
        subprocess.run(['gdk-pixbuf-thumbnailer', '-s', '128', path, out], check=True)
        return GdkPixbuf.Pixbuf.new_from_file(out)


def run_loop(seconds):
    GLib.timeout_add(int(seconds * 1000), Gtk.main_quit)
    Gtk.main()


def main():
    command = args[0]
    paths = [os.fsencode(p) for p in (args[1:2] if command == 'lookup' else args[1:])]
    factory = GnomeDesktop.DesktopThumbnailFactory.new(NORMAL)
    if command == 'png':
        for path in paths:
            png(path)
    elif command == 'thumb':
        for path in paths:
            uri, mtime = uri_of(path), int(os.stat(path).st_mtime)
            try:
                pixbuf = factory.generate_thumbnail(uri, 'image/png', None)
            except GLib.Error:
                pixbuf = unsandboxed(path)
            factory.save_thumbnail(pixbuf, uri, mtime, None)
            if not factory.lookup(uri, mtime):
                sys.exit('no thumbnail made for %r' % path)
    elif command in ('recent', 'forget'):
        manager = Gtk.RecentManager.get_default()
        for path in paths:
            if command == 'recent':
                manager.add_item(uri_of(path))
            else:
                manager.remove_item(uri_of(path))
        run_loop(1.2)
    elif command == 'lookup':
        sys.exit(0 if factory.lookup(uri_of(paths[0]), int(args[2])) else 1)
    elif command == 'has-recent':
        sys.exit(0 if Gtk.RecentManager.get_default().has_item(uri_of(paths[0])) else 1)
    elif command == 'thumbnail':
        name = GLib.compute_checksum_for_string(GLib.ChecksumType.MD5, uri_of(paths[0]), -1) + '.png'
        print(os.path.join(GLib.get_user_cache_dir(), 'thumbnails', 'normal', name))
    else:
        sys.exit('unknown command ' + command)


main()
