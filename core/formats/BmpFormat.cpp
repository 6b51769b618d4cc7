// BMP files: the bitmap kind's stream reader and writer.
//
// Layout, every number little-endian:
//   file header, 14 bytes: "BM", file size (4), two reserved words, offset of
//     the pixel array (4);
//   header: either the 12-byte core header (size 12, unsigned 16-bit width and
//     height, planes, bit count; rows always bottom-up), or a header of any
//     other size whose first 40 bytes are: size, width, signed height
//     (negative: rows top-down), planes, bit count, compression (0 none,
//     1 RLE8, 2 RLE4, 3 bit masks), size of the pixel array, horizontal and
//     vertical pixels per metre, colours used, colours important;
//   three masks (red, green, blue) after a 40-byte header with compression 3;
//     a longer header carries them in its bytes 40-51;
//   colour table: 3-byte entries (blue, green, red) after a core header,
//     4-byte entries (blue, green, red, 0) otherwise;
//   pixel array: rows padded to whole 32-bit words, in storage order; or the
//     run-length codes.
// Neither the file size nor the pixel offset of the file header is used: the
// pixel data are taken to follow the masks or the colour table directly.

#include <algorithm>
#include <cstring>
#include <new>

#include "core/base/Errors.h"
#include "core/formats/ByteFields.h"
#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"

namespace vem {

namespace {

constexpr std::size_t FileHeaderSize = 14;
constexpr std::uint32_t CoreHeaderSize = 12;
constexpr std::uint32_t InfoHeaderSize = 40;
// Of a longer header only the info part and the masks after it are used.
constexpr std::size_t UsedHeaderBytes = 52;

struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0, height = 0;
    std::uint16_t planes = 0, bitCount = 0;
    std::uint32_t compression = 0, sizeImage = 0;
    std::int32_t xPels = 0, yPels = 0;
    std::uint32_t clrUsed = 0, clrImportant = 0;
    bool core = false;
};

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

[[noreturn]] void raiseInvalid() { throw EInvalidGraphic(msg::InvalidBitmap); }

void skip(TStream& in, std::uint64_t count) {
    std::uint8_t scratch[4096];
    while (count > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scratch));
        in.ReadBuffer(scratch, n);
        count -= n;
    }
}

// Reads the header after its size field. Files ending inside the header and
// info headers shorter than 40 bytes are refused as damaged: the missing
// fields cannot be told from a file cut short.
InfoHeader readHeader(TStream& in, std::uint32_t size, std::vector<std::uint8_t>& head) {
    InfoHeader h;
    h.size = size;
    if (size == CoreHeaderSize) {
        if (in.Remaining() < 8) raiseInvalid();
        head.resize(8);
        in.ReadBuffer(head.data(), 8);
        h.core = true;
        h.width = le16(&head[0]);
        h.height = le16(&head[2]);
        h.planes = le16(&head[4]);
        h.bitCount = le16(&head[6]);
        return h;
    }
    if (size < InfoHeaderSize || size - 4 > in.Remaining()) raiseInvalid();
    head.resize(std::min<std::size_t>(size - 4, UsedHeaderBytes - 4));
    in.ReadBuffer(head.data(), head.size());
    h.width = static_cast<std::int32_t>(le32(&head[0]));
    h.height = static_cast<std::int32_t>(le32(&head[4]));
    h.planes = le16(&head[8]);
    h.bitCount = le16(&head[10]);
    h.compression = le32(&head[12]);
    h.sizeImage = le32(&head[16]);
    h.xPels = static_cast<std::int32_t>(le32(&head[20]));
    h.yPels = static_cast<std::int32_t>(le32(&head[24]));
    h.clrUsed = le32(&head[28]);
    h.clrImportant = le32(&head[32]);
    return h;
}

bool isRunLength(const InfoHeader& h) { return h.compression == 1 || h.compression == 2; }

std::uint64_t absHeight(const InfoHeader& h) {
    std::int64_t v = h.height;
    return static_cast<std::uint64_t>(v < 0 ? -v : v);
}

