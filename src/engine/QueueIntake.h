// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <vector>

class WipeQueue;

// The one way paths enter a queue: the files and folders a user names, the
// Trash, and the files a later start hands over. Every door goes through it,
// so a file is queued by the same rules whichever way it came; what could not
// be taken is kept in lists, for each face to say in its own words.
//
// Folders are walked as rm -r walks them: never through a link met inside
// (FolderWalk), each folder once.
class QueueIntake {
public:
    // What a folder the user names stands for.
    enum class Folders {
        Walk,    // the files in it (Add folder, drops, --walk, vorlix-wipe -r)
        Refuse,  // nothing: it is listed as refused (vorlix-wipe without -r)
        Keep,    // one entry, as given, which the run then refuses (a plain command line)
    };

    // What was not taken, each in the order met.
    struct Refusals {
        std::vector<wxString> notOneFile;  // names no file exactly (no exact native form, "dir/..")
        std::vector<wxString> folders;     // a folder, where folders are refused
        std::vector<wxString> unreadable;  // a folder that could not be listed
        std::vector<wxString> links;       // a link met inside a walked folder, never gone through
    };

    // Files go into queue (which must outlive this object).
    explicit QueueIntake(WipeQueue& queue, Folders folders = Folders::Walk);
    // Files are listed instead, for a later start to hand over.
    explicit QueueIntake(std::vector<wxString>& files, Folders folders = Folders::Walk);
    QueueIntake(const QueueIntake&) = delete;
    QueueIntake& operator=(const QueueIntake&) = delete;

    // A path the user named: a file is taken as it is; a folder as the rule says.
    void Add(const wxString& path);
    void Add(const std::vector<wxString>& paths);
    // A file handed over by a later start: taken as it is, never walked there
    // (the sender has walked already).
    void AddHandedOver(const wxString& path);
    // The files of folder, walked whatever the rule.
    void Walk(const wxString& folder);

    const Refusals& Refused() const { return refused; }
    // Whether anything at all was refused or left unread.
    bool AllTaken() const;

private:
    bool Take(const wxString& path);

    WipeQueue* queue = nullptr;
    std::vector<wxString>* files = nullptr;
    const Folders folders;
    Refusals refused;
};
