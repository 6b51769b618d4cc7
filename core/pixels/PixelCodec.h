// Reading and writing single pixels of a store in its own depth.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/pixels/BitmapImage.h"
#include "core/pixels/Color.h"

namespace vem {

// How one store's pixels are decoded and encoded; built once per operation so
// that inner loops do no per-pixel dispatch on the header. Construction is
// cheap (no tables are copied), so a single pixel read may build one.
// Rules of our own (stated here because they are ours to choose):
// - an index past the colour table reads as black, and nothing reads past the table;
// - channels narrower than 8 bits are widened by round(v * 255 / max), channels
//   wider than 8 bits narrowed the same way; an empty mask reads as 0;
// - writing a colour into an indexed depth stores the index of the nearest
//   table entry by squared RGB distance, the first such entry on ties (index 0
//   for an empty table); into 15/16-bit and masked depths, each channel as
//   round(v * max / 255);
// - bit counts the model has no layout for (pdCustom stores other than masked
//   16/32 bits) read as black and are not written.
// The codec keeps a reference to the store's colour table: the store must
// outlive it and its table must not change meanwhile.
class PixelCodec {
public:
    explicit PixelCodec(const TBitmapImage& image);

    // RGB colour (top byte 0) of pixel X of a stored row.
    TColor Decode(const std::uint8_t* row, int x) const;
    // Count pixels from column X0 of a row, as RGB colours.
    void DecodeRow(const std::uint8_t* row, int x0, int count, TColor* out) const;
    // The stored form of an RGB colour in this depth (the top byte is ignored).
    std::uint32_t Encode(TColor rgb) const;
    // Writes a stored form (from Encode) at column X of a row.
    void Store(std::uint8_t* row, int x, std::uint32_t stored) const;
    // Encodes Count colours into a row from column X0. Indexed depths remember
    // recent nearest-colour answers, hence not const.
    void EncodeRow(const TColor* in, int count, std::uint8_t* row, int x0);

private:
    enum class Layout { Indexed, Bgr24, Bgr32, Masked16, Masked32, Unknown };
    Layout layout_ = Layout::Unknown;
    int bitCount_ = 0;
    std::uint32_t masks_[3] = {0, 0, 0};
    int shift_[3] = {0, 0, 0};
    std::uint32_t max_[3] = {0, 0, 0};
    const TRGBQuad* table_ = nullptr;
    int tableSize_ = 0;
    // Widening tables for masked channels up to 12 bits, made on the first DecodeRow.
    mutable std::vector<std::uint8_t> widen_[3];
    // Direct-mapped cache of nearest-colour answers (colour, index), made on first use.
    std::vector<std::uint64_t> nearest_;
    // Masked layouts: each channel's 256 stored forms, made on the first EncodeRow.
    std::vector<std::uint32_t> narrow_;

    TColor decodeMasked(std::uint32_t word) const;
    std::uint32_t nearestIndex(TColor rgb) const;
    std::uint32_t nearestCached(TColor rgb);
};

// The fixed colour tables of depth changes: black/white for pd1Bit, the 16
// standard VGA colours for pd4Bit, a 256-entry halftone table for pd8Bit.
const std::vector<TRGBQuad>& StandardColorTable(TPixelDepth depth);

} // namespace vem
