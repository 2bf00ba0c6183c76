// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/listctrl.h>

#include <vector>

#include "engine/WipeQueue.h"

// The queue list: a report-mode list that draws its rows on demand, so that a
// queue of a million files is shown at once; only the rows on screen are
// turned into text. Each row keeps the file as it was queued, so removing a
// row removes exactly its entry.
class QueueListCtrl : public wxListCtrl {
public:
    explicit QueueListCtrl(wxWindow* parent);

    void SetRows(std::vector<QueuedFile> rows);
    const QueuedFile& Row(long index) const { return rows[static_cast<size_t>(index)]; }
    // Indices of the selected rows, in ascending order.
    std::vector<long> SelectedRows() const;
    // Deletes the rows with these indices (ascending); the others keep their order.
    void DeleteRows(const std::vector<long>& indices);

    static wxString FileNameText(const wxString& path);
    static wxString DirectoryText(const wxString& path);

protected:
    wxString OnGetItemText(long item, long column) const override;

private:
    std::vector<QueuedFile> rows;
};
