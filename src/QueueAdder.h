// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/arrstr.h>
#include <wx/string.h>

#include <vector>

class WipeQueue;
class wxWindow;

// The ways of adding to the queue that the user chooses from: the file and
// folder dialogs and drops. Files are queued as they are, folders walked.
class QueueAdder {
public:
    // The files picked in the "Add file(s)" dialog; false when it is cancelled.
    static bool ChooseFiles(wxWindow* parent, wxArrayString& paths);
    // The folder picked in the "Add folder" dialog; false when it is
    // cancelled or gives no folder.
    static bool ChooseFolder(wxWindow* parent, wxArrayString& paths);

    // Queues each path as the toolkit gave it; a folder's files are queued in
    // its place. Returns the paths that name no file exactly.
    static std::vector<wxString> Add(const wxArrayString& paths, WipeQueue& queue);

    // Queues the command line's paths as they are, each as one entry; after
    // the walk option (see StartUp), folders are walked as Add folder walks
    // them. Returns the paths that name no file exactly.
    static std::vector<wxString> AddCommandLine(const std::vector<wxString>& arguments, WipeQueue& queue);

    // The "Not queued" box's text for refused paths; empty when there are none.
    static wxString RefusedText(const std::vector<wxString>& refused);
    // The box's text for folders that could not be listed, so that what is in them was not queued.
    static wxString UnreadableText(const std::vector<wxString>& folders);
};
