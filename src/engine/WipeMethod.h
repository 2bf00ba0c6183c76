// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How files and free space are overwritten. The values are the codes the
// window's queue stores as its algorithm.
enum class WipeMethod {
    Random = 1,  // one pass of pseudo-random bytes
    DoD = 2,     // 0x00, 0xFF, then a repeated pseudo-random block, each pass synced
};
