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

    // srand()
    static void Seed(uint32_t seed) { state = seed; }

    // rand(): the next value, 0 to maxValue.
    static int Next()
    {
        state = state * multiplier + increment;
        return static_cast<int>((state >> 16) & maxValue);
    }

    // Stores n values of Next(), each cut to its low 8 bits, and leaves the
    // generator where n calls of Next() would. The values are worked out
    // `lanes` at a time, each lane jumping `lanes` steps ahead, so that the
    // multiplications run side by side (about four times as fast); the bytes
    // are the same.
    static void Fill(unsigned char* bytes, size_t n)
    {
        uint32_t s = state;
        size_t i = 0;
        if (n >= lanes) {
            uint32_t lane[lanes];
            uint32_t t = s;
            for (size_t j = 0; j < lanes; ++j)
                lane[j] = t = t * multiplier + increment;
            do {
                for (size_t j = 0; j < lanes; ++j) {
                    bytes[i + j] = static_cast<unsigned char>(lane[j] >> 16);
                    lane[j] = lane[j] * jumpMultiplier + jumpIncrement;
                }
                s = s * jumpMultiplier + jumpIncrement;
                i += lanes;
            } while (n - i >= lanes);
        }
        for (; i < n; ++i) {
            s = s * multiplier + increment;
            bytes[i] = static_cast<unsigned char>(s >> 16);
        }
        state = s;
    }

private:
    static constexpr uint32_t multiplier = 214013u;
    static constexpr uint32_t increment = 2531011u;
    static constexpr size_t lanes = 32;

    // `lanes` steps at once: s -> s * jumpMultiplier + jumpIncrement (mod 2^32).
    static constexpr uint32_t jumpMultiplier = [] {
        uint32_t m = 1;
        for (size_t k = 0; k < lanes; ++k)
            m *= multiplier;
        return m;
    }();
    static constexpr uint32_t jumpIncrement = [] {
        uint32_t c = 0;
        for (size_t k = 0; k < lanes; ++k)
            c = c * multiplier + increment;
        return c;
    }();

    static inline thread_local uint32_t state = 1;
};
