#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What a user installs, as make install lays it out under /usr (the tree the
# Debian packages are cut from): every file in its place, the programs'
# libraries, the desktop entry and the AppStream metadata as their readers
# take them, no file type claimed, and vorlix-wipe's completions in bash, zsh
# and fish. debian_package.sh builds and checks the .debs themselves.
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
py=/usr/bin/python3
id=org.vorlix.Vorlix

check "the desktop entry is valid" desktop-file-validate "$source_dir/dist/$id.desktop"
check "it opens all selected files with one start" grep -qx 'Exec=vorlix %F' "$source_dir/dist/$id.desktop"

root=$tmp/root
usr=$root/usr
DESTDIR=$root cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log"; echo "FAILED: make install's rules"; exit 1; }
for file in bin/vorlix bin/vorlix-wipe share/man/man1/vorlix-wipe.1.gz share/man/man1/vorlix.1.gz \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/doc/vorlix/copyright share/doc/vorlix/changelog.gz \
    share/icons/hicolor/16x16/apps/vorlix.png share/icons/hicolor/256x256/apps/vorlix.png \
    lib/vorlix/vorlix-window share/kio/servicemenus/vorlix-wipe.desktop \
    share/nemo/actions/vorlix-wipe.nemo_action share/file-manager/actions/vorlix-wipe.desktop \
    share/nautilus-python/extensions/vorlix_wipe.py share/locale/de/LC_MESSAGES/vorlix.mo \
    share/locale/fr/LC_MESSAGES/vorlix.mo share/locale/es/LC_MESSAGES/vorlix.mo \
    libexec/vorlix/vorlix-privileged share/polkit-1/actions/org.vorlix.policy \
    share/bash-completion/completions/vorlix-wipe share/zsh/vendor-completions/_vorlix-wipe \
    share/fish/vendor_completions.d/vorlix-wipe.fish; do
    check "it installs /usr/$file" test -f "$usr/$file"
done
# A later instance runs only the program on the PATH: it must not load the GUI.
check "the program a later instance runs loads no GTK library" bash -c "! ldd '$usr/bin/vorlix' | grep -qi gtk"
check "the command-line program loads no GTK library" bash -c "! ldd '$usr/bin/vorlix-wipe' | grep -qi gtk"
check "the privileged program loads no GTK library" bash -c "! ldd '$usr/libexec/vorlix/vorlix-privileged' | grep -qi gtk"
check "the window's program does" bash -c "ldd '$usr/lib/vorlix/vorlix-window' | grep -qi gtk"
check "the polkit action is valid XML naming that program" $py -c "
import sys, xml.etree.ElementTree as ET
action = ET.parse(sys.argv[1]).getroot().find('action')
notes = {a.get('key'): a.text for a in action.findall('annotate')}
assert action.get('id') == 'org.vorlix.free-space', action.get('id')
assert notes['org.freedesktop.policykit.exec.path'] == '/usr/libexec/vorlix/vorlix-privileged', notes
assert notes['org.freedesktop.policykit.exec.argv1'] == 'free-space', notes
" "$usr/share/polkit-1/actions/org.vorlix.policy"

# --- What software centres and the desktop read ------------------------------

logged() { "$@" >"$tmp/log" 2>&1 || { cat "$tmp/log"; false; }; }
check "the AppStream metadata validates strictly" logged appstreamcli validate --strict --no-net "$usr/share/metainfo/$id.metainfo.xml"
# The tree as a whole: the launchable names the installed desktop entry.
check "the installed tree validates with it" logged appstreamcli validate-tree --strict --no-net "$root"
# Files dropped on the launcher arrive as %F; a type in the entry would make
# Vorlix a program that opens folders and files, and could become the default.
export PATH=$usr/bin:$PATH XDG_DATA_HOME=$tmp/home/data XDG_CONFIG_HOME=$tmp/home/config XDG_DATA_DIRS=$usr/share
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
check "GLib lets files be dropped on it, and it claims no type" $py -c '
import sys, gi
gi.require_version("Gio", "2.0")
from gi.repository import Gio
info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
assert info.supports_files() and not info.get_supported_types(), info.get_supported_types()
' "$usr/share/applications/$id.desktop"
update-desktop-database "$usr/share/applications"
never_default() {
    local type
    for type in inode/directory application/octet-stream text/plain; do
        ! env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION xdg-mime query default "$type" | grep -qi vorlix ||
            { echo "  xdg-mime names Vorlix for $type"; return 1; }
    done
}
check "xdg-mime never names Vorlix as the default for folders or files" never_default

# --- vorlix-wipe's completions, as each shell loads them ---------------------

