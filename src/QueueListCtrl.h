#pragma once

#include <wx/listctrl.h>

#include <vector>

#include "engine/WipeQueue.h"

// The queue list: a report-mode list that draws its rows on demand, so that a
// queue of a hundred thousand files is shown at once. Each row keeps the path
// it was queued under, so removing a row removes exactly its entry.
class QueueListCtrl : public wxListCtrl {
public:
    explicit QueueListCtrl(wxWindow* parent);

    void SetRows(std::vector<QueueEntry> rows);
    const QueueEntry& Row(long index) const { return rows[index]; }
    // Indices of the selected rows, in ascending order.
    std::vector<long> SelectedRows() const;
    // Deletes the rows with these indices (ascending); the others keep their order.
    void DeleteRows(const std::vector<long>& indices);

    static wxString FileNameText(const wxString& path);
    static wxString DirectoryText(const wxString& path);

protected:
    wxString OnGetItemText(long item, long column) const override;

private:
    std::vector<QueueEntry> rows;
};
