// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/NameList.h"

#include "engine/ShellQuote.h"
#include "platform/NativePath.h"

#include <wx/translation.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef __WINDOWS__
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// The bytes of a name as the system names files: UTF-8 on Windows.
wxString Decoded(const std::string& bytes)
{
#ifdef __WINDOWS__
    return wxString::FromUTF8(bytes.data(), bytes.size());
#else
    return NativePath::Decode(bytes);
#endif
}

FILE* OpenList(const wxString& from)
{
    if (from == "-") {
#ifdef __WINDOWS__
        // A NUL or a CR in a name must reach it as it is.
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        return stdin;
    }
    NativePath::String native;
    if (!NativePath::Encode(from, native)) {
        errno = ENOENT;
        return nullptr;
    }
#ifdef __WINDOWS__
    return _wfopen(native.c_str(), L"rb");
#else
    return std::fopen(native.c_str(), "rb");
#endif
}

}  // namespace

bool NameList::Read(const wxString& from, std::vector<wxString>& names, wxString& error)
{
    const wxString shown = from == "-" ? wxString(_("standard input")) : ShellQuote::Of(from);
    FILE* list = OpenList(from);
    if (!list) {
        error = wxString::Format(_("cannot read the list of names %s: %s"), shown, std::strerror(errno));
        return false;
    }
    std::string name;
    bool fine = true;
    for (int c; fine && (c = std::fgetc(list)) != EOF;) {
        if (c != '\0') {
            name += static_cast<char>(c);
            continue;
        }
        // An empty name is no file: more likely a list made wrong, which
        // could name other files than meant.
        if (name.empty()) {
            error = wxString::Format(_("name %zu in the list %s is empty; nothing was wiped"), names.size() + 1,
                                     shown);
            fine = false;
        }
        names.push_back(Decoded(name));
        name.clear();
    }
    if (fine && std::ferror(list)) {
        error = wxString::Format(_("cannot read the list of names %s: %s"), shown, std::strerror(errno));
        fine = false;
    }
    if (fine && !name.empty())
        names.push_back(Decoded(name));
    if (list != stdin)
        std::fclose(list);
    return fine;
}
