// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ThreadRandom.h"

// The vector paths need GCC's per-function targets. The 256-bit one leaves
// out MinGW's GCC, which cannot align its stack for spilled 256-bit registers.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VORLIX_RANDOM_SSE41 1
#include <immintrin.h>
#if defined(__x86_64__) && !defined(_WIN32)
#define VORLIX_RANDOM_AVX2 1
#endif
#endif

namespace {

constexpr uint32_t a = ThreadRandom::multiplier;
constexpr uint32_t c = ThreadRandom::increment;

// Portable: 32 lanes, which the compiler may keep side by side in registers.
constexpr size_t lanes = 32;
constexpr uint32_t laneA = ThreadRandom::JumpMultiplier(lanes);
constexpr uint32_t laneC = ThreadRandom::JumpIncrement(lanes);

// From state s, stores rounds * lanes bytes; returns the state after them.
uint32_t FillLanes(uint32_t s, unsigned char* bytes, size_t rounds)
{
    uint32_t lane[lanes];
    uint32_t t = s;
    for (size_t j = 0; j < lanes; ++j)
        lane[j] = t = t * a + c;
    for (size_t r = 0; r < rounds; ++r, bytes += lanes) {
        for (size_t j = 0; j < lanes; ++j) {
            bytes[j] = static_cast<unsigned char>(lane[j] >> 16);
            lane[j] = lane[j] * laneA + laneC;
        }
        s = s * laneA + laneC;
    }
    return s;
}

#ifdef VORLIX_RANDOM_SSE41

// The same 32 lanes in eight 4-lane registers, register k holding steps 4k
// to 4k + 3 of each 32, so that packing keeps the step order.
__attribute__((target("sse4.1"))) uint32_t FillLanesSse41(uint32_t s, unsigned char* bytes, size_t rounds)
{
    uint32_t first[lanes];
    uint32_t t = s;
    for (size_t i = 0; i < lanes; ++i)
        first[i] = t = t * a + c;
    __m128i v[8];
    for (size_t k = 0; k < 8; ++k)
        v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 4 * k));
    const __m128i jumpA = _mm_set1_epi32(static_cast<int>(laneA));
    const __m128i jumpC = _mm_set1_epi32(static_cast<int>(laneC));
    const __m128i low = _mm_set1_epi32(0xFF);
    for (size_t r = 0; r < rounds; ++r, bytes += lanes) {
        for (size_t half = 0; half < 2; ++half) {
            __m128i* q = v + 4 * half;
            const __m128i b0 = _mm_and_si128(_mm_srli_epi32(q[0], 16), low);
            const __m128i b1 = _mm_and_si128(_mm_srli_epi32(q[1], 16), low);
            const __m128i b2 = _mm_and_si128(_mm_srli_epi32(q[2], 16), low);
            const __m128i b3 = _mm_and_si128(_mm_srli_epi32(q[3], 16), low);
            const __m128i packed = _mm_packus_epi16(_mm_packus_epi32(b0, b1), _mm_packus_epi32(b2, b3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + 16 * half), packed);
            for (size_t k = 0; k < 4; ++k)
                q[k] = _mm_add_epi32(_mm_mullo_epi32(q[k], jumpA), jumpC);
        }
        s = s * laneA + laneC;
    }
    return s;
}

#endif

#ifdef VORLIX_RANDOM_AVX2

// The same 32 lanes in four 8-lane registers: about ten times the portable
// speed, which puts a pass's bytes well below the cost of writing them.
__attribute__((target("avx2"))) uint32_t FillLanesAvx2(uint32_t s, unsigned char* bytes, size_t rounds)
{
    // Step i of each 32 lies in register (i / 4) % 4, slot i % 4 + 4 * (i / 16):
    // the packs below narrow within 128-bit halves, and this order makes
    // them put the 32 bytes in step order without a shuffle.
    uint32_t first[4][8];
    uint32_t t = s;
    for (size_t i = 0; i < lanes; ++i)
        first[(i / 4) % 4][i % 4 + 4 * (i / 16)] = t = t * a + c;
    __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first[0]));
    __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first[1]));
    __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first[2]));
    __m256i v3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first[3]));
    const __m256i jumpA = _mm256_set1_epi32(static_cast<int>(laneA));
    const __m256i jumpC = _mm256_set1_epi32(static_cast<int>(laneC));
    const __m256i low = _mm256_set1_epi32(0xFF);
    for (size_t r = 0; r < rounds; ++r, bytes += lanes) {
        const __m256i b0 = _mm256_and_si256(_mm256_srli_epi32(v0, 16), low);
        const __m256i b1 = _mm256_and_si256(_mm256_srli_epi32(v1, 16), low);
        const __m256i b2 = _mm256_and_si256(_mm256_srli_epi32(v2, 16), low);
        const __m256i b3 = _mm256_and_si256(_mm256_srli_epi32(v3, 16), low);
        const __m256i packed = _mm256_packus_epi16(_mm256_packus_epi32(b0, b1), _mm256_packus_epi32(b2, b3));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes), packed);
        v0 = _mm256_add_epi32(_mm256_mullo_epi32(v0, jumpA), jumpC);
        v1 = _mm256_add_epi32(_mm256_mullo_epi32(v1, jumpA), jumpC);
        v2 = _mm256_add_epi32(_mm256_mullo_epi32(v2, jumpA), jumpC);
        v3 = _mm256_add_epi32(_mm256_mullo_epi32(v3, jumpA), jumpC);
        s = s * laneA + laneC;
    }
    return s;
}

#endif

using FillFunction = uint32_t (*)(uint32_t s, unsigned char* bytes, size_t rounds);

// The fastest kind the processor runs, chosen once.
FillFunction Chosen()
{
#ifdef VORLIX_RANDOM_AVX2
    if (__builtin_cpu_supports("avx2"))
        return FillLanesAvx2;
#endif
#ifdef VORLIX_RANDOM_SSE41
    if (__builtin_cpu_supports("sse4.1"))
        return FillLanesSse41;
#endif
    return FillLanes;
}

}  // namespace

uint32_t ThreadRandom::Fill(uint32_t s, unsigned char* bytes, size_t n)
{
    const size_t rounds = n / lanes;
    if (rounds != 0) {
        static const FillFunction fill = Chosen();
        s = fill(s, bytes, rounds);
    }
    for (size_t i = rounds * lanes; i < n; ++i) {
        s = s * a + c;
        bytes[i] = static_cast<unsigned char>(s >> 16);
    }
    return s;
}

uint32_t ThreadRandom::Skip(uint32_t s, uint64_t steps)
{
    // The step s -> s * m + k applied 2^i times is (m^2^i, k * (m^(2^i - 1) + ... + 1)).
    uint32_t m = a, k = c;
    for (; steps != 0; steps >>= 1) {
        if (steps & 1)
            s = s * m + k;
        k = k * m + k;
        m = m * m;
    }
    return s;
}
