# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for vorlix-wipe, loaded by bash-completion when the
# command is first completed.

# The whole drives the kernel lists, as their /dev names.
_vorlix_wipe_drives()
{
    local drive
    for drive in /sys/block/*; do
        [[ -e $drive ]] && printf '/dev/%s\n' "${drive##*/}"
    done
}

_vorlix_wipe()
{
    local cur prev words cword split
    _init_completion -s || return

    # After a lone --, every word is a path.
    local i confirm=()
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --) _filedir; return ;;
            # A drive's wipe is confirmed with that drive's own name.
            --drive) [[ -n ${words[i + 1]-} ]] && confirm+=("--yes-wipe-$(basename -- "$(readlink -f -- "${words[i + 1]}")")") ;;
            --drive=*) confirm+=("--yes-wipe-$(basename -- "$(readlink -f -- "${words[i]#--drive=}")")") ;;
        esac
    done

    case $prev in
        --method)
            COMPREPLY=($(compgen -W 'random dod' -- "$cur"))
            return ;;
        --free-space)
            # A folder, an image file or an unmounted device.
            _filedir
            return ;;
        --report | --certificate)
            _filedir
            return ;;
        --files0-from)
            _filedir
            [[ -z $cur || $cur == - ]] && COMPREPLY+=(-)
            return ;;
        --drive)
            COMPREPLY=($(compgen -W '$(_vorlix_wipe_drives)' -- "$cur"))
            return ;;
        --verify)
            # Its level only ever follows an =; a next word is a path.
            if [[ $split == true ]]; then
                COMPREPLY=($(compgen -W 'all sample none' -- "$cur"))
                return
            fi ;;
    esac
    [[ $split == true ]] && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-r --recursive --method --trash --free-space -n --dry-run
            --report --verify --verify= --keep-traces -q --quiet -z --zero -v --verbose
            -f --force --files0-from= --list-drives --drive --certificate --version -h --help
            ${confirm[*]}' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir
} &&
    complete -F _vorlix_wipe vorlix-wipe