// The images that cannot be made, and the ones too large to be made here.
// Refused before anything is sized from the header.
void checkBuildable(const InfoHeader& h) {
    switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: raiseInvalid();
    }
    if (h.width < 0 || h.compression > 3) raiseInvalid();
    if (h.compression == 3 && h.bitCount != 16 && h.bitCount != 32) raiseInvalid();
    if (h.compression == 1 && h.bitCount != 8) raiseInvalid();
    if (h.compression == 2 && h.bitCount != 4) raiseInvalid();
    if (isRunLength(h) && h.height < 0) raiseInvalid();
    const std::uint64_t width = static_cast<std::uint64_t>(h.width), height = absHeight(h);
    // Each side alone too: a picture of 0 rows but 2^31 columns is no picture.
    if (width > MaxPixels || height > MaxPixels || width * height > MaxPixels) RaiseTooLarge();
    const std::uint64_t stride = isRunLength(h) ? width * 4 : RowStride(h.width, h.bitCount);
    if (stride * height > MaxBlockBytes) RaiseTooLarge();
}

// Run-length codes are byte pairs: a count above 0 repeats the next byte's
// index (RLE4: its two nibbles in turn); 0,0 ends the row; 0,1 ends the
// picture; 0,2,dx,dy moves right and up; 0,n with n >= 3 gives n literal
// indices, padded to an even number of bytes. Rows go bottom-up like the
// device block. Whatever lands outside the picture is dropped, skipped pixels
// stay black (the block arrives zero-filled), indices past the colour table
// are black, and the codes may stop anywhere.
void decodeRunLength(const std::uint8_t* data, std::size_t size, bool rle4, const std::vector<TRGBQuad>& table,
                     std::int64_t width, std::int64_t height, std::uint8_t* block) {
    std::uint8_t colours[256][4] = {};
    for (std::size_t i = 0; i < table.size() && i < 256; ++i) {
        colours[i][0] = table[i].rgbBlue;
        colours[i][1] = table[i].rgbGreen;
        colours[i][2] = table[i].rgbRed;
    }
    const std::uint64_t stride = static_cast<std::uint64_t>(width) * 4;
    std::int64_t x = 0, y = 0;
    std::size_t p = 0;
    auto put = [&](unsigned index) {
        if (x < width) std::memcpy(block + static_cast<std::uint64_t>(y) * stride + 4 * x, colours[index], 4);
        ++x;
    };
    while (y < height && size - p >= 2) {
        const unsigned count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < width; ++i)
                put(rle4 ? (i & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (size - p < 2) break;
            x += data[p];
            y += data[p + 1];
            p += 2;
        } else {
            const std::size_t bytes = rle4 ? (value + 1) / 2 : value;
            const std::size_t have = std::min(bytes, size - p);
            for (unsigned i = 0; i < value; ++i) {
                const std::size_t at = rle4 ? i / 2 : i;
                if (at >= have) break;
                put(rle4 ? (i & 1 ? data[p + at] & 15 : data[p + at] >> 4) : data[p + at]);
            }
            p += std::min(size - p, (bytes + 1) & ~std::size_t(1));
        }
    }
}

// Copies the whole file into File: the bytes read so far, then the rest of
// the stream. Returns how far into File the reading goes on (past the header).
std::size_t copyWholeFile(TStream& stream, const std::uint8_t* fileHeader, const std::uint8_t* sizeField,
                          const InfoHeader& info, const std::vector<std::uint8_t>& head,
                          std::vector<std::uint8_t>& file) {
    const std::size_t readSoFar = FileHeaderSize + 4 + head.size();
    const std::uint64_t total = readSoFar + stream.Remaining();
    if (total > MaxBlockBytes) RaiseTooLarge();
    try {
        file.resize(static_cast<std::size_t>(total));
    } catch (const std::bad_alloc&) {
        RaiseOutOfMemory();
    }
    std::memcpy(file.data(), fileHeader, FileHeaderSize);
    std::memcpy(file.data() + FileHeaderSize, sizeField, 4);
    std::memcpy(file.data() + FileHeaderSize + 4, head.data(), head.size());
    stream.ReadBuffer(file.data() + readSoFar, file.size() - readSoFar);
    return FileHeaderSize + info.size;
}

