// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/translation.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "engine/Language.h"

// The program as a user with this LANG meets it: the environment read as the
// program reads it at start-up, the catalogs found from the program's folder
// as in the build tree. English again when the case ends.
class UserLanguage {
public:
    explicit UserLanguage(const char* lang) : cLocale(std::setlocale(LC_ALL, nullptr))
    {
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            unsetenv(name);
        setenv("LANG", lang, 1);
        Language::Use("../share/locale");
    }
    ~UserLanguage()
    {
        setenv("LANGUAGE", "en", 1);
        wxTranslations::Set(new wxTranslations);
        std::setlocale(LC_ALL, cLocale.c_str());
    }

private:
    std::string cLocale;
};
