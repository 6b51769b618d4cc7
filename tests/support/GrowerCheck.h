// The region grower checked against its definition on a picture made from
// bytes: the fuzz target feeds it random inputs, the findings test replays
// the kept ones.
//
// The bytes give a small picture of any depth the model stores, a start
// point, the two levels and a target colour. The grower must find exactly the
// region that a plain breadth-first walk over single-pixel reads finds: on
// every run-measuring path the processor offers (plain, SSE2, AVX2), with the
// span stack nearly full (spans parked), and through the workspace's mode 4,
// where the finished picture must also come out as a copy of the original.
//
// Layout, read from the front (missing bytes read as 0):
//   kind, width, height, flags                      one byte each
//   table size (2 bytes), masks (3 x shift, width), the limit and the
//   approximation level, target colour, start point
//   table entries (4 bytes each), then the pixels: raw stored rows (a row
//   past the end of the input repeats the one before), or with the palette
//   flag 8 stored values (4 bytes each) and one byte per pixel choosing one.
// Flags: 1 top-down, 2 also through the workspace, 4 also with room for only
// 1 + (flags >> 5) waiting spans, 8 palette pixels, 16 an editing picture of
// the source's size (it lends its block to the mask).
// fuzz/make_seeds.py writes inputs in this layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vem::test {

// Empty when the grower agrees with the reference; otherwise what differs
// and where.
std::string CheckGrower(const std::uint8_t* data, std::size_t size);

} // namespace vem::test
