// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WipeRun.h"

class RunRecord;
struct DriveWipeFacts;

// The box at the end of a run. Where the run has a record it offers "Save
// report...", which writes it to a file the user picks: JSON, or plain text
// for a name ending in ".txt". A whole-drive run offers "Save
// certificate..." instead, stopped or failed ones too.
class EndOfRunBox {
public:
    static void Show(const WipeRun::Outcome& outcome, const RunRecord* record, const DriveWipeFacts* drive = nullptr);
    // Asks for a PDF file's name and writes the certificate of the drive's
    // wipe there; false when cancelled or failed (said in a box of its own).
    static bool SaveCertificate(const DriveWipeFacts& facts);
    // Asks where to save record and saves it; false when cancelled or failed
    // (a failure is said in a box of its own).
    static bool SaveReport(const RunRecord& record);
};
