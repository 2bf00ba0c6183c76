// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <string>

// The one conversion between the program's text for a path and the units the
// system's file calls take. It is exact both ways: a path whose text does not
// convert back to exactly the same units has no native form, and nothing may
// stand in for it (an approximated name can name another file).
//
// On Linux the units are bytes. Valid UTF-8 becomes the characters it spells;
// every other byte b (always 0x80 or above) becomes the lone surrogate
// U+DC00 + b, which valid UTF-8 can never produce, so no two byte strings share
// a text and the locale plays no part. On Windows the units are UTF-16, and a
// path becomes its full \\?\ form (no length limit, no name rewritten by the
// system); only drive-letter and \\server\share paths have one, never the
// device namespace or a name the system keeps for a device (NUL, COM1).
class NativePath {
public:
#ifdef __WINDOWS__
    using String = std::wstring;
#else
    using String = std::string;
#endif

    // The text for a name as the system gave it (an argument, a folder entry).
    static wxString Decode(const String& native);
    // The native units of path; false, with native untouched, when there are
    // none: an embedded NUL, a stray surrogate, or text that would not decode
    // back to itself.
    static bool Encode(const wxString& path, String& native);
    // The same, saying why in detail when there are none.
    static bool Encode(const wxString& path, String& native, wxString& detail)
    {
        if (Encode(path, native))
            return true;
        detail = "The path has no exact form on this system.";
        return false;
    }
    static bool IsExact(const wxString& path)
    {
        String native;
        return Encode(path, native);
    }

    // A path as the toolkit hands it over from its file dialogs and drops. The
    // toolkit marks a byte that is not UTF-8 as U+100000 + byte, which a real
    // name may also contain, so both readings are tried and only one that
    // names an existing entry (or, failing that, the literal one) is taken;
    // where both exist the path is ambiguous and empty is returned.
    static wxString FromToolkit(const wxString& path);

    // Text safe to show or print: each byte that is not UTF-8 shows as U+FFFD.
    static wxString Display(const wxString& path);
};
