// The run loops of PixelRuns over one kind of vector register. Each vector
// source file includes this with its own register kind and compiles it for
// its own instruction set; everything here is a template of that kind, so no
// function is shared between files built for different processors.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "core/pixels/RunTest.h"

namespace vem::runs {

// Lanes provides: Bytes (register width), Pattern (the three channels'
// bounds laid out over a register, byte I for channel I mod 3) and
// Passing(a, b, pattern) (one bit per byte: byte I of A lies in the bounds
// and within the step of byte I of B).
template <class Lanes> struct Loops {
    // Whole pixels per register.
    static constexpr int Pixels = Lanes::Bytes / 3;
    static constexpr std::uint32_t PixelBytes = (std::uint32_t{1} << (3 * Pixels)) - 1;
    // Bits 0, 3, 6...: the first byte of each pixel.
    static constexpr std::uint32_t FirstBytes = 0x09249249u & PixelBytes;

    static int Right(const std::uint8_t* row, int width, int x, int end, const TRunTest& t) {
        const typename Lanes::Pattern pattern(t);
        // A register read from pixel X must end inside the row.
        const std::int64_t lastLoad = 3 * std::int64_t(width) - Lanes::Bytes;
        for (; x + Pixels <= end && 3 * std::int64_t(x) <= lastLoad; x += Pixels) {
            const std::uint32_t failing = ~Lanes::Passing(row + 3 * std::ptrdiff_t{x}, row + 3 * std::ptrdiff_t{x} - 3, pattern) & PixelBytes;
            if (failing) return x + std::countr_zero(failing) / 3;
        }
        for (; x < end; ++x)
            if (!t.InBounds(row + 3 * std::ptrdiff_t{x}) || !t.Near(row + 3 * std::ptrdiff_t{x}, row + 3 * std::ptrdiff_t{x} - 3)) return x;
        return end;
    }

    static int Left(const std::uint8_t* row, int width, int x, int begin, const TRunTest& t) {
        const typename Lanes::Pattern pattern(t);
        const std::int64_t lastLoad = 3 * std::int64_t(width) - Lanes::Bytes;
        // The register holds pixels X - Pixels + 1 .. X, compared with the ones
        // right of them.
        for (; x - Pixels + 1 >= begin && 3 * std::int64_t(x - Pixels + 2) <= lastLoad; x -= Pixels) {
            const std::uint8_t* first = row + 3 * static_cast<std::ptrdiff_t>(x - Pixels + 1);
            const std::uint32_t failing = ~Lanes::Passing(first, first + 3, pattern) & PixelBytes;
            if (failing) return x - Pixels + 1 + (31 - std::countl_zero(failing)) / 3;
        }
        for (; x >= begin; --x)
            if (!t.InBounds(row + 3 * std::ptrdiff_t{x}) || !t.Near(row + 3 * std::ptrdiff_t{x}, row + 3 * std::ptrdiff_t{x} + 3)) return x;
        return begin - 1;
    }

    static int First(const std::uint8_t* row, const std::uint8_t* neighbour, int width, int x, int end,
                     const TRunTest& t) {
        const typename Lanes::Pattern pattern(t);
        const std::int64_t lastLoad = 3 * std::int64_t(width) - Lanes::Bytes;
        for (; x + Pixels <= end && 3 * std::int64_t(x) <= lastLoad; x += Pixels) {
            const std::uint32_t m = Lanes::Passing(row + 3 * std::ptrdiff_t{x}, neighbour + 3 * std::ptrdiff_t{x}, pattern);
            const std::uint32_t passing = m & (m >> 1) & (m >> 2) & FirstBytes;
            if (passing) return x + std::countr_zero(passing) / 3;
        }
        for (; x < end; ++x)
            if (t.InBounds(row + 3 * std::ptrdiff_t{x}) && t.Near(row + 3 * std::ptrdiff_t{x}, neighbour + 3 * std::ptrdiff_t{x})) return x;
        return end;
    }
};

} // namespace vem::runs
