// Runs of 24-bit pixels that pass a colour test, found many pixels at a time.
//
// The magic wand joins a pixel when each of its channels lies inside the
// target bounds and differs by at most a step from the pixel it was reached
// from. Along a row that is a test of each pixel against its neighbour, so
// the run a pixel starts can be measured 10 pixels (32 bytes) per step with
// vector instructions. The plain loops here are the reference the vector
// paths are tested against; which path runs is chosen once, from what the
// processor offers, and tests may narrow it.
#pragma once

#include <array>
#include <cstdint>

namespace vem {

// The test, channels in stored order (blue, green, red): each channel within
// Lo .. Hi, and at most Step away from the pixel joined from. A bound with
// Hi < Lo, or a negative step, lets no pixel pass.
struct TRunTest {
    std::uint8_t Lo[3] = {1, 1, 1};
    std::uint8_t Hi[3] = {0, 0, 0};
    std::uint8_t Step = 0;
    bool Never = true;
    // Lo and Hi spread over 32 bytes (byte I for channel I mod 3), for the vector paths.
    std::uint8_t LoBytes[32] = {}, HiBytes[32] = {};

    TRunTest() = default;
    TRunTest(const std::array<std::uint8_t, 3>& lo, const std::array<std::uint8_t, 3>& hi, std::int64_t step);

    bool InBounds(const std::uint8_t* p) const {
        return p[0] >= Lo[0] && p[0] <= Hi[0] && p[1] >= Lo[1] && p[1] <= Hi[1] && p[2] >= Lo[2] && p[2] <= Hi[2];
    }
    bool Near(const std::uint8_t* p, const std::uint8_t* q) const {
        auto close = [this](int a, int b) { return (a > b ? a - b : b - a) <= Step; };
        return close(p[0], q[0]) && close(p[1], q[1]) && close(p[2], q[2]);
    }
    // P may join from Q.
    bool Joins(const std::uint8_t* p, const std::uint8_t* q) const { return !Never && InBounds(p) && Near(p, q); }
};

enum class TVectorPath { Plain, Sse2, Avx2 };

// The widest path this processor runs.
TVectorPath BestVectorPath();
// The path in use: the best one, unless narrowed.
TVectorPath VectorPath();
// Uses PATH, or the best one when the processor lacks it; returns the one in use.
TVectorPath SetVectorPath(TVectorPath path);

// All three take a row of WIDTH 24-bit pixels and read nothing outside it.
//
// Going right from pixel FROM (>= 1; pixel FROM - 1 is in the run), while each
// pixel joins from its left neighbour: the first pixel before END that does
// not (END when all do).
int RunRight(const std::uint8_t* row, int width, int from, int end, const TRunTest& test);
// Going left from pixel FROM (< WIDTH - 1; pixel FROM + 1 is in the run),
// while each pixel joins from its right neighbour: the first pixel at or
// after BEGIN, seen from FROM, that does not (BEGIN - 1 when all do).
int RunLeft(const std::uint8_t* row, int width, int from, int begin, const TRunTest& test);
// The first pixel X in FROM .. END-1 of ROW that joins from pixel X of
// NEIGHBOUR (a row of the same width): END when none does.
int FirstJoining(const std::uint8_t* row, const std::uint8_t* neighbour, int width, int from, int end,
                 const TRunTest& test);

} // namespace vem