std::array<std::uint32_t, 3> readMasks(TStream& in, const InfoHeader& info, const std::vector<std::uint8_t>& head) {
    std::array<std::uint32_t, 3> masks{};
    if (info.compression != 3 || (info.bitCount != 16 && info.bitCount != 32)) return masks;
    std::uint8_t bytes[12] = {};
    if (info.size == InfoHeaderSize)
        in.ReadBuffer(bytes, sizeof bytes);
    else if (head.size() > 36) // a header of 41 to 51 bytes carries only some of them
        std::memcpy(bytes, &head[36], std::min<std::size_t>(head.size() - 36, sizeof bytes));
    for (std::size_t i = 0; i < 3; ++i) masks[i] = le32(bytes + 4 * i);
    // Three zero masks are no masks at all: read as the defaults the writer
    // gives a bitmap without masks of its own, so that a saved copy shows the
    // same picture (read as zeros, every pixel would be black and turn into
    // colours once written back with the defaults).
    if (masks == std::array<std::uint32_t, 3>{})
        masks = info.bitCount == 16 ? std::array<std::uint32_t, 3>{0xF800, 0x07E0, 0x001F}
                                    : std::array<std::uint32_t, 3>{0x00FF0000, 0x0000FF00, 0x000000FF};
    return masks;
}

// Reads ClrUsed entries (0 meaning 2^bits up to 8 bits). More than 256 are
// read through and the first 256 kept: the pixels still follow the whole table.
std::vector<TRGBQuad> readColourTable(TStream& in, const InfoHeader& info, std::uint32_t& clrUsed) {
    clrUsed = info.clrUsed;
    if (clrUsed == 0 && (info.bitCount == 1 || info.bitCount == 4 || info.bitCount == 8))
        clrUsed = 1u << info.bitCount;
    const std::size_t entrySize = info.core ? 3 : 4;
    if (std::uint64_t(clrUsed) * entrySize > in.Remaining()) throw EReadError(msg::ReadError);
    std::vector<TRGBQuad> table(std::min<std::uint32_t>(clrUsed, 256));
    std::vector<std::uint8_t> raw(table.size() * entrySize);
    in.ReadBuffer(raw.data(), raw.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i].rgbBlue = raw[i * entrySize];
        table[i].rgbGreen = raw[i * entrySize + 1];
        table[i].rgbRed = raw[i * entrySize + 2];
    }
    skip(in, std::uint64_t(clrUsed - table.size()) * entrySize);
    return table;
}

// The pixels, after the headers, masks and table: decoded from run-length
// data into a device store, or read as they are into a store of the file's
// depth. IN is at the first byte after the colour table.
void readPixels(TStream& in, const InfoHeader& info, const std::array<std::uint32_t, 3>& masks,
                std::vector<TRGBQuad>& table, std::uint32_t clrUsed, TBitmapImage& image) {
    checkBuildable(info);
    const std::uint64_t height = absHeight(info);
    const std::uint64_t stride = RowStride(info.width, info.bitCount);
    // Run-length data cannot be sized from the rows, and a writer that left the
    // size 0 would otherwise lose the rows past a stride-sized prefix: all of
    // the rest of the file is decoded then.
    std::uint64_t sizeImage = info.sizeImage;
    if (sizeImage == 0) sizeImage = isRunLength(info) ? in.Remaining() : stride * height;
    const std::uint64_t pixelBytes = std::min<std::uint64_t>(sizeImage, in.Remaining());

    image.Width = info.width;
    image.StoredHeight = info.height;
    if (isRunLength(info)) {
        image.Device = true;
        image.BitCount = DeviceBitCount;
        image.Pixels = PixelBlock::Zeroed(static_cast<std::size_t>(std::uint64_t(info.width) * 4 * height));
        const auto* data = image.SavedFile.data() + (image.SavedFile.size() - in.Remaining());
        if (image.HasPixels())
            decodeRunLength(data, static_cast<std::size_t>(pixelBytes), info.compression == 2, table, info.width,
                            static_cast<std::int64_t>(height), image.Pixels.data());
    } else {
        image.BitCount = info.bitCount;
        image.Compression = info.compression;
        image.Masks = masks;
        // Straight from the stream into the zero-filled block: pages that no
        // pixel byte reaches are never touched.
        image.Pixels = PixelBlock::Zeroed(static_cast<std::size_t>(stride * height));
        const std::uint64_t n = std::min<std::uint64_t>(pixelBytes, image.Pixels.size());
        in.ReadBuffer(image.Pixels.data(), static_cast<std::size_t>(n));
        if (info.bitCount <= 8 || clrUsed != 0) image.ColorTable = std::move(table);
    }
}

} // namespace

