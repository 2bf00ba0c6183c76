// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

// The user's language for every text a face shows: the C library's locale
// from the environment, and Vorlix's catalog for the first preferred
// language that has one. Without a catalog the texts read as written, in
// English. Machine-readable output (reports, the hand-off) never goes
// through it.
class Language {
public:
    // The domain of Vorlix's catalogs: <folder>/<lang>/LC_MESSAGES/vorlix.mo.
    static const char* const domain;

    // Sets up both for the process. catalogFolder is relative to the folder
    // of the running program, so that the build tree and an installation
    // under any prefix both find their catalogs; the system's own locale
    // folder is searched after it.
    static void Use(const wxString& catalogFolder);

    // The language whose catalog is loaded ("de", "fr_FR"...), empty when
    // the texts are English.
    static wxString Loaded();
};
