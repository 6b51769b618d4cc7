// The pixel store behind a bitmap: its header fields, its block and the
// limits that every reader and every sizing checks against.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/pixels/PixelBlock.h"

namespace vem {

class TReducedCopies;
struct TPaintedBits;

enum class TPixelDepth { pdDevice, pd1Bit, pd4Bit, pd8Bit, pd15Bit, pd16Bit, pd24Bit, pd32Bit, pdCustom };

const char* PixelDepthName(TPixelDepth d); // "pd24Bit"...

struct TRGBQuad {
    std::uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
    bool operator==(const TRGBQuad&) const = default;
};

// Hard limits that keep a hostile header from asking for absurd memory:
// more pixels than this, or a block larger than MaxBlockBytes, raises EOutOfMemory
// before anything is allocated.
inline constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 28;      // 16384 x 16384
inline constexpr std::uint64_t MaxBlockBytes = std::uint64_t(1) << 30;  // 1 GiB

// Bytes of one stored row: the pixel bits rounded up to whole 32-bit words.
// 64-bit arithmetic; callers check the result against MaxBlockBytes.
constexpr std::uint64_t RowStride(std::int64_t width, int bitCount) {
    return ((static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 31) / 32) * 4;
}

// The device format: without a display to ask, fixed at 32 bits per pixel
// (blue, green, red, unused), bottom-up, exact colours.
inline constexpr int DeviceBitCount = 32;

// The reference-counted pixel store behind TBitmap. Sharing is by
// std::shared_ptr: use_count() is the reference count of the store, and its
// atomic updates are the process-wide lock around taking and installing stores.
class TBitmapImage {
public:
    std::int32_t Width = 0;
    std::int32_t StoredHeight = 0;      // > 0 bottom-up, < 0 top-down
    std::uint16_t BitCount = 0;         // 0 only in a new empty store
    std::uint32_t Compression = 0;      // 0 none, 3 bit masks (16 and 32 bits)
    std::array<std::uint32_t, 3> Masks{}; // red, green, blue; meaningful when Compression == 3
    // For an uncompressed store: RowStride x |StoredHeight| bytes in storage order.
    // For a device-format store: the device pixels themselves (32-bit, bottom-up).
    // Empty when the bitmap has no pixels (0 x 0, or a zero dimension).
    PixelBlock Pixels;
    bool Device = false;                // device format: Row gives out Converted, not Pixels
    PixelBlock Converted;               // device only: the converted copy, dropped at every change
    std::vector<TRGBQuad> ColorTable;   // <= 256 entries; required up to 8 bits, optional above
    std::int32_t XPelsPerMeter = 0, YPelsPerMeter = 0;
    std::uint32_t ClrUsed = 0, ClrImportant = 0;
    std::vector<std::uint8_t> SavedFile; // run-length files only, until the first change
    bool CoreHeader = false;            // read from a 12-byte core header; written so again
    // Reduced copies for drawing below 100 % (ReducedCopiesOf), made on first
    // use; every change drops them, and a clone starts without.
    mutable std::shared_ptr<const TReducedCopies> Reduced;
    // How the pixels were painted, when the painter said so; a clone starts without.
    std::shared_ptr<const TPaintedBits> Painted;

    int Height() const { return StoredHeight < 0 ? -StoredHeight : StoredHeight; }
    bool TopDown() const { return StoredHeight < 0; }
    std::uint64_t Stride() const { return RowStride(Width, BitCount); }
    // True when Pixels holds every row in the layout the header describes (a
    // store never has a partial block, but readers check rather than trust it).
    bool HasPixels() const {
        return !Pixels.empty() && (!Device || BitCount == DeviceBitCount) &&
               Pixels.size() >= Stride() * static_cast<std::uint64_t>(Height());
    }
    TPixelDepth Depth() const;
    // Three bytes a pixel (blue, green, red) as they lie, no masks, not the
    // device format: the layout the fast paths read directly.
    bool Plain24() const { return !Device && BitCount == 24 && Compression == 0; }
    // Names the pixels as they are now: made on first request and dropped
    // by every change of them, so a weak reference to it tells whether this
    // store still holds the pixels something was derived from.
    std::weak_ptr<const char> PixelsToken() const;
    // Before a change of the pixels in place: drops what was derived from
    // them (the reduced copies, the painted note, the token).
    void PixelsChanging();
    // A deep copy: same header data, pixels, table and flags; no converted copy.
    std::shared_ptr<TBitmapImage> Clone() const;
    // The same without pixels: everything a private copy carries but its block.
    std::shared_ptr<TBitmapImage> HeaderCopy() const;
    // Exchanges everything but the pixels (and the converted copy) with Other.
    void SwapHeader(TBitmapImage& other) noexcept;
    // Address of stored row S (0 = first stored row) of Pixels; no checks.
    std::uint8_t* StoredRow(std::int64_t s) { return Pixels.data() + static_cast<std::uint64_t>(s) * Stride(); }
    const std::uint8_t* StoredRow(std::int64_t s) const { return Pixels.data() + static_cast<std::uint64_t>(s) * Stride(); }
    // Address of picture row Y (0 = top) of Pixels; no checks.
    std::uint8_t* PictureRow(int y) { return StoredRow(TopDown() ? y : Height() - 1 - y); }
    const std::uint8_t* PictureRow(int y) const { return StoredRow(TopDown() ? y : Height() - 1 - y); }

private:
    mutable std::shared_ptr<const char> token_;
};

} // namespace vem
