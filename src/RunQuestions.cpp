#include "RunQuestions.h"

#include <wx/msgdlg.h>

#include <map>

#include "platform/InPlaceFile.h"
#include "platform/OverwriteCaveat.h"

bool RunQuestions::OverwriteReachesData(const std::vector<QueueEntry>& entries)
{
    std::map<wxString, size_t> kinds;
    for (const QueueEntry& entry : entries) {
        const wxString kind = OverwriteCaveat::For(entry.path);
        if (!kind.empty())
            ++kinds[kind];
    }
    if (kinds.empty())
        return true;
    // One line per kind: a filesystem, a network drive and a compressed file
    // each read as what they are. An ext4 journal's copies are cleared after
    // the run, which the line says; the rest stay where they are.
    wxString lines;
    size_t files = 0;
    bool lasting = false;
    for (const auto& kind : kinds) {
        const bool journal = kind.first.StartsWith("ext4 filesystem (");
        lines += wxString::Format("\n- %s: %zu", kind.first, kind.second);
        if (journal)
            lines += " (its journal keeps copies of their data; Vorlix clears them from it at the end of the run)";
        lasting = lasting || !journal;
        files += kind.second;
    }
    const wxString text = wxString::Format(
        "%zu of the queued files are stored where overwriting may not reach their old data:\n%s\n\n%s"
        "Wipe anyway?",
        files, lines,
        lasting ? "There, the new bytes can go to new places, and the old data may stay readable.\n\n" : "");
    return wxMessageBox(text, "Filesystem warning", wxYES_NO | wxNO_DEFAULT | wxICON_WARNING) == wxYES;
}

bool RunQuestions::ClearReadOnly(const std::vector<QueueEntry>& entries)
{
    size_t readOnly = 0;
    for (const QueueEntry& entry : entries)
        if (InPlaceFile::IsReadOnly(entry.path))
            ++readOnly;
    if (readOnly == 0)
        return false;
    const wxString text = wxString::Format(
        "%zu of the queued files are read-only. Clear their read-only attribute and wipe them too?\n\n"
        "No leaves them as they are.",
        readOnly);
    return wxMessageBox(text, "Read-only files", wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION) == wxYES;
}
