#include "engine/RandomWiper.h"

#include "engine/FileOverwriter.h"
#include "engine/ThreadRandom.h"

#include <ctime>

void RandomWiper::Wipe(WipeQueue* queue)
{
    std::vector<QueueEntry> batch = BeginRun(queue, 1);
    ThreadRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
    RunBatches(queue, std::move(batch), 1, [](FileOverwriter& file) {
        unsigned char block[WIPE_BLOCK_SIZE];
        return file.Pass([&block](uint64_t, size_t n) {
            ThreadRandom::Fill(block, n);
            return block;
        });
    });
    EndRun("[PseudoRandom] ");
}
