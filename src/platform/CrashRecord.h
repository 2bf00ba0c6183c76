// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <functional>
#include <string>

// What this process is in the middle of that a crash would leave behind: the
// folder of a free-space wipe's filler files, a file renamed to its hidden
// name before it is deleted. Each process keeps its own small state file in
// $XDG_STATE_HOME/vorlix (~/.local/state/vorlix) or %LOCALAPPDATA%\Vorlix,
// held locked while it runs; every start of the program finishes what the
// file of a process no longer running names, and removes it.
class CrashRecord {
public:
    // Before filler files are made in folder, on the filesystem device.
    static void NoteFillFolder(const wxString& folder, uint64_t device);
    // Once folder and everything in it is gone.
    static void DropFillFolder(const wxString& folder);
    // Before the file (device, inode) in folder is renamed to hiddenName, a
    // name of Vorlix's own; dropped once it is deleted or has its name back.
    // Costs one write of the state file and no allocation once a run is
    // under way; asciiName: a name of plain ASCII, as Vorlix makes them.
    static void NoteHidden(const wxString& folder, const wxString& hiddenName, uint64_t device, uint64_t inode);
    static void NoteHidden(const wxString& folder, const char* asciiName, uint64_t device, uint64_t inode);
    // Written with the next line noted, or by Settle: a line left over only
    // names a file that no longer has that name.
    static void DropHidden(const wxString& folder, const wxString& hiddenName);
    static void DropHidden(const wxString& folder, const char* asciiName);
    // Writes what was dropped since the state file was written; at the end of a run.
    static void Settle();
    // Before the filesystem (device) mounted at root is frozen; dropped once
    // it is thawed.
    static void NoteFrozen(const wxString& root, uint64_t device);
    static void DropFrozen(const wxString& root);

    // At every start, before anything else: thaws the filesystems, removes
    // the filler folders and
    // deletes the hidden files (only the very file recorded, checked by
    // device and inode) that records of ended processes name. Returns how
    // many such records it finished.
    static unsigned FinishLeftovers();

    // The folder of the state files; empty when there is none.
    static wxString Folder();

private:
    template <class Name>
    static void NoteHiddenName(const wxString& folder, const Name& hiddenName, uint64_t device, uint64_t inode);
    template <class Name>
    static void DropHiddenName(const wxString& folder, const Name& hiddenName);
    // Under the lock: the lines, to the state file.
    static void Write();
    static void Note(const std::string& line);
    // Drops the lines of kind that end in tail.
    static void DropEndingWith(const std::string& kind, const std::string& tail);
    static bool Finish(const std::string& line);
    // The platform's part.
    static bool WriteOwn(const std::string& content);
    static unsigned ForEachEnded(const std::function<bool(const std::string& content)>& finish);
    static bool RemoveFillFolder(const wxString& folder, uint64_t device);
    static bool ThawFrozen(const wxString& root, uint64_t device);
    static bool DeleteHidden(const wxString& folder, const wxString& name, uint64_t device, uint64_t inode);
};
