// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/event.h>

#include <vector>

// The hand-off event: the paths handed over by later instances in one burst.
wxDECLARE_EVENT(EVT_HAND_OFF, wxThreadEvent);

// The paths handed over by later instances in one burst, in the order they
// arrived. It travels only by wxQueueEvent, which takes the object itself: a
// clone would not carry the paths.
class MyCustomEvent : public wxThreadEvent {
public:
    explicit MyCustomEvent(const std::vector<wxString>& received) : wxThreadEvent(EVT_HAND_OFF, wxID_ANY)
    {
        // Deep copies: the strings cross from the listener to the GUI thread.
        paths.reserve(received.size());
        for (const wxString& path : received)
            paths.push_back(path.Clone());
    }

    std::vector<wxString> paths;
};
