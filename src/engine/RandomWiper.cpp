#include "engine/RandomWiper.h"

#include "engine/FileOverwriter.h"
#include "engine/ThreadRandom.h"

#include <ctime>

void RandomWiper::Wipe(WipeQueue* queue)
{
    std::vector<QueuedFile> batch = BeginRun(queue, 1);
    ThreadRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
    // One stream through the files, one draw per byte written, whatever the
    // size of the write calls.
    RunBatches(queue, std::move(batch), 1, [](FileOverwriter& file) {
        return file.Pass([](uint64_t, size_t n, unsigned char* into) { ThreadRandom::Fill(into, n); });
    });
    EndRun("[PseudoRandom] ");
}
