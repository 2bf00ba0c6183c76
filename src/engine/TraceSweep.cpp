// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TraceSweep.h"

#include "platform/DesktopTraces.h"
#include "platform/FreeSpace.h"
#include "platform/PathBinding.h"

#include <wx/filefn.h>

#include <algorithm>

namespace {

// The spellings of a file the desktop may know it by: its real place, and
// the absolute path it was given where that is another text.
std::vector<wxString> Spellings(const QueuedFile& file)
{
    std::vector<wxString> paths{FreeSpace::Join(file.Folder(), file.Name())};
    const wxString given = file.Path();
    if (wxIsAbsolutePath(given) && given != paths.front())
        paths.push_back(given);
    return paths;
}

bool Inside(const wxString& path, const wxString& folder)
{
    const wxString prefix = FreeSpace::Join(folder, wxString());
    return path.length() > prefix.length() && path.StartsWith(prefix);
}

wxString FolderOf(const wxString& path)
{
    wxString folder, name;
    uint64_t size = 0;
    return PathBinding::Locate(path, folder, name, size) ? folder : wxString();
}

}  // namespace

TraceSweep::TraceSweep(const std::vector<wxString>& wholeFolders, WipeFile wipe)
    : wholeFolders(wholeFolders), wipe(std::move(wipe))
{
}

void TraceSweep::Run(const std::vector<size_t>& wiped, const FileAt& fileAt)
{
    if (wiped.empty())
        return;
    DesktopTraces desktop;
    if (desktop.Nothing())
        return;
    for (const DesktopTraces::Problem& problem : desktop.ReadProblems())
        Add(TraceOutcome{TraceOutcome::wholeRun, problem.kind, problem.path, false, WipeFailure::None, problem.reason});

    // Each folder wiped as a whole, by every spelling, with the first wiped
    // file inside it, which its own entries are recorded with.
    struct Whole {
        std::vector<wxString> spellings;
        size_t firstFile = TraceOutcome::wholeRun;
    };
    std::vector<Whole> whole;
    for (const wxString& folder : wholeFolders) {
        Whole entry;
        wxString real, name;
        uint64_t size = 0;
        if (PathBinding::Locate(folder, real, name, size))
            entry.spellings.push_back(FreeSpace::Join(real, name));
        if (wxIsAbsolutePath(folder) && (entry.spellings.empty() || entry.spellings.front() != folder))
            entry.spellings.push_back(folder);
        whole.push_back(entry);
    }

    std::vector<DesktopTraces::Found> found;
    std::vector<DesktopTraces::Problem> problems;
    for (const size_t index : wiped) {
        const QueuedFile file = fileAt(index);
        found.clear();
        problems.clear();
        for (const wxString& path : Spellings(file)) {
            desktop.Of(path, found, problems);
            for (Whole& folder : whole) {
                if (folder.firstFile != TraceOutcome::wholeRun)
                    continue;
                for (const wxString& spelling : folder.spellings) {
                    if (Inside(path, spelling))
                        folder.firstFile = index;
                }
            }
        }
        for (const DesktopTraces::Found& trace : found)
            WipeTrace(index, trace);
        for (const DesktopTraces::Problem& problem : problems)
            Add(TraceOutcome{index, problem.kind, problem.path, false, WipeFailure::None, problem.reason});
    }
    // A folder none of whose files this run wiped keeps its entries.
    for (const Whole& folder : whole) {
        if (folder.firstFile == TraceOutcome::wholeRun)
            continue;
        found.clear();
        for (const wxString& spelling : folder.spellings)
            desktop.Under(spelling, found);
        for (const DesktopTraces::Found& trace : found)
            WipeTrace(folder.firstFile, trace);
    }

    const DesktopTraces::Rewrite rewrite = desktop.RewriteRecent();
    if (rewrite.needed) {
        WipeFailure reason = WipeFailure::None;
        wxString detail = rewrite.reason;
        // The new list no longer names the files; the old one's blocks do
        // until they are overwritten.
        const bool wiped = rewrite.done && wipe(rewrite.oldCopy, reason, detail);
        if (rewrite.done)
            AddFolderOf(rewrite.list);
        for (TraceOutcome& trace : traces) {
            if (trace.removed && trace.kind == DesktopTraces::Kind::Recent && trace.path == rewrite.list && !wiped) {
                trace.removed = false;
                trace.reason = reason;
                trace.detail = rewrite.done ? "the old copy of the list could not be wiped" + wxString(detail.empty() ? "" : ": " + detail)
                                            : detail;
                --recent;
                ++notRemoved;
            }
        }
    }
    // Entries of whole folders came last: in file order for the record.
    std::stable_sort(traces.begin(), traces.end(),
                     [](const TraceOutcome& a, const TraceOutcome& b) { return a.file < b.file; });
}

void TraceSweep::WipeTrace(size_t file, const DesktopTraces::Found& found)
{
    TraceOutcome trace{file, found.kind, found.path, true, WipeFailure::None, wxString()};
    // An entry of the xbel goes with the list's rewrite, which says if it failed.
    if (!found.list) {
        trace.removed = wipe(found.path, trace.reason, trace.detail);
        if (trace.removed)
            AddFolderOf(found.path);
    }
    Add(std::move(trace));
}

void TraceSweep::Add(TraceOutcome trace)
{
    if (!trace.removed)
        ++notRemoved;
    else if (trace.kind == DesktopTraces::Kind::Thumbnail)
        ++thumbnails;
    else if (trace.kind == DesktopTraces::Kind::Shortcut)
        ++shortcuts;
    else
        ++recent;
    traces.push_back(std::move(trace));
}

void TraceSweep::AddFolderOf(const wxString& path)
{
    const wxString folder = FolderOf(path);
    if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
}
