#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed programs in the user's language: under LANG=de_DE.UTF-8 (and
# fr, es) the window's buttons, read through the accessibility bus, and
# vorlix-wipe's messages carry the translations found under the prefix;
# under LANG=C they read as written.
# Usage: languages.sh <vorlix binary> <build folder>
set -uo pipefail
build=$2
source "$(dirname "$0")/accessible-session" 180 -- "$@"
# An installation under a prefix of its own: the catalogs are found beside it.
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAILED: install"; exit 1; }

# The names of the window's buttons, one a line, once it shows them.
buttons() {
    $py - <<'PY'
import sys, time, pyatspi
def walk(node):
    for child in node:
        if child is None:
            continue
        if child.getRole() == pyatspi.ROLE_PUSH_BUTTON:
            yield child.name
        yield from walk(child)
for attempt in range(40):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.startswith("vorlix"):
            names = list(walk(app))
            if names:
                print("\n".join(names))
                sys.exit(0)
    time.sleep(0.25)
sys.exit(1)
PY
}
# in_language LANG NAME...: the window started under LANG shows these buttons.
in_language() {
    local lang=$1; shift
    # GTK sometimes cannot open a display that has only just started even
    # after xdotool could: a window that did not come is started again.
    local pid attempt
    for attempt in 1 2 3; do
        env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG="$lang" "$prefix/bin/vorlix" >"$tmp/window.log" 2>&1 &
        pid=$!
        timeout 10 bash -c 'until xdotool search --onlyvisible --name "^Vorlix$" >/dev/null 2>&1; do sleep 0.2; done' &&
            break
        kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
        grep -q 'Unable to initialize GTK' "$tmp/window.log" || break
        sleep 1
    done
    buttons >"$tmp/buttons"
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    local name
    for name in "$@"; do
        grep -qxF "$name" "$tmp/buttons" || { echo "  no button '$name' among:"; sed 's/^/    /' "$tmp/buttons" "$tmp/window.log"; return 1; }
    done
}
check "LANG=de_DE.UTF-8: the window's buttons are German" \
    in_language de_DE.UTF-8 "Dateien hinzufügen" "Ordner hinzufügen" "Entfernen" "Sicher löschen!" "Schließen"
check "LANG=fr_FR.UTF-8: the window's buttons are French" \
    in_language fr_FR.UTF-8 "Ajouter des fichiers" "Retirer" "Lancer l'effacement$(printf '\xc2\xa0')!" "Fermer"
check "LANG=es_ES.UTF-8: the window's buttons are Spanish" \
    in_language es_ES.UTF-8 "Añadir archivos" "Quitar" "¡Iniciar borrado!" "Cerrar"
check "LANG=C: the window's buttons read as written" \
    in_language C "Add file(s)" "Add folder" "Add Trash" "Remove" "About" "Drives..." "Start Wipe!" "Close"

wipe_says() {  # wipe_says LANG TEXT: vorlix-wipe with no file says TEXT
    local said
    said=$(env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG="$1" "$prefix/bin/vorlix-wipe" 2>&1)
    grep -qF "$2" <<<"$said" || { echo "  said: $said"; false; }
}
check "vorlix-wipe speaks German" wipe_says de_DE.UTF-8 "vorlix-wipe: keine Datei zum Löschen"
check "vorlix-wipe speaks Spanish" wipe_says es_ES.UTF-8 "vorlix-wipe: ningún archivo que borrar"
check "vorlix-wipe under LANG=C reads as written" wipe_says C "vorlix-wipe: no file to wipe"
# The Nautilus entry takes its names from the same catalogs.
nautilus_says() {
    LANGUAGE=fr $py - "$prefix/share/nautilus-python/extensions/vorlix_wipe.py" <<'PY'
import sys, types
# Only its texts are wanted here: a stand-in for the Nautilus bindings.
gi = types.ModuleType("gi"); gi.require_version = lambda *a: None
repo = types.ModuleType("gi.repository")
repo.GObject = types.SimpleNamespace(GObject=type("GObject", (), {}))
repo.Nautilus = types.SimpleNamespace(MenuProvider=type("MenuProvider", (), {}))
sys.modules.update({"gi": gi, "gi.repository": repo})
import runpy
text = runpy.run_path(sys.argv[1], run_name="vorlix_wipe")["_"]("Wipe with Vorlix")
sys.exit(0 if text == "Effacer définitivement avec Vorlix" else "  got %r" % text)
PY
}
check "the Nautilus entry's name is French under LANGUAGE=fr" nautilus_says

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
