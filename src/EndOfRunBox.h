// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WipeRun.h"

class RunRecord;

// The box at the end of a run. Where the run has a record it offers "Save
// report...", which writes it to a file the user picks: JSON, or plain text
// for a name ending in ".txt".
class EndOfRunBox {
public:
    static void Show(const WipeRun::Outcome& outcome, const RunRecord* record);
    // Asks where to save record and saves it; false when cancelled or failed
    // (a failure is said in a box of its own).
    static bool SaveReport(const RunRecord& record);
};
