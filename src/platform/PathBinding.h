// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <string>
#include <unordered_map>

// Binds a queued path to the place of its file: the real folder it is in and
// its own name. A path is bound when it is queued: links in its folder's path
// are followed then, once; the file's own name never is. When it is wiped,
// InPlaceFile::Open reaches that folder again without following any link
// (HeldFolder), so a folder swapped for a link since is refused instead of
// leading elsewhere.
class PathBinding {
public:
    // Splits path into the real place of its folder and its own name, and
    // stores the file's size (UINT64_MAX unless it is a regular file). A folder
    // that does not exist is kept as written, made absolute, and may then hold
    // no link at all. False when path has no exact native form or no file name
    // (such as "dir/..").
    static bool Locate(const wxString& path, wxString& folder, wxString& name, uint64_t& size);

    // The real places of the folders one intake has looked up, by their
    // native text as given: a walk queues many files of each folder, and
    // resolving its links again for every file took most of the time of
    // queuing a million. Good for that one intake only.
    using Places = std::unordered_map<std::string, wxString>;
    // Locate, looking each folder up once in places.
    static bool Locate(const wxString& path, wxString& folder, wxString& name, uint64_t& size, Places& places);

#ifdef __WINDOWS__
    // Where the root of a native path (\\?\ form) ends: after "\\?\C:\", or
    // after the share's separator in "\\?\UNC\server\share\".
    static size_t RootLength(const std::wstring& native);
#endif
};
