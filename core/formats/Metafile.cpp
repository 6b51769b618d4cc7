// Metafiles, checked and measured but never played. Three layouts, told apart
// by their first bytes (the extension does not decide: a .wmf may hold either):
//
// Placeable WMF: a 22-byte header, then a plain WMF.
//   0 key u32 0x9AC6CDD7   4 handle u16   6 left, top, right, bottom i16 (bounding box)
//   14 units per inch u16  16 reserved u32   20 checksum u16 (XOR of the ten words before it)
//   Size: the bounding box in units, at 96 pixels per inch.
//
// Plain WMF: an 18-byte header, then records.
//   0 type u16 (1 memory, 2 disk)   2 header size u16 in words (9)   4 version u16 (0x0100, 0x0300)
//   6 size u32 in words   10 object count u16   12 largest record u32   16 parameter count u16
//   Record: size u32 in words (>= 3, header included), function u16, parameters.
//   The records end with the end record (function 0). Size: the extents of the
//   first SetWindowExt record (function 0x020C, parameters y then x), taken
//   without sign since a negative extent only flips an axis; 0 x 0 without one.
//
// EMF: records of type u32, size u32 (bytes, a multiple of 4, >= 8). The first
//   is the header (type 1, at least 88 bytes): 8 bounds i32 x4 in device units,
//   24 frame i32 x4 in 0.01 mm, 40 signature " EMF", 44 version, 48 file size...
//   The last is the end record (type 14). Size: the frame at 96 pixels per inch.
//
// All three must name a size in 0 .. 32767 pixels. The whole file is kept so
// that saving writes it back byte for byte; its size is the only size that
// decides an allocation, never a header field.
#include "core/formats/Metafile.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "core/base/Errors.h"
#include "core/formats/ByteFields.h"
#include "core/formats/Stream.h"

namespace vem {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::int32_t les16(const Bytes& b, std::uint64_t at) { return static_cast<std::int16_t>(le16(b, at)); }
std::int64_t les32(const Bytes& b, std::uint64_t at) { return static_cast<std::int32_t>(le32(b, at)); }

[[noreturn]] void invalidMetafile() { throw EInvalidGraphic(msg::InvalidMetafile); }

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::uint32_t kEmfSignature = 0x464D4520u; // " EMF"
constexpr std::uint64_t kPlaceableSize = 22;
constexpr std::uint64_t kWmfHeaderSize = 18;
constexpr std::uint64_t kEmfHeaderSize = 88;
constexpr int kScreenPpi = 96;
constexpr std::int64_t kMaxExtent = 32767;

// Amount x Numerator / Denominator rounded to the nearest integer, halves away
// from zero; all three are small enough that the product fits 64 bits.
std::int64_t mulDiv(std::int64_t amount, std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t product = amount * numerator;
    const std::int64_t half = denominator / 2;
    return product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
}

int checkedExtent(std::int64_t pixels) {
    if (pixels < 0 || pixels > kMaxExtent) invalidMetafile();
    return static_cast<int>(pixels);
}

struct Measured {
    int width = 0;
    int height = 0;
};

// The plain WMF from At on: header and records up to the end record.
Measured readWmf(const Bytes& b, std::uint64_t at) {
    const std::uint64_t size = b.size();
    if (size - at < kWmfHeaderSize) invalidMetafile();
    const std::uint32_t type = le16(b, at);
    const std::uint32_t version = le16(b, at + 4);
    if ((type != 1 && type != 2) || le16(b, at + 2) != 9 || (version != 0x0100 && version != 0x0300))
        invalidMetafile();

    Measured m;
    bool haveExtent = false;
    std::uint64_t pos = at + kWmfHeaderSize;
    for (;;) {
        if (size - pos < 6) invalidMetafile(); // the records stop before the end record
        const std::uint64_t recordBytes = 2 * static_cast<std::uint64_t>(le32(b, pos));
        const std::uint32_t function = le16(b, pos + 4);
        if (recordBytes < 6 || recordBytes > size - pos) invalidMetafile();
        if (function == 0x0000) break;
        if (function == 0x020C && !haveExtent) {
            if (recordBytes < 10) invalidMetafile();
            m.height = checkedExtent(std::llabs(les16(b, pos + 6)));
            m.width = checkedExtent(std::llabs(les16(b, pos + 8)));
            haveExtent = true;
        }
        pos += recordBytes;
    }
    return m;
}

Measured readPlaceable(const Bytes& b) {
    if (b.size() < kPlaceableSize) invalidMetafile();
    std::uint32_t sum = 0;
    for (std::uint64_t i = 0; i < 20; i += 2) sum ^= le16(b, i);
    const std::int64_t inch = le16(b, 14);
    if (sum != le16(b, 20) || inch == 0) invalidMetafile();
    readWmf(b, kPlaceableSize);
    Measured m;
    m.width = checkedExtent(mulDiv(les16(b, 10) - les16(b, 6), kScreenPpi, inch));
    m.height = checkedExtent(mulDiv(les16(b, 12) - les16(b, 8), kScreenPpi, inch));
    return m;
}

Measured readEmf(const Bytes& b) {
    const std::uint64_t size = b.size();
    if (size < kEmfHeaderSize || le32(b, 0) != 1 || le32(b, 40) != kEmfSignature) invalidMetafile();
    if (le32(b, 4) < kEmfHeaderSize) invalidMetafile();
    std::uint64_t pos = 0;
    for (;;) {
        if (size - pos < 8) invalidMetafile(); // the records stop before the end record
        const std::uint64_t type = le32(b, pos);
        const std::uint64_t recordBytes = le32(b, pos + 4);
        if (recordBytes < 8 || recordBytes % 4 != 0 || recordBytes > size - pos) invalidMetafile();
        if (type == 14) break;
        pos += recordBytes;
    }
    // The frame is in hundredths of a millimetre: 2540 to the inch.
    Measured m;
    m.width = checkedExtent(mulDiv(les32(b, 32) - les32(b, 24), kScreenPpi, 2540));
    m.height = checkedExtent(mulDiv(les32(b, 36) - les32(b, 28), kScreenPpi, 2540));
    return m;
}

} // namespace

