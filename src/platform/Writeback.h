// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Starts putting a stretch of a file's newly written bytes on the device
// without waiting for it, so that the device works while the next bytes are
// made and copied; the sync that ends a pass then has little left to wait for.
// Only a hint: nothing depends on it, failures are ignored.
class Writeback {
public:
    // Every this many bytes written in a row is worth a start: smaller
    // stretches cost calls, larger ones leave the device idle for longer.
    static constexpr uint64_t stretch = 8 << 20;

    // fd as InPlaceFile gives it.
    static void Start(int fd, uint64_t offset, uint64_t length);
    // Waits until the file's bytes before end have left the page cache for
    // the device (not its cache: the pass's sync does that). Called with the
    // start of each stretch begun, it keeps at most two stretches in flight,
    // so that the sync ending a pass, which no stop can cut short, waits for
    // little; a stop between two writes waits for no more than a stretch.
    static void Settle(int fd, uint64_t end);
};
