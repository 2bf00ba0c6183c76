// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <cstdint>

// The one way sizes are shown: the queue's column, the end-of-run box, the
// free-space texts, the records and the command line's progress.
class ByteSize {
public:
    // "1.50 MB" (1024 to a step, two decimals), "300 B" below a kilobyte.
    // aligned gives bytes two decimals too ("4.00 B"), so that a column of
    // sizes lines up; translated false keeps the decimal point of the saved
    // records, whatever the user's language.
    static wxString Text(uint64_t bytes, bool translated = true, bool aligned = false);
};
