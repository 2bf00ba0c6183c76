#compdef vorlix-wipe
# SPDX-License-Identifier: GPL-3.0-or-later
# zsh completion for vorlix-wipe (the #compdef line must stay the first).

local -a confirm drives
local i drive
# A drive's wipe is confirmed with that drive's own name.
for (( i = 2; i < CURRENT; i++ )); do
  case $words[i] in
    --drive) drive=$words[i+1] ;;
    --drive=*) drive=${words[i]#--drive=} ;;
    *) continue ;;
  esac
  [[ -n $drive ]] && confirm+=("--yes-wipe-${drive:A:t}[confirm wiping ${drive:A}]")
done
# The whole drives the kernel lists, as their /dev names.
drives=(/sys/block/*(N:t))
drives=(/dev/$^drives)

_arguments -s -S \
  '(-r --recursive)'{-r,--recursive}'[wipe the files in folders too]' \
  '--method=[overwriting method]:method:((random\:"one pass, the default" dod\:"three passes"))' \
  '--trash[wipe everything in your Trash, with its records]' \
  '--free-space=[wipe the free space of a filesystem]:folder, image or unmounted device:_files' \
  '(-n --dry-run)'{-n,--dry-run}'[list what would be wiped and refused; touch nothing]' \
  '--report=[write a record of the run to FILE]:report file:_files' \
  '--verify=-[read each file back from the device]::files to read back:(all sample none)' \
  '--keep-traces[leave the thumbnails and recent-files entries of wiped files]' \
  '(-q --quiet)'{-q,--quiet}'[no progress and no summary]' \
  '(-v --verbose)'{-v,--verbose}'[tell more about each file]' \
  '(-z --zero)'{-z,--zero}'[end with a pass of zeros]' \
  '(-f --force)'{-f,--force}'[make files writable first where needed]' \
  '--files0-from=[read NUL-separated paths from FILE]:file (- for standard input):{_alternative "files\:file\:_files" "stdin\:standard input\:(-)"}' \
  '--list-drives[list the drives that can be wiped]' \
  '--drive=[wipe a whole drive]:drive:{compadd -a drives}' \
  '--certificate=[write a certificate of the wipe to FILE]:certificate file:_files' \
  $confirm \
  '(- *)--version[print the version and exit]' \
  '(- *)'{-h,--help}'[print the help and exit]' \
  '*:file or folder:_files'
