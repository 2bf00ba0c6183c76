// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/OverwriteCaveat.h"

#include <wx/translation.h>

wxString OverwriteCaveat::Shown(const wxString& kind)
{
    // A filesystem's own name stays as it is; the words around it are translated.
    static const char* const filesystemKinds[] = {
        wxTRANSLATE("%s filesystem (data=journal)"),
        wxTRANSLATE("%s filesystem (inline data)"),
        wxTRANSLATE("%s filesystem (cluster slack)"),
        wxTRANSLATE("%s filesystem"),
    };
    for (const char* format : filesystemKinds) {
        const wxString tail = wxString(format).Mid(2);
        if (kind.EndsWith(tail) && kind.length() > tail.length())
            return wxString::Format(wxGetTranslation(format), kind.Left(kind.length() - tail.length()));
    }
    // The other nouns For() gives, marked here for the catalogs.
    static const char* const otherKinds[] = {
        wxTRANSLATE("network share"), wxTRANSLATE("network drive"), wxTRANSLATE("compressed file"),
        wxTRANSLATE("sparse file"), wxTRANSLATE("encrypted file"),
    };
    (void)otherKinds;
    return wxGetTranslation(kind);
}
