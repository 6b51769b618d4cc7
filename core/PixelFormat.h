// Reading and writing single pixels of a store in its own depth.
#pragma once

#include <cstdint>

#include "Bitmap.h"

namespace vem {

// How one store's pixels are decoded and encoded; built once per operation so
// that inner loops do no per-pixel dispatch on the header.
// Rules of our own (stated here because they are ours to choose):
// - an index past the colour table reads as black, and nothing reads past the table;
// - channels narrower than 8 bits are widened by round(v * 255 / max), channels
//   wider than 8 bits narrowed the same way; an empty mask reads as 0;
// - writing a colour into an indexed depth stores the index of the nearest
//   table entry by squared RGB distance, the first such entry on ties (index 0
//   for an empty table); into 15/16-bit and masked depths, each channel as
//   round(v * max / 255).
class PixelCodec {
public:
    explicit PixelCodec(const TBitmapImage& image);

    // RGB colour (top byte 0) of pixel X of a stored row.
    TColor Decode(const std::uint8_t* row, int x) const;
    // Count pixels from column X0 of a row, as RGB colours.
    void DecodeRow(const std::uint8_t* row, int x0, int count, TColor* out) const;
    // The stored form of an RGB colour in this depth.
    std::uint32_t Encode(TColor rgb) const;
    // Writes a stored form (from Encode) at column X of a row.
    void Store(std::uint8_t* row, int x, std::uint32_t stored) const;

private:
    const TBitmapImage& image_;
    int bitCount_;
    bool masked_;
    std::uint32_t masks_[3];
    int shift_[3];
    std::uint32_t max_[3];
    TColor table_[256];
    int tableSize_;
};

} // namespace vem