void TMetafile::AssignFrom(const TGraphic* source) {
    if (source == nullptr) {
        bytes_.clear();
        width_ = height_ = 0;
        enhanced_ = false;
    } else if (auto metafile = dynamic_cast<const TMetafile*>(source)) {
        if (metafile == this) return;
        bytes_ = metafile->bytes_;
        width_ = metafile->width_;
        height_ = metafile->height_;
        enhanced_ = metafile->enhanced_;
    } else {
        throw EConvertError(FormatMessage(msg::CannotAssign, {source->ClassName(), ClassName()}));
    }
    Changed();
}

// The size is the one the picture is shown at; the recorded bytes stay as
// they are, so a saved file keeps the size it was read with.
void TMetafile::SetWidth(int width) {
    width_ = static_cast<int>(std::clamp<std::int64_t>(width, 0, kMaxExtent));
    Changed();
}

void TMetafile::SetHeight(int height) {
    height_ = static_cast<int>(std::clamp<std::int64_t>(height, 0, kMaxExtent));
    Changed();
}

std::unique_ptr<TGraphic> TMetafile::NewEmpty() const { return std::make_unique<TMetafile>(); }

void TMetafile::LoadFromStream(TStream& stream) {
    Bytes b = ReadRemaining(stream);
    const std::uint64_t size = b.size();

    // An empty file holds no header, so it is no metafile of any layout.
    if (size < 4) invalidMetafile();
    Measured m;
    bool enhanced = false;
    if (le32(b, 0) == kPlaceableKey) {
        m = readPlaceable(b);
    } else if (le32(b, 0) == 1 && size >= kEmfHeaderSize) {
        m = readEmf(b);
        enhanced = true;
    } else {
        m = readWmf(b, 0);
    }

    bytes_ = std::move(b);
    width_ = m.width;
    height_ = m.height;
    enhanced_ = enhanced;
    Changed();
}

void TMetafile::SaveToStream(TWriteStream& stream) {
    if (!bytes_.empty()) stream.Write(bytes_.data(), bytes_.size());
}

} // namespace vem
