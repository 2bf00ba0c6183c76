// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <vector>

// The sending side of the hand-off, for a process that found another instance
// running. It needs no display: it brings up only the toolkit's base and
// socket layer, and shuts them down again before it returns.
class LaterInstance {
public:
    enum class Outcome {
        AllSent,           // every path reached the running instance
        SomeCannotTravel,  // the others were sent; these were named on standard error
        Unreachable,       // the running instance could not be reached; the rest are lost
        HeldByAnother,     // another user's program listens in Vorlix's place: nothing was sent
    };

    // Sends each path, made absolute against this process's working folder,
    // over its own connection, in order, and names each sent one on standard
    // output.
    static Outcome HandOver(const std::vector<wxString>& paths);
};
