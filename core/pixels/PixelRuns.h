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

#include <cstdint>

#include "core/pixels/RunTest.h"

namespace vem {

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
