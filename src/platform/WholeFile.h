// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <functional>
#include <string>

// A file the user names to keep (the run's record), written whole or not at
// all and never through a link: the content goes to a new file beside it,
// made exclusively, pushed to the device, and only then renamed over the
// name. So the name holds the old file or the whole new one, never a part,
// and a link put there (by someone else, in a shared folder) gets no file it
// points at created or overwritten.
class WholeFile {
public:
    enum class Result {
        Done,
        Link,        // a link (or reparse point) stands at the name
        NotRegular,  // a folder, device or pipe stands there
        Failed,      // the system's text is in detail
    };

    // Whether Write would succeed as far as can be told without creating,
    // opening for writing or changing anything: nothing is left behind.
    static Result Check(const wxString& path, wxString& detail);
    // Takes one piece of the content; false once writing has failed.
    using Writer = std::function<bool(const std::string& piece)>;
    // Replaces what path names with what produce gives write, piece by piece,
    // as above: a large content is never whole in memory.
    static Result Write(const wxString& path, const std::function<void(const Writer& write)>& produce,
                        wxString& detail);
    static Result Write(const wxString& path, const std::string& bytes, wxString& detail)
    {
        return Write(path, [&bytes](const Writer& write) { write(bytes); }, detail);
    }
};
