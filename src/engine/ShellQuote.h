// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

// How the command line prints a name: as `ls --quoting-style=shell-escape`
// does, so that a newline cannot break a line, two names never print alike
// and the text pasted into a shell names the same file. A name that needs no
// quoting prints as it is; the others go in single quotes, with control
// characters and bytes that are not text as $'\n' and $'\377'. A character
// counts as printable as the C library's locale says (under the C locale only
// ASCII does).
class ShellQuote {
public:
    // name as the program carries it (see NativePath: a byte that is not
    // UTF-8 is U+DC00 + byte).
    static wxString Of(const wxString& name);
};