# The candidates bash-completion's own loader gives for a command line, sorted;
# the line is split into words as bash splits it (= a word of its own).
bash_complete() {
    bash --norc --noprofile -c '
        source /usr/share/bash-completion/bash_completion
        line=$1
        read -ra COMP_WORDS <<<"${line//=/ = }"
        [[ $line == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
        __load_completion vorlix-wipe || exit 3
        function=$(complete -p vorlix-wipe | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
        "$function" vorlix-wipe "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort' bash "$1"
}
completes() {  # completes SHELL LINE CANDIDATE...
    local shell=$1 line=$2 got; shift 2
    got=$("${shell}_complete" "$line")
    [ "$got" = "$(printf '%s\n' "$@" | sort)" ] || { echo "  '$line' gave: $(echo $got)"; false; }
}
mkdir -p "$tmp/cwd/a folder" && touch "$tmp/cwd/report.json"
cd "$tmp/cwd"
drives=$(for d in /sys/block/*; do [ -e "$d" ] && echo "/dev/${d##*/}"; done)
if [ -f /usr/share/bash-completion/bash_completion ]; then
    check "bash: --me completes to --method" completes bash "vorlix-wipe --me" --method
    check "bash: --method offers the two methods" completes bash "vorlix-wipe --method " random dod
    check "bash: --verify= offers its levels" completes bash "vorlix-wipe --verify=" all sample none
    check "bash: --files0-from offers files and - for standard input" \
        completes bash "vorlix-wipe --files0-from=" "a folder" report.json -
    check "bash: --drive offers the kernel's drives" completes bash "vorlix-wipe --drive " $drives
    check "bash: a drive given is confirmed by its name" completes bash "vorlix-wipe --drive /dev/sdq --yes" --yes-wipe-sdq
    check "bash: after -- every word is a path" completes bash "vorlix-wipe -- --"
    check "bash: paths are files and folders" completes bash "vorlix-wipe -r " "a folder" report.json
else
    echo "skipped: bash's completions (no bash-completion)"
fi

if command -v zsh >/dev/null; then
    zsh_loads() {
        zsh -f -c 'fpath=("$1" $fpath); autoload -U compinit; compinit -u -D
            [[ $_comps[vorlix-wipe] == _vorlix-wipe ]] && autoload +X _vorlix-wipe' zsh "$usr/share/zsh/vendor-completions"
    }
    check "zsh: compinit takes _vorlix-wipe for vorlix-wipe, and it parses" zsh_loads
    # An interactive zsh on a terminal of its own (zpty) is sent the line and
    # a Tab; compadd, wrapped, notes what the completion offers.
    mkdir -p "$tmp/zdot"
    cat >"$tmp/zdot/.zshrc" <<EOF
fpath=("$usr/share/zsh/vendor-completions" \$fpath)
autoload -U compinit && compinit -u -D
compadd() {
    # Calls that only ask what would match add nothing.
    if (( \${@[(I)-[OAD]*]} )); then builtin compadd "\$@"; return; fi
    local -a hits
    builtin compadd -A hits "\$@"
    print -rl -- \$hits >>"$tmp/zsh-hits"
    builtin compadd "\$@"
}
PS1="READY> "
EOF
    cat >"$tmp/zsh-drive" <<'EOF'
zmodload zsh/zpty
zpty z zsh -i
# Typed only once the prompt is up: zsh drops what came before.
zpty -r z out '*READY> *' || exit 2
zpty -w -n z "$1"$'\t'
zpty -w z $'\C-u'"print >$2/zsh-done"
for i in {1..100}; do [[ -e $2/zsh-done ]] && break; sleep 0.1; done
zpty -d z
EOF
    zsh_complete() {
        rm -f "$tmp/zsh-hits" "$tmp/zsh-done"
        ZDOTDIR=$tmp/zdot timeout 30 zsh -f "$tmp/zsh-drive" "$1" "$tmp"
        [ -e "$tmp/zsh-hits" ] && sort -u "$tmp/zsh-hits"
    }
    check "zsh: --me completes to --method" completes zsh "vorlix-wipe --me" --method
    check "zsh: --method offers the two methods" completes zsh "vorlix-wipe --method " random dod
    check "zsh: --verify= offers its levels" completes zsh "vorlix-wipe --verify=" all sample none
    check "zsh: --drive offers the kernel's drives" completes zsh "vorlix-wipe --drive " $drives
    check "zsh: a drive given is confirmed by its name" completes zsh "vorlix-wipe --drive /dev/sdq --yes" --yes-wipe-sdq
else
    echo "skipped: zsh's completions (no zsh)"
fi

if command -v fish >/dev/null; then
    # fish loads a command's completions only for a command on the PATH.
    fish_complete() {
        HOME=$tmp/home fish -c "complete -C '$1'" | cut -f1 | sort
    }
    check "fish: the file parses" fish -n "$usr/share/fish/vendor_completions.d/vorlix-wipe.fish"
    check "fish: --me completes to --method" completes fish "vorlix-wipe --me" --method
    check "fish: --method offers the two methods" completes fish "vorlix-wipe --method " random dod
    check "fish: --verify= offers its levels" completes fish "vorlix-wipe --verify=" --verify=all --verify=sample --verify=none
    check "fish: --drive offers the kernel's drives" completes fish "vorlix-wipe --drive " $drives
    check "fish: a drive given is confirmed by its name" completes fish "vorlix-wipe --drive /dev/sdq --yes" --yes-wipe-sdq
else
    echo "skipped: fish's completions (no fish)"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
