// How a store's pixels were made, when they were made by painting one colour
// over the pixels of a bit map: the wand's mask (its region over white) and
// the erase gesture's finished picture (the region's background over the
// original). Knowing it, the history finds where two such pictures differ
// from their bit maps instead of comparing their pixels, and a mask's reduced
// copies count bits instead of reading every pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/pixels/Color.h"
#include "core/pixels/PixelBlock.h"

namespace vem {

class TBitmapImage;

// One bit per pixel: bit x & 63 of word x >> 6 of row y, each row WordsPerRow
// words, picture rows top first; bits past the width are 0.
struct TPixelBits {
    PixelBlock Words;
    std::size_t WordsPerRow = 0;
    std::int32_t Width = 0, Height = 0;
    const std::uint64_t* Row(std::int64_t y) const {
        return reinterpret_cast<const std::uint64_t*>(Words.data()) + static_cast<std::size_t>(y) * WordsPerRow;
    }
};

// A plain 24-bit store whose pixels are those of its base, except the pixels
// whose bit is set, which hold Colour. The base is the pixels another store
// had when the note was made, named by that store's pixels token (see
// TBitmapImage::PixelsToken), or, without one, BaseColour everywhere. Row
// padding is the base store's, or zero. The store drops the note at its
// next change.
struct TPaintedBits {
    std::shared_ptr<const TPixelBits> Bits;
    // The set bits lie in columns Left .. Right-1 of rows Top .. Bottom-1.
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    std::uint32_t Colour = 0; // blue | green << 8 | red << 16
    bool HasBase = false;
    std::weak_ptr<const char> Base;
    std::uint32_t BaseColour = 0;
};

// Picture columns Left .. Right-1 of rows Top .. Bottom-1.
struct TPixelArea {
    std::int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Empty() const { return Left >= Right || Top >= Bottom; }
};

// COLOR's 24-bit stored value, blue | green << 8 | red << 16.
inline std::uint32_t PackedBgr(TColor color) {
    const TColor c = ResolveColor(color);
    return GetBValue(c) | static_cast<std::uint32_t>(GetGValue(c)) << 8 | static_cast<std::uint32_t>(GetRValue(c)) << 16;
}

// When both stores carry notes on one base (and are of one layout), the
// smallest area outside which their pixels and padding are the same;
// otherwise false.
bool PaintedDifference(const TBitmapImage& a, const TBitmapImage& b, TPixelArea& area);

// Adds to COUNTS[I] the set bits of row Y under box I, for boxes I0 .. I1-1
// of a row cut into BOXES boxes of 2^SHIFT columns, the last one taking the
// rest of the row.
void AddBoxCounts(const TPixelBits& bits, std::int64_t y, int shift, std::int64_t i0, std::int64_t i1,
                  std::int64_t boxes, std::uint64_t* counts);

// How many set bits lie in columns Left .. Right-1 of rows Top .. Bottom-1.
std::uint64_t CountBits(const TPixelBits& bits, std::int64_t left, std::int64_t top, std::int64_t right,
                        std::int64_t bottom);

} // namespace vem
