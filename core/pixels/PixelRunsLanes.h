// The register kinds of the run loops: SSE2 (16 bytes) and, in the file
// built for it, AVX2 (32 bytes). Templates only, for the reason the loops give.
#pragma once

#include <cstdint>

#include <immintrin.h>

#include "core/pixels/RunTest.h"

namespace vem::runs {

// Register kinds, by name: the vector types themselves lose their
// attributes as template arguments.
struct Sse2 {};
struct Avx2 {};

template <class Kind> struct LaneOps;

template <> struct LaneOps<Sse2> {
    using Register = __m128i;
    static constexpr int Bytes = 16;
    static __m128i load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static __m128i splat(std::uint8_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static __m128i passing(__m128i a, __m128i b, __m128i lo, __m128i hi, __m128i step) {
        const __m128i distance = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
        const __m128i near = _mm_cmpeq_epi8(_mm_subs_epu8(distance, step), _mm_setzero_si128());
        const __m128i above = _mm_cmpeq_epi8(_mm_max_epu8(a, lo), a);
        const __m128i below = _mm_cmpeq_epi8(_mm_min_epu8(a, hi), a);
        return _mm_and_si128(near, _mm_and_si128(above, below));
    }
    static std::uint32_t bits(__m128i v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); }
};

#if defined(__AVX2__)
template <> struct LaneOps<Avx2> {
    using Register = __m256i;
    static constexpr int Bytes = 32;
    static __m256i load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static __m256i splat(std::uint8_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static __m256i passing(__m256i a, __m256i b, __m256i lo, __m256i hi, __m256i step) {
        const __m256i distance = _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
        const __m256i near = _mm256_cmpeq_epi8(_mm256_subs_epu8(distance, step), _mm256_setzero_si256());
        const __m256i above = _mm256_cmpeq_epi8(_mm256_max_epu8(a, lo), a);
        const __m256i below = _mm256_cmpeq_epi8(_mm256_min_epu8(a, hi), a);
        return _mm256_and_si256(near, _mm256_and_si256(above, below));
    }
    static std::uint32_t bits(__m256i v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }
};
#endif

// The lanes the loops take, over one register kind.
template <class Kind> struct Lanes {
    using Ops = LaneOps<Kind>;
    using Register = typename Ops::Register;
    static constexpr int Bytes = Ops::Bytes;
    struct Pattern {
        Register lo, hi, step;
        explicit Pattern(const TRunTest& t)
            : lo(Ops::load(t.LoBytes)), hi(Ops::load(t.HiBytes)), step(Ops::splat(t.Step)) {}
    };
    static std::uint32_t Passing(const std::uint8_t* a, const std::uint8_t* b, const Pattern& p) {
        return Ops::bits(Ops::passing(Ops::load(a), Ops::load(b), p.lo, p.hi, p.step));
    }
};

} // namespace vem::runs
