// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>

// The self-updating line on a terminal's standard error during a run.
class ProgressLine {
public:
    // "3/10 files, 120.00 MB of 512.00 MB, 85.30 MB/s, 5 s left"; the files
    // part is left out when files is 0 (a free-space wipe), the time left
    // while nothing has been written or the total is not known yet.
    static wxString Text(uint64_t filesDone, uint64_t files, uint64_t bytesDone, uint64_t bytesTotal,
                         long long elapsedMs);
    // "Clearing the journal... 42%": a step after the bytes, done of total.
    static wxString StepText(const wxString& name, uint64_t done, uint64_t total);
};
