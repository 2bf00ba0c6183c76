#include "engine/DoDWiper.h"

#include "engine/FileOverwriter.h"
#include "engine/ThreadRandom.h"

#include <cstring>

void DoDWiper::Wipe(WipeQueue* queue)
{
    constexpr unsigned passesPerFile = 3;
    // Never seeded: the random block of the k-th file opened is the same in
    // every run, as each run has a fresh thread.
    std::vector<QueueEntry> batch = BeginRun(queue, passesPerFile);

    unsigned char zeros[WIPE_BLOCK_SIZE];
    unsigned char ones[WIPE_BLOCK_SIZE];
    std::memset(zeros, 0x00, sizeof zeros);
    std::memset(ones, 0xFF, sizeof ones);

    RunBatches(queue, std::move(batch), passesPerFile, [&zeros, &ones](FileOverwriter& file) {
        // Filled for every opened file, also an empty one.
        unsigned char random[WIPE_BLOCK_SIZE];
        ThreadRandom::Fill(random, sizeof random);
        // The random block repeats by file offset, wherever a pass resumes.
        return file.Pass([&zeros](uint64_t, size_t) { return zeros; })
            && file.Pass([&ones](uint64_t, size_t) { return ones; })
            && file.Pass([&random](uint64_t offset, size_t) { return random + offset % WIPE_BLOCK_SIZE; });
    });
    EndRun("[US DoD]");
}
