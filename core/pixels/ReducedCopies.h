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
    const std::uint8_t* Row(int y) const {
        return Bgr.get() + static_cast<std::size_t>(y) * 3 * static_cast<std::size_t>(Width);
    }
};

class TReducedCopies {
public:
    // Stores with fewer pixels than this are cheap to average directly and
    // get no copies.
    static constexpr std::uint64_t MinPixels = std::uint64_t(1) << 20;

    // The copies of STORE, which owns them and outlives them. The shifts they
    // may have are those from the first whose levels together take less than
    // a third of the store's pixel block, down to a few pixels; none for a
    // small store or one whose pixels cannot be read.
    explicit TReducedCopies(const TBitmapImage& store);

    // The level of the largest shift not above SHIFT, made from the store on
    // first use (a view fitted to the screen needs one level, read once from
    // the store); null when there is none or its memory cannot be had.
    const TReducedLevel* Level(int shift) const;
    // The same copies for STORE, which holds the same pixels (a private copy
    // of this one's store): the levels made so far are copied, not remade.
    std::shared_ptr<const TReducedCopies> CopyFor(const TBitmapImage& store) const;
    // The copies for STORE, whose pixels equal this one's store's except, at
    // most, in picture rows TOP .. BOTTOM-1 and columns LEFT .. RIGHT-1 (same
    // size and depth): the levels made so far are copied, and only their
    // pixels over that area are made again from STORE.
    std::shared_ptr<const TReducedCopies> DeriveFor(const TBitmapImage& store, std::int64_t left, std::int64_t top,
                                                    std::int64_t right, std::int64_t bottom) const;
    // Bytes held by the levels made so far.
    std::uint64_t Bytes() const;

private:
    const TBitmapImage& store_;
    int first_ = 0, last_ = -1;
    // Indexed by shift; enough for halving any store down to one pixel.
    mutable std::array<TReducedLevel, 32> levels_;
    void make(TReducedLevel& level, int shift) const;
    std::shared_ptr<TReducedCopies> copyFor(const TBitmapImage& store) const;
    // Makes level pixels I0 .. I1-1 of level rows J0 .. J1-1 into LEVEL's
    // buffer; false when its working memory cannot be had.
    bool fill(TReducedLevel& level, std::int64_t i0, std::int64_t i1, std::int64_t j0, std::int64_t j1) const;
    struct Scratch;
    // Fill's averaging of store pixels, with its working rows made.
    void average(Scratch& scratch, TReducedLevel& level, std::int64_t i0, std::int64_t i1, std::int64_t j0,
                 std::int64_t j1) const;
    // Fill for a store painted over the store these copies were copied from
    // (LEVEL holds the base's pixels): from the bit counts where they decide.
    bool deriveCounted(const TPaintedBits& painted, TReducedLevel& level, std::int64_t i0, std::int64_t i1,
                       std::int64_t j0, std::int64_t j1) const;
    // The same from the bit map of a store painted over one colour.
    void fillCounted(const TPaintedBits& painted, TReducedLevel& level, std::int64_t i0, std::int64_t i1,
                     std::int64_t j0, std::int64_t j1) const;
};

// The reduced copies of STORE, made on first use and kept with the store
// until its next change (TBitmap::PrepareChange drops them); a store shared
// by several bitmaps shares them too. Levels whose memory cannot be had are
// not made: the caller then averages the store itself.
const TReducedCopies& ReducedCopiesOf(const TBitmapImage& store);

} // namespace vem
