// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Language.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

const char* const Language::domain = "vorlix";

void Language::Use(const wxString& catalogFolder)
{
    // Numbers and the encoding of names follow the environment too; a
    // locale that is not installed leaves the C library as it was, and the
    // catalog is still chosen from the environment's language.
    wxUILocale::UseDefault();
    wxFileName folder = wxFileName::DirName(catalogFolder);
    folder.MakeAbsolute(wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath());
    folder.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(folder.GetPath());
    auto* translations = new wxTranslations;
    wxTranslations::Set(translations);
    // The toolkit's own words (stock buttons, file sizes) where its catalog is installed.
    translations->AddStdCatalog();
    translations->AddCatalog(domain);
}

wxString Language::Loaded()
{
    wxTranslations* translations = wxTranslations::Get();
    if (!translations || !translations->IsLoaded(domain))
        return wxString();
    return translations->GetBestTranslation(domain, wxLANGUAGE_ENGLISH_US);
}
