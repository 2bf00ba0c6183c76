// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunOutcome.h"
#include "engine/RunSurvey.h"
#include "engine/WipeMethod.h"
#include "engine/WipeQueue.h"
#include "platform/WholeFile.h"

#include <wx/datetime.h>
#include <wx/string.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The record of one file run that a user keeps: who wiped what, where, how
// and with what outcome, as JSON (fields in docs/report.md) or plain text.
// The window and the command line fill it the same way, through FileRun.
class RunRecord {
public:
    // Before the run: the start time, and the run's survey of where each
    // queued file is, taken while the files still exist (none for a
    // free-space wipe alone). zeroPass: the files' last pass of zeros.
    void Begin(std::shared_ptr<const RunSurvey> survey, WipeMethod method, bool verify, bool zeroPass = false);
    // After it: what the engine did with each file it reached, moved in,
    // the files it never reached (still queued after a stop), and the
    // desktop's traces of the wiped files, in the order of their files.
    void End(std::vector<FileOutcome> outcomes, std::vector<QueuedFile> notReached, bool stopped,
             const RunTotals& totals, std::vector<TraceOutcome> traces = {});

    // A free-space wipe in the same run, after the files; alone after a
    // Begin with no entries. Its end is the run's end, its stop the run's.
    void AddFreeSpace(const FreeSpaceOutcome& outcome);

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
        wxString folder;    // the folder the path was bound to
        wxString location;  // the folder's part of a path in it; empty until found
        std::string shownFolder, hexFolder;  // that part as the JSON has it
        bool folderExact = false;            // hexFolder holds it exactly
        std::string placeJson;               // the JSON fields of the place, once made
        wxString filesystem;
        wxString warning;
        StorageMedium::Kind medium = StorageMedium::Kind::Unknown;
    };
    // Gives each piece of the record, in order, as UTF-8: a million files
    // are never one text.
    using Pieces = std::function<void(const std::string& piece)>;

    // last: the place of the file before, whose folder's findings are kept.
    Place PlaceOf(const QueuedFile& file, Place& last) const;
    void JsonPieces(const Pieces& write) const;
    void TextPieces(const Pieces& write) const;
    // True for Done; else the reason in words in error, where the system gave none.
    static bool Saved(WholeFile::Result result, wxString& error);
    // "files", "free-space" or "files+free-space".
    const char* Kind() const;
    std::string FreeSpaceJson() const;
    // The JSON list of the traces from traces[at] on that belong to file,
    // at moved past them.
    std::string TracesJson(size_t file, size_t& at) const;
    wxString FreeSpaceText() const;

    wxString host, user;
    wxDateTime started, ended;
    WipeMethod method = WipeMethod::Random;
    bool verify = false;
    bool zeroPass = false;
    bool stopped = false;
    RunTotals totals;
    std::shared_ptr<const RunSurvey> survey;
    std::vector<FileOutcome> outcomes;  // every file reached, in the order met
    std::vector<QueuedFile> notReached;
    std::vector<TraceOutcome> traces;  // by file index; those of the whole run last
    bool filesRun = false;  // End was called: the record lists a file run
    std::optional<FreeSpaceOutcome> freeSpace;
};
