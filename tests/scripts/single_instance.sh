#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program, as a user meets it: one window per user however many times
# it is started, a lock that a killed instance does not keep, an orderly close.
# Usage: single_instance.sh <vorlix binary>
set -uo pipefail
bin=$1
# A display and a runtime folder of its own: the user's Vorlix, and its
# windows, are never touched.
if [ -z "${VORLIX_TEST_DISPLAY:-}" ]; then
    VORLIX_TEST_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
export LC_ALL=C.UTF-8
tmp=$(mktemp -d)
export XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
cleanup() { kill -9 $(jobs -p) 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
failures=0
passes=0
check() {  # check "what" command...
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAILED: $what"; fi
}
windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
wait_window() { timeout 10 xdotool search --sync --onlyvisible --name "$1" >/dev/null 2>&1; }
gone_within() {  # gone_within SECONDS PID
    local end=$((SECONDS + $1))
    while kill -0 "$2" 2>/dev/null; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.1
    done
}

runtime=$XDG_RUNTIME_DIR

"$bin" >"$tmp/first.out" 2>&1 &
first=$!
check "the first instance shows its window" wait_window '^Vorlix$'

started=$SECONDS
timeout 10 "$bin" >"$tmp/second.out" 2>&1
status=$?
check "a second instance without paths ends at once, successfully" test "$status" -eq 0 -a $((SECONDS - started)) -le 3
check "and shows no window of its own" test "$(windows '^Vorlix$')" -eq 1
check "the lock and socket live in the given runtime folder" test -e "$runtime/vorlix.lock" -a -S "$runtime/vorlix.sock"

kill -9 "$first"
wait "$first" 2>/dev/null
"$bin" >"$tmp/again.out" 2>&1 &
again=$!
check "after the first was killed, a new one starts as the first" wait_window '^Vorlix$'
sleep 0.5
check "and keeps running" kill -0 "$again"

# The Close button: the window is centred, the button sits at its bottom right.
win=$(xdotool search --onlyvisible --name '^Vorlix$' | head -1)
xdotool mousemove --window "$win" 490 505 click 1
check "closing the window ends the process" gone_within 5 "$again"
kill -9 "$again" 2>/dev/null  # a window that stayed must not hang the test
wait "$again"
check "with a normal exit status" test $? -eq 0
check "after writing its start-up text" grep -q "Created a new socket server" "$tmp/again.out"

# An instance that holds the lock but no longer listens (it is shutting down).
exec 9>"$runtime/vorlix.lock"
flock 9
"$bin" /etc/hostname >"$tmp/lost.out" 2>&1 &
lost=$!
check "a later instance that cannot reach it tells the user" wait_window 'Information$'
box=$(xdotool search --onlyvisible --name 'Information$' | head -1)
xdotool windowfocus --sync "$box" key Return
check "and then ends" gone_within 5 "$lost"
wait "$lost"
check "with a failure status" test $? -ne 0
check "without a main window" test "$(windows '^Vorlix$')" -eq 0
exec 9>&-

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
