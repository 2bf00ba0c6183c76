# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that run a polkitd of their own in a private mount
# namespace; they set tmp (a folder of theirs) and polkit_pid.

# Layers a writable copy over the folder $1, kept in $tmp/$2-*: what is
# installed there stays inside the namespace.
overlay() {
    mkdir -p "$tmp/$2-upper" "$tmp/$2-work"
    mount -t overlay overlay -o "lowerdir=$1,upperdir=$tmp/$2-upper,workdir=$tmp/$2-work" "$1"
}

# (Re)starts polkitd with the rule read from standard input as the file $1 of
# /etc/polkit-1/rules.d (polkitd reads the rules when it starts), as the
# system starts it: with no language of the caller's. False, after its log,
# when it does not answer.
start_polkitd() {
    [ -n "$polkit_pid" ] && kill "$polkit_pid" 2>/dev/null && wait "$polkit_pid" 2>/dev/null
    cat >"/etc/polkit-1/rules.d/$1"
    chmod 644 "/etc/polkit-1/rules.d/$1"
    env -u LANGUAGE /usr/lib/polkit-1/polkitd --no-debug >"$tmp/polkitd.log" 2>&1 &
    polkit_pid=$!
    for _ in $(seq 100); do pkaction >/dev/null 2>&1 && return 0; sleep 0.1; done
    cat "$tmp/polkitd.log"
    return 1
}
