// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ThreadRandom.h"
#include "engine/RandomAhead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

// The Windows runtime's rand() after srand(1): these values are what a file
// wiped on Windows holds, and every platform must write the same.
TEST(ThreadRandom, UnseededThreadDrawsTheRuntimeSequenceOfSeedOne)
{
    std::vector<int> values;
    std::thread([&] {
        for (int i = 0; i < 5; ++i)
            values.push_back(ThreadRandom::Next());
    }).join();
    EXPECT_EQ(values, (std::vector<int>{41, 18467, 6334, 26500, 19169}));
}

TEST(ThreadRandom, EachThreadHasItsOwnState)
{
    int first = -1;
    int second = -1;
    std::thread([&] {
        ThreadRandom::Seed(12345);
        ThreadRandom::Next();
        std::thread([&] { second = ThreadRandom::Next(); }).join();
        first = ThreadRandom::Next();
    }).join();
    EXPECT_EQ(second, 41);  // untouched by the parent's seed and draws
    int expected = -1;
    std::thread([&] {
        ThreadRandom::Seed(12345);
        ThreadRandom::Next();
        expected = ThreadRandom::Next();
    }).join();
    EXPECT_EQ(first, expected);
}

// Fill jumps several steps at a time; every length, start and split must give
// what the same number of Next() calls gives.
TEST(ThreadRandom, FillGivesTheLowBytesOfSuccessiveDraws)
{
    std::vector<std::string> mismatches;
    std::thread([&] {
        for (uint32_t seed : {0u, 1u, 0xFFFFFFFFu, 1733000000u}) {
            for (size_t n : {0, 1, 31, 32, 33, 63, 64, 65, 100, 476, 1024, 4097, 70001}) {
                ThreadRandom::Seed(seed);
                std::vector<unsigned char> expected(n + 1);
                for (auto& byte : expected)
                    byte = static_cast<unsigned char>(ThreadRandom::Next() & 0xFF);

                ThreadRandom::Seed(seed);
                std::vector<unsigned char> filled(n + 1, 0xAA);
                ThreadRandom::Fill(filled.data(), n);
                // The draw after the fill continues the sequence.
                filled[n] = static_cast<unsigned char>(ThreadRandom::Next() & 0xFF);
                if (filled != expected)
                    mismatches.push_back("seed " + std::to_string(seed) + ", " + std::to_string(n));
            }
            // One stream in pieces of odd lengths, each starting mid-lane.
            ThreadRandom::Seed(seed);
            std::vector<unsigned char> expected(20000);
            for (auto& byte : expected)
                byte = static_cast<unsigned char>(ThreadRandom::Next() & 0xFF);
            ThreadRandom::Seed(seed);
            std::vector<unsigned char> pieces(expected.size());
            size_t at = 0;
            for (size_t n = 1; at < pieces.size(); n = n * 3 + 7) {
                n = std::min(n, pieces.size() - at);
                ThreadRandom::Fill(pieces.data() + at, n);
                at += n;
            }
            if (pieces != expected)
                mismatches.push_back("seed " + std::to_string(seed) + " in pieces");
        }
    }).join();
    EXPECT_TRUE(mismatches.empty()) << mismatches.front();
}

TEST(ThreadRandom, ValuesCoverTheWholeRange)
{
    int lowest = ThreadRandom::maxValue;
    int highest = 0;
    std::thread([&] {
        ThreadRandom::Seed(7);
        for (int i = 0; i < 200000; ++i) {
            const int value = ThreadRandom::Next();
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
        }
    }).join();
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, ThreadRandom::maxValue);
}

// Made ahead on another thread or in line, the pieces handed out are the
// stream Fill gives, whatever their sizes: large ones served from windows,
// tails and small ones after them, one larger than a window. The thread's own
// state is left after the bytes handed out, not after those made ahead.
TEST(ThreadRandom, ReadAheadHandsOutTheSameStreamInAnyPieces)
{
    constexpr size_t big = RandomAhead::windowSize;
    const std::vector<size_t> sizes = {1500, 100, big, big, big, 300000, big, 4096, 10, big, 70000,
                                       65536, 2 * big + 3, big, big - 1, 1, big, 5000, 64};
    bool same = false;
    int after = -1, expectedAfter = -2;
    std::thread([&] {
        size_t total = 0;
        for (size_t n : sizes)
            total += n;
        ThreadRandom::Seed(1733000000u);
        std::vector<unsigned char> expected(total);
        ThreadRandom::Fill(expected.data(), total);
        expectedAfter = ThreadRandom::Next();

        ThreadRandom::Seed(1733000000u);
        std::vector<unsigned char> handed;
        {
            RandomAhead random;
            std::vector<unsigned char> into(2 * big + 3);
            for (size_t n : sizes) {
                const unsigned char* bytes = random.Next(n, into.data());
                handed.insert(handed.end(), bytes, bytes + n);
            }
        }
        after = ThreadRandom::Next();
        same = handed == expected;
    }).join();
    EXPECT_TRUE(same);
    EXPECT_EQ(after, expectedAfter);
}
