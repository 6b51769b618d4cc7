#include "support/BmpBuilder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"

namespace vem::test {

namespace {
void put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
} // namespace

BmpBuilder::BmpBuilder(std::int32_t width, std::int32_t height, std::uint16_t bitCount)
    : width_(width), height_(height), bitCount_(bitCount) {}

BmpBuilder& BmpBuilder::Core() {
    core_ = true;
    headerSize_ = 12;
    return *this;
}
BmpBuilder& BmpBuilder::HeaderSize(std::uint32_t size) {
    headerSize_ = size;
    return *this;
}
BmpBuilder& BmpBuilder::HeaderTail(Bytes tail) {
    headerTail_ = std::move(tail);
    headerSize_ = std::max<std::uint32_t>(headerSize_, 40 + static_cast<std::uint32_t>(headerTail_.size()));
    return *this;
}
BmpBuilder& BmpBuilder::Type(char a, char b) {
    type_[0] = a;
    type_[1] = b;
    return *this;
}
BmpBuilder& BmpBuilder::Planes(std::uint16_t planes) {
    planes_ = planes;
    return *this;
}
BmpBuilder& BmpBuilder::Compression(std::uint32_t compression) {
    compression_ = compression;
    return *this;
}
BmpBuilder& BmpBuilder::SizeImage(std::uint32_t size) {
    sizeImage_ = size;
    return *this;
}
BmpBuilder& BmpBuilder::Resolution(std::int32_t x, std::int32_t y) {
    xPels_ = x;
    yPels_ = y;
    return *this;
}
BmpBuilder& BmpBuilder::ClrUsed(std::uint32_t n) {
    clrUsed_ = n;
    return *this;
}
BmpBuilder& BmpBuilder::ClrImportant(std::uint32_t n) {
    clrImportant_ = n;
    return *this;
}
BmpBuilder& BmpBuilder::Masks(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    masks_ = std::array<std::uint32_t, 3>{r, g, b};
    return *this;
}
BmpBuilder& BmpBuilder::Table(std::vector<Bgr> entries) {
    table_ = std::move(entries);
    return *this;
}
BmpBuilder& BmpBuilder::Gap(Bytes gap) {
    gap_ = std::move(gap);
    return *this;
}
BmpBuilder& BmpBuilder::Pixels(Bytes pixels) {
    pixels_ = std::move(pixels);
    return *this;
}
BmpBuilder& BmpBuilder::Row(Bytes row) {
    row.resize(std::max<std::size_t>(row.size(), Stride()), 0);
    append(pixels_, row);
    return *this;
}
BmpBuilder& BmpBuilder::FileSize(std::uint32_t size) {
    fileSize_ = size;
    return *this;
}
BmpBuilder& BmpBuilder::OffBits(std::uint32_t off) {
    offBits_ = off;
    return *this;
}

std::uint32_t BmpBuilder::Stride() const {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(width_) * bitCount_ + 31) / 32 * 4);
}

Bytes BmpBuilder::Build() const {
    Bytes header;
    if (core_) {
        put32(header, 12);
        put16(header, static_cast<std::uint32_t>(width_));
        put16(header, static_cast<std::uint32_t>(height_));
        put16(header, planes_);
        put16(header, bitCount_);
    } else {
        put32(header, headerSize_);
        put32(header, static_cast<std::uint32_t>(width_));
        put32(header, static_cast<std::uint32_t>(height_));
        put16(header, planes_);
        put16(header, bitCount_);
        put32(header, compression_);
        put32(header, sizeImage_);
        put32(header, static_cast<std::uint32_t>(xPels_));
        put32(header, static_cast<std::uint32_t>(yPels_));
        put32(header, clrUsed_);
        put32(header, clrImportant_);
        append(header, headerTail_);
        header.resize(headerSize_, 0);
    }
    if (masks_)
        for (std::uint32_t m : *masks_) put32(header, m);
    for (const Bgr& e : table_) {
        header.insert(header.end(), {e.b, e.g, e.r});
        if (!core_) header.push_back(0);
    }
    append(header, gap_);

    Bytes out;
    out.push_back(static_cast<std::uint8_t>(type_[0]));
    out.push_back(static_cast<std::uint8_t>(type_[1]));
    const std::uint32_t off = offBits_.value_or(static_cast<std::uint32_t>(14 + header.size()));
    put32(out, fileSize_.value_or(static_cast<std::uint32_t>(14 + header.size() + pixels_.size())));
    put32(out, 0);
    put32(out, off);
    append(out, header);
    append(out, pixels_);
    return out;
}

namespace rle {
Bytes Repeat(std::uint8_t count, std::uint8_t value) { return {count, value}; }
Bytes EndOfLine() { return {0, 0}; }
Bytes EndOfBitmap() { return {0, 1}; }
Bytes Delta(std::uint8_t dx, std::uint8_t dy) { return {0, 2, dx, dy}; }
Bytes Literal8(std::initializer_list<std::uint8_t> indices) {
    Bytes out{0, static_cast<std::uint8_t>(indices.size())};
    out.insert(out.end(), indices);
    if (indices.size() % 2) out.push_back(0);
    return out;
}
Bytes Literal4(std::uint8_t count, std::initializer_list<std::uint8_t> packed) {
    Bytes out{0, count};
    out.insert(out.end(), packed);
    if (packed.size() % 2) out.push_back(0);
    return out;
}
Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) append(out, p);
    return out;
}
} // namespace rle

Bytes Bmp24(int w, int h, const std::function<std::uint32_t(int, int)>& rgb) {
    BmpBuilder b(w, h);
    // The size field is filled in as a writer would, though readers may
    // leave it 0 for uncompressed rows.
    b.SizeImage(b.Stride() * static_cast<std::uint32_t>(h));
    // Rows bottom first, each pixel stored blue, green, red.
    Bytes row(b.Stride());
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = rgb(x, y);
            const std::size_t at = 3 * static_cast<std::size_t>(x);
            row[at] = static_cast<std::uint8_t>(c);
            row[at + 1] = static_cast<std::uint8_t>(c >> 8);
            row[at + 2] = static_cast<std::uint8_t>(c >> 16);
        }
        b.Row(row);
    }
    return b.Build();
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    // An exception, not a gtest check: the support library serves tests of
    // any framework, and an uncaught throw fails a test all the same.
    if (!in.good()) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void LoadBmp(TBitmap& bitmap, const Bytes& bytes) {
    TMemoryStream stream(bytes);
    bitmap.LoadFromStream(stream);
}

Bytes SaveBmp(TBitmap& bitmap) {
    TVectorWriteStream out;
    bitmap.SaveToStream(out);
    return std::move(out.Bytes);
}

std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8); }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | std::uint32_t(U16(b, at + 2)) << 16; }
std::int32_t I32(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(U32(b, at)); }

} // namespace vem::test
