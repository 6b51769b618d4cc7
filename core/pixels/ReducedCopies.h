// Reduced copies of a big pixel store, for showing it below 100 %: a screen
// pixel then covers many picture pixels, and averaging them all on every
// repaint would read the whole picture each time. Each level halves the one
// before it, every pixel the rounded mean of the 2 x 2 pixels beneath it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/pixels/BitmapImage.h"

namespace vem {

// One reduced copy: the picture shrunk 2^Shift times, rounded down (at least
// one pixel), its last column and row also averaging what the rounding left
// over. Rows top first, 3 bytes a pixel (blue, green, red), no padding.
struct TReducedLevel {
    int Shift = 0;
    std::int32_t Width = 0, Height = 0;
    std::unique_ptr<std::uint8_t[]> Bgr;
    std::uint8_t* Row(int y) { return Bgr.get() + static_cast<std::size_t>(y) * 3 * static_cast<std::size_t>(Width); }
    const std::uint8_t* Row(int y) const {
        return Bgr.get() + static_cast<std::size_t>(y) * 3 * static_cast<std::size_t>(Width);
    }
};

class TReducedCopies {
public:
    // Stores with fewer pixels than this are cheap to average directly and
    // get no copies.
    static constexpr std::uint64_t MinPixels = std::uint64_t(1) << 20;

    // The levels of STORE from the first one whose copies together take less
    // than a third of the store's pixel block, down to a few pixels. None for
    // a small store or one whose pixels cannot be read.
    explicit TReducedCopies(const TBitmapImage& store);

    // The level of the largest shift not above SHIFT; null when there is none.
    const TReducedLevel* Level(int shift) const;
    // Bytes held by all levels together.
    std::uint64_t Bytes() const;

private:
    // Enough for halving any store down to one pixel.
    std::array<TReducedLevel, 32> levels_;
    int count_ = 0;
};

// The reduced copies of STORE, made on first use and kept with the store
// until its next change (TBitmap::PrepareChange drops them); a store shared
// by several bitmaps shares them too. Levels whose memory cannot be had are
// not made: the caller then averages the store itself.
const TReducedCopies& ReducedCopiesOf(const TBitmapImage& store);

} // namespace vem
