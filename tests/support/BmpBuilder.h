// Builds BMP file bytes in code, field by field, so that tests can make any
// well-formed or damaged file without keeping binary files around.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace vem {
class TBitmap;
}

namespace vem::test {

using Bytes = std::vector<std::uint8_t>;

struct Bgr {
    std::uint8_t b = 0, g = 0, r = 0;
};

class BmpBuilder {
public:
    // A bottom-up 24-bit info-header file of the given size, no table.
    BmpBuilder(std::int32_t width, std::int32_t height, std::uint16_t bitCount = 24);

    // The 12-byte core header (width and height written as unsigned 16 bits,
    // 3-byte table entries).
    BmpBuilder& Core();
    // The header size field; sizes above 40 are padded with HeaderTail bytes
    // then zeros, sizes below 40 cut the info header short.
    BmpBuilder& HeaderSize(std::uint32_t size);
    // Bytes of the header after its first 40 (masks of a longer header...).
    BmpBuilder& HeaderTail(Bytes tail);
    BmpBuilder& Type(char a, char b);
    BmpBuilder& Planes(std::uint16_t planes);
    BmpBuilder& Compression(std::uint32_t compression);
    BmpBuilder& SizeImage(std::uint32_t size);
    BmpBuilder& Resolution(std::int32_t x, std::int32_t y);
    BmpBuilder& ClrUsed(std::uint32_t n);
    BmpBuilder& ClrImportant(std::uint32_t n);
    // Masks written after the header (red, green, blue).
    BmpBuilder& Masks(std::uint32_t r, std::uint32_t g, std::uint32_t b);
    BmpBuilder& Table(std::vector<Bgr> entries);
    // Bytes between the table and the pixels.
    BmpBuilder& Gap(Bytes gap);
    // Raw pixel array (or run-length codes), written as given.
    BmpBuilder& Pixels(Bytes pixels);
    // Appends one stored row, padded with zeros to the row stride.
    BmpBuilder& Row(Bytes row);
    // Overrides the computed file header fields.
    BmpBuilder& FileSize(std::uint32_t size);
    BmpBuilder& OffBits(std::uint32_t off);

    Bytes Build() const;

    // The stride of the header's width and bit count.
    std::uint32_t Stride() const;

private:
    char type_[2] = {'B', 'M'};
    bool core_ = false;
    std::uint32_t headerSize_ = 40;
    Bytes headerTail_;
    std::int32_t width_, height_;
    std::uint16_t planes_ = 1, bitCount_;
    std::uint32_t compression_ = 0, sizeImage_ = 0, clrUsed_ = 0, clrImportant_ = 0;
    std::int32_t xPels_ = 0, yPels_ = 0;
    std::optional<std::array<std::uint32_t, 3>> masks_;
    std::vector<Bgr> table_;
    Bytes gap_, pixels_;
    std::optional<std::uint32_t> fileSize_, offBits_;
};

// Run-length codes.
namespace rle {
Bytes Repeat(std::uint8_t count, std::uint8_t value);
Bytes EndOfLine();
Bytes EndOfBitmap();
Bytes Delta(std::uint8_t dx, std::uint8_t dy);
// Literal pixels: 8-bit indices, or for RLE4 nibbles packed two per byte
// (count = number of pixels); padded to an even number of bytes.
Bytes Literal8(std::initializer_list<std::uint8_t> indices);
Bytes Literal4(std::uint8_t count, std::initializer_list<std::uint8_t> packed);
Bytes Join(std::initializer_list<Bytes> parts);
} // namespace rle

// A plain 24-bit bottom-up file of W x H pixels, size field filled in;
// Rgb(x, y) gives pixel (x, y) as 0xRRGGBB.
Bytes Bmp24(int w, int h, const std::function<std::uint32_t(int, int)>& rgb);

// The whole content of a file; throws std::runtime_error when it cannot be
// read, which fails the test.
Bytes ReadFileBytes(const std::string& path);
// Runs the bitmap reader on Bytes / the writer into a byte vector.
void LoadBmp(TBitmap& bitmap, const Bytes& bytes);
Bytes SaveBmp(TBitmap& bitmap);

// Little-endian readers for checking written files.
std::uint16_t U16(const Bytes& b, std::size_t at);
std::uint32_t U32(const Bytes& b, std::size_t at);
std::int32_t I32(const Bytes& b, std::size_t at);

} // namespace vem::test
