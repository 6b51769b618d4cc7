#include "core/pixels/PixelRuns.h"

#if defined(__x86_64__)
#include "core/pixels/PixelRunsLanes.h"
#include "core/pixels/PixelRunsLoops.h"
#endif

namespace vem {

#if defined(__x86_64__)
namespace runs {
// Built for AVX2 in a file of their own.
int RightAvx2(const std::uint8_t* row, int width, int from, int end, const TRunTest& test);
int LeftAvx2(const std::uint8_t* row, int width, int from, int begin, const TRunTest& test);
int FirstAvx2(const std::uint8_t* row, const std::uint8_t* neighbour, int width, int from, int end,
              const TRunTest& test);
using Sse2Loops = Loops<Lanes<Sse2>>;
} // namespace runs
#endif

namespace {

// The plain loops: one pixel at a time, the reference of the others.
int plainRight(const std::uint8_t* row, int x, int end, const TRunTest& t) {
    for (; x < end; ++x)
        if (!t.Joins(row + 3 * std::ptrdiff_t{x}, row + 3 * std::ptrdiff_t{x} - 3)) return x;
    return end;
}
int plainLeft(const std::uint8_t* row, int x, int begin, const TRunTest& t) {
    for (; x >= begin; --x)
        if (!t.Joins(row + 3 * std::ptrdiff_t{x}, row + 3 * std::ptrdiff_t{x} + 3)) return x;
    return begin - 1;
}
int plainFirst(const std::uint8_t* row, const std::uint8_t* neighbour, int x, int end, const TRunTest& t) {
    for (; x < end; ++x)
        if (t.Joins(row + 3 * std::ptrdiff_t{x}, neighbour + 3 * std::ptrdiff_t{x})) return x;
    return end;
}

TVectorPath best() noexcept {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? TVectorPath::Avx2 : TVectorPath::Sse2;
#else
    return TVectorPath::Plain;
#endif
}

// Asked once; every thread sees the same answer.
TVectorPath bestOnce() noexcept {
    static const TVectorPath path = best();
    return path;
}

// The path in use, until a test narrows it.
TVectorPath gPath = bestOnce();

} // namespace

TRunTest::TRunTest(const std::array<std::uint8_t, 3>& lo, const std::array<std::uint8_t, 3>& hi, std::int64_t step)
    : Step(static_cast<std::uint8_t>(step < 0 ? 0 : step > 255 ? 255 : step)), Never(step < 0) {
    for (int c = 0; c < 3; ++c) {
        Lo[c] = lo[static_cast<std::size_t>(c)];
        Hi[c] = hi[static_cast<std::size_t>(c)];
        Never = Never || Hi[c] < Lo[c];
    }
    for (int i = 0; i < 32; ++i) {
        LoBytes[i] = Lo[i % 3];
        HiBytes[i] = Hi[i % 3];
    }
}

TVectorPath BestVectorPath() { return bestOnce(); }
TVectorPath VectorPath() { return gPath; }
TVectorPath SetVectorPath(TVectorPath path) {
    gPath = static_cast<int>(path) <= static_cast<int>(bestOnce()) ? path : bestOnce();
    return gPath;
}

int RunRight(const std::uint8_t* row, int width, int from, int end, const TRunTest& test) {
    if (test.Never) return from < end ? from : end;
    switch (gPath) {
#if defined(__x86_64__)
    case TVectorPath::Avx2: return runs::RightAvx2(row, width, from, end, test);
    case TVectorPath::Sse2: return runs::Sse2Loops::Right(row, width, from, end, test);
#endif
    default: return plainRight(row, from, end, test);
    }
}

int RunLeft(const std::uint8_t* row, int width, int from, int begin, const TRunTest& test) {
    if (test.Never) return from >= begin ? from : begin - 1;
    switch (gPath) {
#if defined(__x86_64__)
    case TVectorPath::Avx2: return runs::LeftAvx2(row, width, from, begin, test);
    case TVectorPath::Sse2: return runs::Sse2Loops::Left(row, width, from, begin, test);
#endif
    default: return plainLeft(row, from, begin, test);
    }
}

int FirstJoining(const std::uint8_t* row, const std::uint8_t* neighbour, int width, int from, int end,
                 const TRunTest& test) {
    if (test.Never) return end;
    switch (gPath) {
#if defined(__x86_64__)
    case TVectorPath::Avx2: return runs::FirstAvx2(row, neighbour, width, from, end, test);
    case TVectorPath::Sse2: return runs::Sse2Loops::First(row, neighbour, width, from, end, test);
#endif
    default: return plainFirst(row, neighbour, from, end, test);
    }
}

} // namespace vem
