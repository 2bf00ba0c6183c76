// SPDX-License-Identifier: GPL-3.0-or-later
#include "QueueListCtrl.h"

#include <wx/filename.h>

#include "platform/gui/Accessibility.h"
#include "platform/NativePath.h"

QueueListCtrl::QueueListCtrl(wxWindow* parent)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, -1), wxLC_REPORT | wxLC_VIRTUAL)
{
}

void QueueListCtrl::SetRows(std::vector<QueuedFile> newRows)
{
    rows = std::move(newRows);
    // A virtual list keeps its selection by index: drop it with the old rows.
    SetItemState(-1, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    SetItemCount(static_cast<long>(rows.size()));
    Refresh();
    Accessibility::RowsChanged(*this);
}

std::vector<long> QueueListCtrl::SelectedRows() const
{
    std::vector<long> selected;
    long item = -1;
    while ((item = GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) != -1)
        selected.push_back(item);
    return selected;
}

void QueueListCtrl::DeleteRows(const std::vector<long>& indices)
{
    if (indices.empty())
        return;
    std::vector<bool> doomed(rows.size(), false);
    for (long index : indices)
        doomed[static_cast<size_t>(index)] = true;
    // One pass, whatever the number of rows deleted. A string moved onto
    // itself is left empty: rows before the first deleted one stay put.
    size_t kept = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (doomed[i])
            continue;
        if (kept != i)
            rows[kept] = std::move(rows[i]);
        ++kept;
    }
    rows.resize(kept);
    SetItemState(-1, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    SetItemCount(static_cast<long>(rows.size()));
    Refresh();
    Accessibility::RowsChanged(*this);
}

// Shown by the one display rule: raw stand-ins for bytes that are not UTF-8
// are not text GTK can lay out.
wxString QueueListCtrl::FileNameText(const wxString& path)
{
    return NativePath::Display(wxFileName(path).GetFullName());
}

wxString QueueListCtrl::DirectoryText(const wxString& path)
{
    return NativePath::Display(wxFileName(path).GetPath(wxPATH_GET_VOLUME));
}

wxString QueueListCtrl::OnGetItemText(long item, long column) const
{
    if (item < 0 || static_cast<size_t>(item) >= rows.size())
        return wxString();
    const QueuedFile& file = rows[static_cast<size_t>(item)];
    switch (column) {
    case 0: return FileNameText(file.Path());
    case 1: return DirectoryText(file.Path());
    case 2: return QueueEntry::SizeText(file.Size());
    default: return wxString();
    }
}
