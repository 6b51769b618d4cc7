// The BMP writer, checked against exact bytes.
#include <cstring>

#include <gtest/gtest.h>

#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"
#include "support/BmpBuilder.h"

using namespace vem;
using namespace vem::test;

namespace {

std::shared_ptr<TBitmapImage> store(int width, int storedHeight, int bits, const Bytes& pixels) {
    auto im = std::make_shared<TBitmapImage>();
    im->Width = width;
    im->StoredHeight = storedHeight;
    im->BitCount = static_cast<std::uint16_t>(bits);
    im->Pixels = PixelBlock::Zeroed(pixels.size());
    if (!pixels.empty()) std::memcpy(im->Pixels.data(), pixels.data(), pixels.size());
    return im;
}

Bytes saveStore(std::shared_ptr<TBitmapImage> im) {
    TBitmap bmp;
    bmp.SetImage(std::move(im));
    return SaveBmp(bmp);
}

TEST(BmpWriter, Writes24BitBottomUpExactly) {
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
    const Bytes expected = {
        'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,    // file header
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,  // size, width, height, planes, bits
        0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // compression, size image, resolution
        0, 0, 0, 0, 0, 0, 0, 0,                            // colours used, important
        1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
    EXPECT_EQ(saveStore(store(3, 2, 24, pixels)), expected);
}

TEST(BmpWriter, CoreHeaderPadsTheTableToItsFullSize) {
    auto im = store(3, 1, 1, {0xA0, 0, 0, 0});
    im->CoreHeader = true;
    im->ColorTable = {{1, 2, 3, 0}};
    const Bytes expected = {'B', 'M', 36, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0,  // 14 + 12 + 2 x 3
                            12, 0, 0, 0, 3, 0, 1, 0, 1, 0, 1, 0,           // core header
                            1, 2, 3, 0, 0, 0,                              // entry, then a zero entry
                            0xA0, 0, 0, 0};
    EXPECT_EQ(saveStore(im), expected);
}

TEST(BmpWriter, CoreHeaderDeepBitmapHasNoTable) {
    auto im = store(1, 1, 24, {1, 2, 3, 0});
    im->CoreHeader = true;
    im->ColorTable = {{9, 9, 9, 0}}; // an optional table has no place in the core layout
    const Bytes out = saveStore(im);
    ASSERT_EQ(out.size(), 14u + 12u + 4u);
    EXPECT_EQ(U32(out, 10), 26u);
    EXPECT_EQ(U16(out, 24), 24);
}

// Files the writer must give back byte for byte when saved right after loading.
struct RoundTrip {
    const char* name;
    Bytes file;
    std::uint32_t offBits;
};

std::vector<RoundTrip> roundTrips() {
    std::vector<Bgr> sixteen(16, Bgr{1, 2, 3}), full(256, Bgr{4, 5, 6});
    using namespace rle;
    return {
        {"TopDown24", BmpBuilder(2, -2).SizeImage(16).Row({1, 2, 3, 4, 5, 6}).Row({7, 8, 9, 10, 11, 12}).Build(), 54},
        {"Indexed8With16Entries", BmpBuilder(3, 1, 8).SizeImage(4).ClrUsed(16).Table(sixteen).Row({1, 2, 15}).Build(), 14 + 40 + 64},
        {"Core8", BmpBuilder(2, 1, 8).Core().Table(full).Row({1, 255}).Build(), 14 + 12 + 768},
        {"Core1", BmpBuilder(9, 2, 1).Core().Table({{0, 0, 0}, {255, 255, 255}}).Row({0xFF, 0x80}).Row({1, 0}).Build(),
         32},
        {"Masks565", BmpBuilder(1, 1, 16).SizeImage(4).Compression(3).Masks(0xF800, 0x07E0, 0x001F).Row({0x34, 0x12}).Build(), 66},
        {"Masks32", BmpBuilder(1, 1, 32).SizeImage(4).Compression(3).Masks(0xFF, 0xFF00, 0xFF0000).Row({1, 2, 3, 4}).Build(), 66},
        {"Deep32WithOptionalTable", BmpBuilder(1, 1, 32).SizeImage(4).ClrUsed(2).Table({{1, 1, 1}, {2, 2, 2}}).Row({1, 2, 3, 4}).Build(),
         62},
        {"FieldsKept",
         BmpBuilder(8, 1, 1).SizeImage(4).Resolution(-5, 3780).ClrUsed(2).ClrImportant(1).Table({{0, 0, 0}, {9, 9, 9}}).Row({0x55}).Build(),
         62},
        {"Rle8Verbatim",
         BmpBuilder(4, 2, 8).Compression(1).SizeImage(99).OffBits(7).Table(full).Pixels(Join({Repeat(4, 1), EndOfBitmap(), Bytes{1, 2, 3}})).Build(),
         7},
    };
}

class BmpRoundTrip : public ::testing::TestWithParam<RoundTrip> {};
TEST_P(BmpRoundTrip, SavedRightAfterLoadingGivesTheSameBytes) {
    TBitmap bmp;
    LoadBmp(bmp, GetParam().file);
    const Bytes out = SaveBmp(bmp);
    EXPECT_EQ(out, GetParam().file);
    EXPECT_EQ(U32(out, 10), GetParam().offBits);
}
INSTANTIATE_TEST_SUITE_P(Files, BmpRoundTrip, ::testing::ValuesIn(roundTrips()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpWriter, ZeroSizeImageIsWrittenAsTheBlockSize) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(1, 3).Pixels(Bytes(12, 7)).Build());
    const Bytes out = SaveBmp(bmp);
    EXPECT_EQ(U32(out, 34), 12u);
    EXPECT_EQ(U32(out, 2), 54u + 12u);
}

TEST(BmpWriter, DeviceBitmapAfterAChangeIs32BitBottomUp) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(2, 2, 8)
                     .Compression(1)
                     .Resolution(100, 200)
                     .ClrUsed(2)
                     .Table({{0, 0, 0}, {10, 20, 30}})
                     .Pixels(rle::Join({rle::Repeat(1, 1), rle::EndOfBitmap()}))
                     .Build());
    bmp.PrepareChange(); // drops the saved file
    const Bytes out = SaveBmp(bmp);
    ASSERT_EQ(out.size(), 54u + 16u);
    EXPECT_EQ(U32(out, 10), 54u);
    EXPECT_EQ(I32(out, 18), 2);
    EXPECT_EQ(I32(out, 22), 2);
    EXPECT_EQ(U16(out, 28), 32);
    EXPECT_EQ(U32(out, 30), 0u);
    EXPECT_EQ(U32(out, 34), 16u);
    EXPECT_EQ(I32(out, 38), 100);
    EXPECT_EQ(U32(out, 46), 0u); // colours used, reset by the change
    EXPECT_EQ(Bytes(out.begin() + 54, out.end()), (Bytes{10, 20, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

struct DefaultMasks {
    int bits;
    std::array<std::uint32_t, 3> masks;
};
class BmpDefaultMasks : public ::testing::TestWithParam<DefaultMasks> {};
TEST_P(BmpDefaultMasks, BitmapWithoutMasksOfItsOwnGetsTheDefaults) {
    auto im = store(1, 1, GetParam().bits, Bytes(4));
    im->Compression = 3;
    const Bytes out = saveStore(im);
    EXPECT_EQ(U32(out, 30), 3u);
    EXPECT_EQ(U32(out, 10), 66u);
    EXPECT_EQ((std::array<std::uint32_t, 3>{U32(out, 54), U32(out, 58), U32(out, 62)}), GetParam().masks);
}
INSTANTIATE_TEST_SUITE_P(Depths, BmpDefaultMasks,
                         ::testing::Values(DefaultMasks{16, {0xF800, 0x07E0, 0x001F}},
                                           DefaultMasks{32, {0x00FF0000, 0x0000FF00, 0x000000FF}}),
                         [](const auto& info) { return "Bits" + std::to_string(info.param.bits); });

TEST(BmpWriter, MaskedBitmapFromACoreFileKeepsItsMasks) {
    // The core layout has no place for masks, so the info header is used.
    auto im = store(1, 1, 16, Bytes(4));
    im->CoreHeader = true;
    im->Compression = 3;
    im->Masks = {0xF800, 0x07E0, 0x001F};
    const Bytes out = saveStore(im);
    EXPECT_EQ(U32(out, 14), 40u);
    EXPECT_EQ(U32(out, 30), 3u);
    EXPECT_EQ(U32(out, 58), 0x07E0u);
}

TEST(BmpWriter, BitmapWithoutPixelsWritesNothing) {
    TBitmap empty;
    EXPECT_TRUE(SaveBmp(empty).empty());
    EXPECT_TRUE(saveStore(store(0, 5, 24, {})).empty());
}

// Counts the writes: pixels go out as one block, not row by row or byte by byte.
class CountingStream : public TWriteStream {
public:
    void Write(const void*, std::size_t count) override {
        ++calls;
        bytes += count;
    }
    int calls = 0;
    std::size_t bytes = 0;
};

TEST(BmpWriter, WritesInLargeChunks) {
    TBitmap bmp;
    bmp.SetImage(store(1000, 1000, 24, Bytes(3000u * 1000u)));
    CountingStream out;
    bmp.SaveToStream(out);
    EXPECT_EQ(out.bytes, 54u + 3000u * 1000u);
    EXPECT_LE(out.calls, 2);
}

} // namespace