void TBitmap::LoadFromStream(TStream& stream) {
    if (stream.Remaining() == 0) {
        SetImage(std::make_shared<TBitmapImage>());
        return;
    }
    std::uint8_t fileHeader[FileHeaderSize];
    stream.ReadBuffer(fileHeader, sizeof fileHeader);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') raiseInvalid();
    if (stream.Remaining() < 4) raiseInvalid();
    std::uint8_t sizeField[4];
    stream.ReadBuffer(sizeField, 4);
    std::vector<std::uint8_t> head;
    const InfoHeader info = readHeader(stream, le32(sizeField), head);

    auto image = std::make_shared<TBitmapImage>();
    // A run-length file is kept whole as the bitmap's saved file, and read on
    // from that copy.
    TStream* in = &stream;
    // cppcheck-suppress unreadVariable ; read through In, which points at it
    TMemoryStream copy(nullptr, 0);
    if (isRunLength(info)) {
        const std::size_t at = copyWholeFile(stream, fileHeader, sizeField, info, head, image->SavedFile);
        copy = TMemoryStream(image->SavedFile.data() + at, image->SavedFile.size() - at);
        in = &copy;
    } else if (!info.core) {
        skip(stream, info.size - 4 - head.size());
    }

    if (info.planes != 1) raiseInvalid();
    const std::array<std::uint32_t, 3> masks = readMasks(*in, info, head);
    std::uint32_t clrUsed = 0;
    std::vector<TRGBQuad> table = readColourTable(*in, info, clrUsed);

    readPixels(*in, info, masks, table, clrUsed, *image);
    image->XPelsPerMeter = info.xPels;
    image->YPelsPerMeter = info.yPels;
    image->ClrUsed = clrUsed;
    image->ClrImportant = info.clrImportant;
    image->CoreHeader = info.core;
    SetImage(std::move(image));
}

namespace {

void putFileHeader(std::vector<std::uint8_t>& out, std::uint32_t offBits, std::uint64_t sizeImage) {
    put16(out, 0x4D42);
    put32(out, static_cast<std::uint32_t>(offBits + sizeImage));
    put32(out, 0);
    put32(out, offBits);
}

// The core layout: for up to 8 bits exactly 2^bits entries of 3 bytes, the
// table's own entries then zero ones.
std::vector<std::uint8_t> coreHeaders(const TBitmapImage& im, int bits, std::uint64_t sizeImage) {
    const std::size_t entries = bits <= 8 ? std::size_t(1) << bits : 0;
    const std::size_t n = std::min(im.ColorTable.size(), entries);
    std::vector<std::uint8_t> out;
    putFileHeader(out, static_cast<std::uint32_t>(FileHeaderSize + CoreHeaderSize + 3 * entries), sizeImage);
    put32(out, CoreHeaderSize);
    put16(out, static_cast<std::uint32_t>(im.Width) & 0xFFFF);
    put16(out, static_cast<std::uint32_t>(im.Height()) & 0xFFFF);
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bits));
    for (std::size_t i = 0; i < n; ++i)
        out.insert(out.end(), {im.ColorTable[i].rgbBlue, im.ColorTable[i].rgbGreen, im.ColorTable[i].rgbRed});
    out.resize(out.size() + 3 * (entries - n), 0);
    return out;
}

