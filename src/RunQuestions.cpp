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
    // each read as what they are.
    wxString lines;
    size_t files = 0;
    for (const auto& kind : kinds) {
        lines += wxString::Format("\n- %s: %zu", kind.first, kind.second);
        files += kind.second;
    }
    const wxString text = wxString::Format(
        "%zu of the queued files are stored where overwriting may not reach their old data:\n%s\n\n"
        "There, the new bytes can go to new places, and the old data may stay readable.\n\nWipe anyway?",
        files, lines);
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
