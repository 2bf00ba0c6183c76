// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Writeback.h"

// Windows has no call that starts a range's writing without waiting for it
// (FlushFileBuffers waits for the whole file): the lazy writer and the pass's
// sync do it all.
void Writeback::Start(int, uint64_t, uint64_t)
{
}

void Writeback::Settle(int, uint64_t)
{
}
