// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atk/atk.h>

// One part of a report list's table for ATK (see AccessibleTable): a row
// (column -1), the row of column headers (row -1, column -1), a column header
// (row -1) or a cell. A row is named by its cells with their headings, which
// is what a reader says when the row takes the focus; a cell knows its
// header, and every part its place on screen. Its states and place are asked
// of the table's list each time; once the table lets go, it is defunct.
class AccessibleCell {
public:
    // A new part at row, column of table; the caller holds its only reference.
    static AtkObject* Make(AtkObject* table, int row, int column);
    // The table has let go of part: from now on it is defunct.
    static void Forget(AtkObject* part);
};
