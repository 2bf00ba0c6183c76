// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PathBinding.h"

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
    // What a link met inside a walked folder becomes. Either way it is never
    // gone through.
    enum class Links {
        Leave,  // left out and listed (the window shows only what it can wipe)
        Queue,  // queued, so that the run names it as not wiped and the record lists it
    };

    // What was not taken, each in the order met.
    struct Refusals {
        std::vector<wxString> notOneFile;  // names no file exactly (no exact native form, "dir/..")
        std::vector<wxString> folders;     // a folder, where folders are refused
        std::vector<wxString> unreadable;  // a folder that could not be listed
        std::vector<wxString> links;       // a link met inside a walked folder and left out
    };

    // Files go into queue (which must outlive this object).
    explicit QueueIntake(WipeQueue& queue, Folders folders = Folders::Walk, Links links = Links::Leave);
    // Files are listed instead, for a later start to hand over.
    explicit QueueIntake(std::vector<wxString>& files, Folders folders = Folders::Walk);
    QueueIntake(const QueueIntake&) = delete;
    QueueIntake& operator=(const QueueIntake&) = delete;

    // A path the user named: a file is taken as it is; a folder as the rule says.
    void Add(const wxString& path);
    void Add(const std::vector<wxString>& paths);
    // One entry taken as it is, never walked: a file a later start handed
    // over (the sender has walked already), or an item of the Trash.
    void AddAsGiven(const wxString& path);
    // The files of folder, walked whatever the rule.
    void Walk(const wxString& folder);

    const Refusals& Refused() const { return refused; }
    // The folders walked, in the order met, for removing what the run empties.
    const std::vector<wxString>& Walked() const { return walked; }
    // How many paths were taken.
    size_t Taken() const { return taken; }
    // How many links the walks met, queued or left out.
    size_t LinksMet() const { return linksMet; }
    // Whether anything at all was refused or left unread.
    bool AllTaken() const;

private:
    bool Take(const wxString& path);

    WipeQueue* queue = nullptr;
    std::vector<wxString>* files = nullptr;
    const Folders folders;
    const Links links = Links::Leave;
    Refusals refused;
    std::vector<wxString> walked;
    size_t taken = 0;
    size_t linksMet = 0;
    PathBinding::Places places;  // the folders' places, looked up once per intake
};
