// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Wiper.h"

// One pass of pseudo-random bytes over each file, then deletion.
class RandomWiper : public Wiper {
public:
    void Wipe(WipeQueue* queue) override;
};
