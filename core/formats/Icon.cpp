// Icon files (.ico), checked and measured but never decoded.
//
// Layout, all numbers little-endian:
//   directory, 6 bytes:   reserved u16 (0), type u16 (1 icon; 0 also taken), count u16 (>= 1)
//   count entries, 16 bytes each:
//     0 width u8 (0 = 256)     1 height u8 (0 = 256)   2 colour count u8   3 reserved u8
//     4 planes u16             6 bit count u16         8 bytes in resource u32
//     12 offset of the image from the start of the file u32
//   each image: either a PNG stream (signature, then the IHDR chunk) or a
//   40-byte BITMAPINFOHEADER whose height counts the colour rows and the
//   1-bit transparency rows together, followed by the colour table, the
//   colour rows and the transparency rows.
//
// The whole file is kept so that saving writes it back byte for byte; its size
// is the only size that decides an allocation, never a header field.
#include "core/formats/Icon.h"

#include <cstring>
#include <new>

#include "core/base/Errors.h"
#include "core/formats/ByteFields.h"
#include "core/formats/Stream.h"
#include "core/pixels/BitmapImage.h"

namespace vem {

namespace {

using Bytes = std::vector<std::uint8_t>;


[[noreturn]] void invalidIcon() { throw EInvalidGraphic(msg::InvalidIcon); }

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// A PNG image: the signature and a complete IHDR chunk (length 13) first.
void checkPngImage(const Bytes& b, std::uint64_t at, std::uint64_t size) {
    if (size < 8 + 8 + 13 + 4) invalidIcon();
    if (le32(b, at + 8) != 0x0D000000u /* 13, big-endian */ || std::memcmp(&b[at + 12], "IHDR", 4) != 0)
        invalidIcon();
}

// A DIB image: the info header, then as many bytes as its colour table, colour
// rows and transparency rows need.
void checkDibImage(const Bytes& b, std::uint64_t at, std::uint64_t size) {
    if (size < 40 || le32(b, at) != 40) invalidIcon();
    const auto width = static_cast<std::int32_t>(le32(b, at + 4));
    const auto height = static_cast<std::int32_t>(le32(b, at + 8));
    const std::uint32_t bitCount = le16(b, at + 14);
    const std::uint32_t clrUsed = le32(b, at + 32);
    if (width <= 0 || height <= 0) invalidIcon();
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        invalidIcon();
    // Both factors are below 2^31 and the strides below 2^33, so nothing here
    // can overflow 64 bits.
    const std::uint64_t rows = static_cast<std::uint64_t>(height) / 2;
    const std::uint64_t colours = clrUsed != 0 ? clrUsed : (bitCount <= 8 ? (1u << bitCount) : 0);
    const std::uint64_t needed = 40 + 4 * colours + RowStride(width, static_cast<int>(bitCount)) * rows +
                                 RowStride(width, 1) * rows;
    if (needed > size) invalidIcon();
}

} // namespace

void TIcon::AssignFrom(const TGraphic* source) {
    if (source == nullptr) {
        bytes_.clear();
        width_ = height_ = 0;
    } else if (auto icon = dynamic_cast<const TIcon*>(source)) {
        if (icon == this) return;
        bytes_ = icon->bytes_;
        width_ = icon->width_;
        height_ = icon->height_;
    } else {
        throw EConvertError(FormatMessage(msg::CannotAssign, {source->ClassName(), ClassName()}));
    }
    Changed();
}

// An icon's size is that of its images; it cannot be stretched by setting it.
void TIcon::SetWidth(int width) {
    if (width != width_) throw EInvalidGraphicOperation(msg::IconSizeFixed);
}

void TIcon::SetHeight(int height) {
    if (height != height_) throw EInvalidGraphicOperation(msg::IconSizeFixed);
}

std::unique_ptr<TGraphic> TIcon::NewEmpty() const { return std::make_unique<TIcon>(); }

void TIcon::LoadFromStream(TStream& stream) {
    Bytes b = ReadRemaining(stream);
    const std::uint64_t size = b.size();

    // An empty file is no icon: there is no image to take a size from.
    if (size < 6) invalidIcon();
    const std::uint32_t type = le16(b, 2);
    const std::uint32_t count = le16(b, 4);
    // Cursors (type 2) are refused: this kind is for icons.
    if (le16(b, 0) != 0 || (type != 0 && type != 1) || count == 0) invalidIcon();
    const std::uint64_t directoryEnd = 6 + 16 * static_cast<std::uint64_t>(count);
    if (directoryEnd > size) invalidIcon();

    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t entry = 6 + 16 * i;
        const std::uint64_t length = le32(b, entry + 8);
        const std::uint64_t offset = le32(b, entry + 12);
        if (offset < directoryEnd || offset > size || length > size - offset) invalidIcon();
        if (length >= 8 && std::memcmp(&b[offset], kPngSignature, 8) == 0)
            checkPngImage(b, offset, length);
        else
            checkDibImage(b, offset, length);
    }

    bytes_ = std::move(b);
    width_ = bytes_[6] != 0 ? bytes_[6] : 256;
    height_ = bytes_[7] != 0 ? bytes_[7] : 256;
    Changed();
}

void TIcon::SaveToStream(TWriteStream& stream) {
    if (!bytes_.empty()) stream.Write(bytes_.data(), bytes_.size());
}

} // namespace vem
