# SPDX-License-Identifier: GPL-3.0-or-later
# fish completion for vorlix-wipe.

# The whole drives the kernel lists, as their /dev names.
function __vorlix_wipe_drives
    for drive in /sys/block/*
        echo /dev/(path basename $drive)
    end
end

# A drive's wipe is confirmed with that drive's own name.
function __vorlix_wipe_confirm
    set -l words (commandline -opc)
    for i in (seq (count $words))
        set -l drive
        switch $words[$i]
            case --drive
                set drive $words[(math $i + 1)]
            case '--drive=*'
                set drive (string replace -- --drive= '' $words[$i])
        end
        test -n "$drive"; and printf '%s\t%s\n' --yes-wipe-(path basename (path resolve $drive)) "confirm wiping $drive"
    end
end

complete -c vorlix-wipe -s r -l recursive -d 'Wipe the files in folders too'
complete -c vorlix-wipe -l method -x -a 'random\t"One pass, the default" dod\t"Three passes"' -d 'Overwriting method'
complete -c vorlix-wipe -l trash -d 'Wipe everything in your Trash'
complete -c vorlix-wipe -l free-space -r -F -d 'Wipe the free space of a filesystem (folder, image or device)'
complete -c vorlix-wipe -s n -l dry-run -d 'List what would be wiped; touch nothing'
complete -c vorlix-wipe -l report -r -F -d 'Write a record of the run to FILE'
# Its level only ever follows an =, as --verify=sample.
complete -c vorlix-wipe -l verify -d 'Read each file back from the device'
complete -c vorlix-wipe -n 'string match -q -- "--verify=*" (commandline -ct)' -f \
    -a '--verify=all --verify=sample --verify=none'
complete -c vorlix-wipe -l keep-traces -d 'Leave thumbnails and recent-files entries'
complete -c vorlix-wipe -s q -l quiet -d 'No progress and no summary'
complete -c vorlix-wipe -s v -l verbose -d 'Tell more about each file'
complete -c vorlix-wipe -s z -l zero -d 'End with a pass of zeros'
complete -c vorlix-wipe -s f -l force -d 'Make files writable first where needed'
complete -c vorlix-wipe -l files0-from -r -F -a - -d 'Read NUL-separated paths from FILE (- for standard input)'
complete -c vorlix-wipe -l list-drives -d 'List the drives that can be wiped'
complete -c vorlix-wipe -l drive -x -a '(__vorlix_wipe_drives)' -d 'Wipe a whole drive'
complete -c vorlix-wipe -l certificate -r -F -d 'Write a certificate of the wipe to FILE'
complete -c vorlix-wipe -n 'string match -q -- "-*" (commandline -ct)' -f -a '(__vorlix_wipe_confirm)'
complete -c vorlix-wipe -l version -d 'Print the version and exit'
complete -c vorlix-wipe -s h -l help -d 'Print the help and exit'
