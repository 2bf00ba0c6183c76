#pragma once

#include <wx/event.h>

#include "Main.h"

// One path handed over by a later instance. It travels only by wxQueueEvent,
// which takes the object itself: a clone would not carry the path.
class MyCustomEvent : public wxThreadEvent {
public:
    explicit MyCustomEvent(const wxString& path)
        : wxThreadEvent(EVT_HAND_OFF, wxID_ANY), path(path.Clone())
    {
    }

    wxString path;
};
