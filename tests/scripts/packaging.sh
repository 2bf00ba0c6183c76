#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What a user installs: the desktop entry validates, and the Debian package
# holds its files, lists its runtime libraries and satisfies lintian.
# package_install.sh installs it for real (root only).
# Usage: packaging.sh <vorlix binary> <build folder>
set -uo pipefail
build=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
passes=0
check() {
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

check "the desktop entry is valid" desktop-file-validate "$source_dir/dist/org.vorlix.Vorlix.desktop"
check "it opens all selected files with one start" grep -qx 'Exec=vorlix %F' "$source_dir/dist/org.vorlix.Vorlix.desktop"

(cd "$build" && cpack -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1)
deb=$(ls "$tmp"/vorlix_*.deb 2>/dev/null | head -1)
check "a Debian package is built" test -n "$deb"
if [ -z "$deb" ]; then cat "$tmp/cpack.log"; echo "$passes passed, $failures failed"; exit 1; fi
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/vorlix ./usr/bin/vorlix-wipe ./usr/share/man/man1/vorlix-wipe.1.gz \
    ./usr/share/applications/org.vorlix.Vorlix.desktop ./usr/share/man/man1/vorlix.1.gz \
    ./usr/share/doc/vorlix/copyright ./usr/share/doc/vorlix/changelog.gz \
    ./usr/share/icons/hicolor/16x16/apps/vorlix.png ./usr/share/icons/hicolor/256x256/apps/vorlix.png \
    ./usr/lib/vorlix/vorlix-window ./usr/share/kio/servicemenus/vorlix-wipe.desktop \
    ./usr/share/nemo/actions/vorlix-wipe.nemo_action ./usr/share/file-manager/actions/vorlix-wipe.desktop \
    ./usr/share/nautilus-python/extensions/vorlix_wipe.py ./usr/share/locale/de/LC_MESSAGES/vorlix.mo \
    ./usr/share/locale/fr/LC_MESSAGES/vorlix.mo ./usr/share/locale/es/LC_MESSAGES/vorlix.mo \
    ./usr/libexec/vorlix/vorlix-privileged ./usr/share/polkit-1/actions/org.vorlix.policy; do
    check "the package holds $file" grep -q " $file\$" <<<"$contents"
done
check "it depends on the toolkit's runtime" grep -q 'libwx_gtk3u_core-3.2\|libwxgtk3.2' <<<"$(dpkg-deb -f "$deb" Depends)"
check "it suggests what the Nautilus entry needs" grep -qw python3-nautilus <<<"$(dpkg-deb -f "$deb" Suggests)"
# A later instance runs only the program on the PATH: it must not load the GUI.
dpkg-deb -x "$deb" "$tmp/root"
check "the program a later instance runs loads no GTK library" bash -c "! ldd '$tmp/root/usr/bin/vorlix' | grep -qi gtk"
check "the command-line program loads no GTK library" bash -c "! ldd '$tmp/root/usr/bin/vorlix-wipe' | grep -qi gtk"
check "the privileged program loads no GTK library" bash -c "! ldd '$tmp/root/usr/libexec/vorlix/vorlix-privileged' | grep -qi gtk"
check "the polkit action is valid XML naming that program" python3 -c "
import sys, xml.etree.ElementTree as ET
action = ET.parse(sys.argv[1]).getroot().find('action')
notes = {a.get('key'): a.text for a in action.findall('annotate')}
assert action.get('id') == 'org.vorlix.free-space', action.get('id')
assert notes['org.freedesktop.policykit.exec.path'] == '/usr/libexec/vorlix/vorlix-privileged', notes
assert notes['org.freedesktop.policykit.exec.argv1'] == 'free-space', notes
" "$tmp/root/usr/share/polkit-1/actions/org.vorlix.policy"
check "the window's program does" bash -c "ldd '$tmp/root/usr/lib/vorlix/vorlix-window' | grep -qi gtk"
# Its errors include an unstripped program and uncompressed documentation.
lintian_clean() { lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || { cat "$tmp/lintian.log"; false; }; }
check "lintian reports no errors" lintian_clean

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
