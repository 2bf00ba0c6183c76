// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DoDWiper.h"

#include "engine/FileOverwriter.h"
#include "engine/ThreadRandom.h"

#include <algorithm>
#include <cstring>

void DoDWiper::Wipe(WipeQueue* queue)
{
    constexpr unsigned passesPerFile = 3;
    // Never seeded: the random block of the k-th file opened is the same in
    // every run, as each run has a fresh thread.
    std::vector<QueuedFile> batch = BeginRun(queue, passesPerFile);

    RunBatches(queue, std::move(batch), passesPerFile, [](FileOverwriter& file) {
        // Filled for every opened file, also an empty one.
        unsigned char random[WIPE_BLOCK_SIZE];
        ThreadRandom::Fill(random, sizeof random);
        const auto zeros = [](uint64_t, size_t n, unsigned char* into) { std::memset(into, 0x00, n); };
        const auto ones = [](uint64_t, size_t n, unsigned char* into) { std::memset(into, 0xFF, n); };
        return file.Pass(PassPattern::Zeros, zeros) && file.Pass(PassPattern::Ones, ones)
            && file.Pass(PassPattern::Random, [&random](uint64_t offset, size_t n, unsigned char* into) {
                   // The random block repeats by file offset, wherever a pass resumes.
                   for (size_t done = 0; done < n;) {
                       const size_t in = (offset + done) % WIPE_BLOCK_SIZE;
                       const size_t piece = std::min(n - done, WIPE_BLOCK_SIZE - in);
                       std::memcpy(into + done, random + in, piece);
                       done += piece;
                   }
               });
    });
    EndRun("[US DoD]");
}