std::vector<std::uint8_t> infoHeaders(const TBitmapImage& im, int bits, std::int32_t storedHeight,
                                      std::uint64_t sizeImage, bool withMasks) {
    const std::size_t n = std::min<std::size_t>(im.ColorTable.size(), 256);
    std::array<std::uint32_t, 3> masks = im.Masks;
    if (masks == std::array<std::uint32_t, 3>{})
        masks = bits == 16 ? std::array<std::uint32_t, 3>{0xF800, 0x07E0, 0x001F}
                           : std::array<std::uint32_t, 3>{0x00FF0000, 0x0000FF00, 0x000000FF};
    std::vector<std::uint8_t> out;
    putFileHeader(out, static_cast<std::uint32_t>(FileHeaderSize + InfoHeaderSize + (withMasks ? 12 : 0) + 4 * n),
                  sizeImage);
    put32(out, InfoHeaderSize);
    put32(out, static_cast<std::uint32_t>(im.Width));
    put32(out, static_cast<std::uint32_t>(storedHeight));
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bits));
    put32(out, withMasks ? 3 : 0);
    put32(out, static_cast<std::uint32_t>(sizeImage));
    put32(out, static_cast<std::uint32_t>(im.XPelsPerMeter));
    put32(out, static_cast<std::uint32_t>(im.YPelsPerMeter));
    put32(out, n > 0 ? static_cast<std::uint32_t>(n) : im.ClrUsed);
    put32(out, im.ClrImportant);
    if (withMasks)
        for (std::uint32_t m : masks) put32(out, m);
    for (std::size_t i = 0; i < n; ++i) {
        const TRGBQuad& q = im.ColorTable[i];
        out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, std::uint8_t(0)});
    }
    return out;
}

} // namespace

void TBitmap::SaveToStream(TWriteStream& stream) {
    const TBitmapImage& im = *image_;
    if (!im.SavedFile.empty()) {
        stream.Write(im.SavedFile.data(), im.SavedFile.size());
        return;
    }
    if (!im.HasPixels()) return;

    // A device-format bitmap goes out as its 32-bit bottom-up pixels.
    const int bits = im.Device ? DeviceBitCount : im.BitCount;
    const std::int32_t storedHeight = im.Device ? im.Height() : im.StoredHeight;
    const std::uint64_t sizeImage = RowStride(im.Width, bits) * static_cast<std::uint64_t>(im.Height());
    const bool withMasks = !im.Device && (bits == 16 || bits == 32) && im.Compression == 3;
    // The core layout cannot carry masks nor sides past 65535 pixels (a
    // core-header picture widened since), so such a bitmap gets the info
    // header even when it came from a core-header file: cut to 16 bits, its
    // sides would no longer match its rows.
    const bool fitsCore = im.Width <= 0xFFFF && im.Height() <= 0xFFFF;
    const std::vector<std::uint8_t> headers = im.CoreHeader && !withMasks && fitsCore
                                                  ? coreHeaders(im, bits, sizeImage)
                                                  : infoHeaders(im, bits, storedHeight, sizeImage, withMasks);
    stream.Write(headers.data(), headers.size());

    const std::size_t have = static_cast<std::size_t>(std::min<std::uint64_t>(sizeImage, im.Pixels.size()));
    stream.Write(im.Pixels.data(), have);
    // Only a store that lost pixels could be short; its rows are written black.
    std::vector<std::uint8_t> zeros(std::min<std::uint64_t>(sizeImage - have, std::uint64_t(1) << 20));
    for (std::uint64_t left = sizeImage - have; left > 0;) {
        const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
        stream.Write(zeros.data(), k);
        left -= k;
    }
}

} // namespace vem
