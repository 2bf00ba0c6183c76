// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RandomWiper.h"

#include "engine/FileOverwriter.h"
#include "engine/RandomAhead.h"
#include "engine/ThreadRandom.h"

#include <ctime>

void RandomWiper::Wipe(WipeQueue* queue)
{
    std::vector<QueuedFile> batch = BeginRun(queue, 1);
    ThreadRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
    // One stream through the files, one draw per byte written, whatever the
    // size of the write calls; made ahead while the last bytes are written.
    {
        // Ended before the final line: once it is written, a face may end the process.
        RandomAhead random;
        RunBatches(queue, std::move(batch), 1, [&random](FileOverwriter& file) {
            return file.Pass(PassPattern::Random, [&random](uint64_t, size_t n, unsigned char* into) { return random.Next(n, into); });
        });
    }
    EndRun("[PseudoRandom] ");
}
