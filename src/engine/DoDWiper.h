// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Wiper.h"

// Three passes over each file, each from its first byte: 0x00, 0xFF, then one
// block of pseudo-random bytes repeated; then deletion.
class DoDWiper : public Wiper {
public:
    void Wipe(WipeQueue* queue) override;
};
