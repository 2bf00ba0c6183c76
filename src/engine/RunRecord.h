#pragma once

#include "engine/RunOutcome.h"
#include "engine/WipeMethod.h"
#include "engine/WipeQueue.h"
#include "platform/WholeFile.h"

#include <wx/datetime.h>
#include <wx/string.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// The record of one file run that a user keeps: who wiped what, where, how
// and with what outcome, as JSON (fields in docs/report.md) or plain text.
// The window and the command line fill it the same way, through FileRun.
class RunRecord {
public:
    // Before the run: the start time, and each queued file's filesystem and
    // warning, taken while the file still exists.
    void Begin(const std::vector<QueueEntry>& entries, WipeMethod method, bool verify);
    // After it: what the engine did with each file it reached, and the
    // entries it never reached (still queued after a stop).
    void End(const std::vector<FileOutcome>& outcomes, const std::vector<QueueEntry>& notReached, bool stopped,
             const RunTotals& totals);

    // A free-space wipe in the same run, after the files; alone after a
    // Begin with no entries. Its end is the run's end, its stop the run's.
    void AddFreeSpace(const FreeSpaceOutcome& outcome);

    // The warning that applied to a queued file (OverwriteCaveat), or empty.
    wxString WarningOf(const wxString& path) const;

    wxString Json() const;
    wxString Text() const;
    // Writes the text form when the name ends in ".txt", else JSON, whole
    // or not at all and never through a link (WholeFile); false, with the
    // reason in error, when it cannot be written.
    bool Save(const wxString& file, wxString& error) const;
    // Whether file can be written, asked before a run so that no file is
    // wiped without the record the user asked for. Creates and changes
    // nothing.
    static bool CanSave(const wxString& file, wxString& error);

    // The stable name of a reason in the JSON ("hard_links"); empty for None.
    static wxString ReasonCode(WipeFailure reason);
    // The stable name of what the drive was asked ("discarded"); empty for NotAsked.
    static wxString DiscardCode(Discard::Outcome discard);

private:
    struct Place {
        wxString location;  // the folder the path was bound to, and its name
        wxString filesystem;
        wxString warning;
        StorageMedium::Kind medium = StorageMedium::Kind::Unknown;
    };
    struct File {
        FileOutcome outcome;
        bool reached = true;
    };

    Place PlaceOf(const wxString& path) const;
    // True for Done; else the reason in words in error, where the system gave none.
    static bool Saved(WholeFile::Result result, wxString& error);
    // "files", "free-space" or "files+free-space".
    const char* Kind() const;
    std::string FreeSpaceJson() const;
    wxString FreeSpaceText() const;

    wxString host, user;
    wxDateTime started, ended;
    WipeMethod method = WipeMethod::Random;
    bool verify = false;
    bool stopped = false;
    RunTotals totals;
    std::map<wxString, Place> places;  // by queued path
    std::vector<File> files;
    bool filesRun = false;  // End was called: the record lists a file run
    std::optional<FreeSpaceOutcome> freeSpace;
};
