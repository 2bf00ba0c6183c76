// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/dnd.h>

class MainFrame;
class WipeQueue;

// Accepts files and folders dropped onto the queue list.
class MyDropTarget : public wxFileDropTarget {
public:
    MyDropTarget(WipeQueue* queue, MainFrame* frame) : queue(queue), frame(frame) {}

    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& filenames) override;

private:
    WipeQueue* queue;
    MainFrame* frame;
};
