// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// The C runtime's srand()/rand() pair, computed as the Windows runtime does it
// and with its state kept per thread, so that a run writes the same bytes on
// every system: a thread that never seeds draws as if seeded with 1, and every
// wipe thread starts afresh. Not for anything that must be unpredictable.
class ThreadRandom {
public:
    static constexpr int maxValue = 0x7FFF;
    static constexpr uint32_t multiplier = 214013u;
    static constexpr uint32_t increment = 2531011u;

    // srand()
    static void Seed(uint32_t seed) { state = seed; }

    // rand(): the next value, 0 to maxValue.
    static int Next()
    {
        state = state * multiplier + increment;
        return static_cast<int>((state >> 16) & maxValue);
    }

    // Stores n values of Next(), each cut to its low 8 bits, and leaves the
    // generator where n calls of Next() would. The values are worked out many
    // at a time, each lane of them jumping as many steps ahead, so that the
    // multiplications run side by side; the bytes are the same.
    static void Fill(unsigned char* bytes, size_t n) { state = Fill(state, bytes, n); }
    // The same from state s, leaving this thread's state alone: returns the
    // state after the n values, for a thread that makes another's bytes.
    static uint32_t Fill(uint32_t s, unsigned char* bytes, size_t n);
    // This thread's state, to be handed to Fill(s, ...) and taken back with Seed.
    static uint32_t State() { return state; }
    // The state steps draws after s, in about 2 log2(steps) multiplications.
    static uint32_t Skip(uint32_t s, uint64_t steps);

    // s -> s * JumpMultiplier(k) + JumpIncrement(k) (mod 2^32) takes k steps at once.
    static constexpr uint32_t JumpMultiplier(size_t steps)
    {
        uint32_t m = 1;
        for (size_t k = 0; k < steps; ++k)
            m *= multiplier;
        return m;
    }
    static constexpr uint32_t JumpIncrement(size_t steps)
    {
        uint32_t c = 0;
        for (size_t k = 0; k < steps; ++k)
            c = c * multiplier + increment;
        return c;
    }

private:
    static inline thread_local uint32_t state = 1;
};
