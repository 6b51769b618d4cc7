// The BMP reader on files built in code: layouts, fields kept in the store,
// run-length decoding, and the refusals with their exact texts.
#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "core/base/Errors.h"
#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"
#include "support/BmpBuilder.h"
#include "support/TestNames.h"

using namespace vem;
using namespace vem::test;

namespace {

const std::vector<Bgr> TwoColours = {{0, 0, 0}, {255, 255, 255}};

Bytes blockOf(const TBitmap& bmp) {
    const PixelBlock& p = bmp.Image().Pixels;
    return Bytes(p.data(), p.data() + p.size());
}

// Device pixel (X, Y) as blue, green, red.
std::array<int, 3> devicePixel(const TBitmap& bmp, int x, int y) {
    const std::uint8_t* p = bmp.Image().PictureRow(y) + 4 * x;
    return {p[0], p[1], p[2]};
}

TEST(BmpReader, Reads24BitRowsInStorageOrderWithPadding) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(3, 2)
                     .Resolution(2835, 1417)
                     .ClrImportant(7)
                     .Row({1, 2, 3, 4, 5, 6, 7, 8, 9})
                     .Row({11, 12, 13, 14, 15, 16, 17, 18, 19})
                     .Build());
    const TBitmapImage& im = bmp.Image();
    EXPECT_EQ(bmp.Width(), 3);
    EXPECT_EQ(bmp.Height(), 2);
    EXPECT_EQ(im.StoredHeight, 2);
    EXPECT_EQ(bmp.PixelDepth(), TPixelDepth::pd24Bit);
    EXPECT_EQ(im.Stride(), 12u);
    EXPECT_EQ(blockOf(bmp), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0}));
    // Bottom-up: the picture's top row is the last stored row.
    EXPECT_EQ(im.PictureRow(0)[0], 11);
    EXPECT_EQ(im.XPelsPerMeter, 2835);
    EXPECT_EQ(im.YPelsPerMeter, 1417);
    EXPECT_EQ(im.ClrImportant, 7u);
    EXPECT_FALSE(im.CoreHeader);
    EXPECT_TRUE(im.SavedFile.empty());
}

TEST(BmpReader, PixelOffsetIsIgnoredAndAGapReadsAsPixels) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(1, 1).Gap({9, 9}).OffBits(1000).FileSize(1).Pixels({1, 2, 3, 4}).Build());
    EXPECT_EQ(blockOf(bmp), (Bytes{9, 9, 1, 2}));
}

// biSizeImage, the bytes present and the block size: the least of the three
// is read, the rest of the block stays 0.
struct SizeCase {
    std::uint32_t sizeImage;
    Bytes data;
    Bytes block;
};
class PixelByteCount : public ::testing::TestWithParam<SizeCase> {};
TEST_P(PixelByteCount, ReadsTheLeastAndZeroFills) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(1, 2).SizeImage(GetParam().sizeImage).Pixels(GetParam().data).Build());
    EXPECT_EQ(blockOf(bmp), GetParam().block);
}
INSTANTIATE_TEST_SUITE_P(
    Sizes, PixelByteCount,
    ::testing::Values(SizeCase{0, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},      // 0 means the block
                      SizeCase{3, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 0, 0, 0, 0, 0}},      // fewer declared
                      SizeCase{0, {1, 2, 3}, {1, 2, 3, 0, 0, 0, 0, 0}},                     // file cut short
                      SizeCase{0xFFFFFFFF, {1, 2, 3, 4, 5, 6, 7, 8, 9, 9}, {1, 2, 3, 4, 5, 6, 7, 8}}), // never past the block
    [](const auto& info) {
        return "Declared" + std::to_string(info.param.sizeImage) + "_Present" + std::to_string(info.param.data.size());
    });

TEST(BmpReader, CoreHeaderReadsUnsignedSizesAndThreeByteEntries) {
    BmpBuilder b(40000, 1, 1);
    b.Core().Table({{1, 2, 3}, {4, 5, 6}}).Row({0x80});
    TBitmap bmp;
    LoadBmp(bmp, b.Build());
    const TBitmapImage& im = bmp.Image();
    EXPECT_EQ(im.Width, 40000);
    EXPECT_EQ(im.StoredHeight, 1);
    EXPECT_TRUE(im.CoreHeader);
    ASSERT_EQ(im.ColorTable, (std::vector<TRGBQuad>{{1, 2, 3, 0}, {4, 5, 6, 0}}));
    EXPECT_EQ(im.Pixels.data()[0], 0x80);
    EXPECT_EQ(bmp.PixelColor(0, 0), RGB(6, 5, 4));
}

TEST(BmpReader, EmptyStreamGivesAnEmptyBitmap) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(1, 1).Row({1, 2, 3}).Build());
    int changes = 0;
    bmp.OnChange = [&] { ++changes; };
    LoadBmp(bmp, {});
    EXPECT_TRUE(bmp.Empty());
    EXPECT_EQ(bmp.Width(), 0);
    EXPECT_EQ(bmp.PixelDepth(), TPixelDepth::pdDevice);
    EXPECT_EQ(changes, 1);
}

TEST(BmpReader, ZeroFilledBlockForAFileWithFewPixelBytes) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(4096, 4096).Pixels({1, 2, 3}).Build());
    const PixelBlock& p = bmp.Image().Pixels;
    ASSERT_EQ(p.size(), 4096u * 4096u * 3u);
    EXPECT_EQ(p.data()[2], 3);
    EXPECT_EQ(p.data()[3], 0);
    EXPECT_EQ(p.data()[p.size() - 1], 0);
}

TEST(BmpReader, ReadsFromTheStreamPosition) {
    Bytes file = BmpBuilder(1, 1).Row({1, 2, 3}).Build();
    Bytes withPrefix = {7, 7, 7};
    withPrefix.insert(withPrefix.end(), file.begin(), file.end());
    TMemoryStream stream(withPrefix);
    std::uint8_t skip[3];
    stream.ReadBuffer(skip, 3);
    TBitmap bmp;
    bmp.LoadFromStream(stream);
    EXPECT_EQ(blockOf(bmp)[0], 1);
    EXPECT_EQ(stream.Remaining(), 0u);
}

// ---- refusals ---------------------------------------------------------------

struct Refusal {
    const char* name;
    Bytes file;
    std::string exception, message;
};

const std::string Invalid = "ビットマップイメージが不正です";
const std::string ReadErr = "ストリームからの読み込みエラー";
const std::string NoMemory = "メモリが足りません";

Bytes cut(Bytes b, std::size_t n) {
    b.resize(n);
    return b;
}

Bytes patch32(Bytes b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
}

std::vector<Refusal> refusals() {
    const Bytes good = BmpBuilder(2, 2, 8).ClrUsed(2).Table(TwoColours).Row({0, 1}).Row({1, 0}).Build();
    return {
        {"ShorterThanTheFileHeader", cut(good, 13), "EReadError", ReadErr},
        {"NotBM", BmpBuilder(1, 1).Type('B', 'A').Row({0, 0, 0}).Build(), "EInvalidGraphic", Invalid},
        {"EndsInsideTheHeaderSize", cut(good, 16), "EInvalidGraphic", Invalid},
        {"EndsInsideTheHeader", cut(good, 40), "EInvalidGraphic", Invalid},
        {"EndsInsideACoreHeader", cut(BmpBuilder(1, 1).Core().Build(), 20), "EInvalidGraphic", Invalid},
        {"HeaderOf16Bytes", BmpBuilder(1, 1, 8).HeaderSize(16).Pixels(Bytes(1100)).Build(), "EInvalidGraphic", Invalid},
        {"HeaderOf0Bytes", BmpBuilder(1, 1).HeaderSize(0).Pixels(Bytes(100)).Build(), "EInvalidGraphic", Invalid},
        {"HeaderLongerThanTheFile", patch32(good, 14, 0xFFFFFFFF), "EInvalidGraphic", Invalid},
        {"HeaderOneByteTooLong", patch32(good, 14, static_cast<std::uint32_t>(good.size() - 13)), "EInvalidGraphic",
         Invalid},
        {"Planes2", BmpBuilder(1, 1).Planes(2).Row({0}).Build(), "EInvalidGraphic", Invalid},
        {"Planes0InCoreHeader", BmpBuilder(1, 1).Core().Planes(0).Row({0}).Build(), "EInvalidGraphic", Invalid},
        {"BitCount2", BmpBuilder(1, 1, 2).ClrUsed(4).Table(std::vector<Bgr>(4)).Row({0}).Build(), "EInvalidGraphic",
         Invalid},
        {"BitCount0", BmpBuilder(1, 1, 0).Row({0}).Build(), "EInvalidGraphic", Invalid},
        {"BitCount64", BmpBuilder(1, 1, 64).Row({0}).Build(), "EInvalidGraphic", Invalid},
        {"BitCount30000", BmpBuilder(100000, 100000, 30000).Build(), "EInvalidGraphic", Invalid},
        {"Compression4", BmpBuilder(1, 1).Compression(4).Row({0}).Build(), "EInvalidGraphic", Invalid},
        {"MasksAt24Bits", BmpBuilder(1, 1).Compression(3).Row({0}).Build(), "EInvalidGraphic", Invalid},
        {"Rle8At4Bits", BmpBuilder(1, 1, 4).Compression(1).Table(std::vector<Bgr>(16)).Pixels({0, 1}).Build(),
         "EInvalidGraphic", Invalid},
        {"Rle4At8Bits", BmpBuilder(1, 1, 8).Compression(2).Table(std::vector<Bgr>(256)).Pixels({0, 1}).Build(),
         "EInvalidGraphic", Invalid},
        {"RleTopDown", BmpBuilder(1, -1, 8).Compression(1).Table(std::vector<Bgr>(256)).Pixels({0, 1}).Build(),
         "EInvalidGraphic", Invalid},
        {"NegativeWidth", BmpBuilder(-1, 1).Row({0}).Build(), "EInvalidGraphic", Invalid},
        {"TableShort", cut(good, 14 + 40 + 6), "EReadError", ReadErr},
        {"CoreTableShort", cut(BmpBuilder(1, 1, 8).Core().Build(), 14 + 12 + 700), "EReadError", ReadErr},
        {"HugeColourCount", BmpBuilder(1, 1, 8).ClrUsed(0xFFFFFFFF).Pixels(Bytes(64)).Build(), "EReadError", ReadErr},
        {"MasksShort", BmpBuilder(1, 1, 32).Compression(3).Pixels({0, 0, 0, 0, 0, 0}).Build(), "EReadError", ReadErr},
        {"MoreThan2To28Pixels", BmpBuilder(16385, 16385).Build(), "EOutOfMemory", NoMemory},
        {"MostNegativeHeight", BmpBuilder(1, INT_MIN).Build(), "EOutOfMemory", NoMemory},
        {"WidestRowNoHeight", BmpBuilder(INT_MAX, 0).Build(), "EOutOfMemory", NoMemory},
        {"RleTooLarge", BmpBuilder(16385, 16385, 8).Compression(1).Table(std::vector<Bgr>(256)).Pixels({0, 1}).Build(),
         "EOutOfMemory", NoMemory},
        {"CoreTooLarge", BmpBuilder(65535, 65535).Core().Build(), "EOutOfMemory", NoMemory},
    };
}

class BmpRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(BmpRefusal, RaisesAndLeavesTheBitmapAsItWas) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(1, 1).Row({1, 2, 3}).Build());
    const TBitmapImage* before = &bmp.Image();
    try {
        LoadBmp(bmp, GetParam().file);
        FAIL() << "loaded";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.ClassName(), GetParam().exception.c_str());
        EXPECT_EQ(e.Message, GetParam().message);
    }
    EXPECT_EQ(&bmp.Image(), before);
    EXPECT_EQ(bmp.Image().Pixels.data()[0], 1);
}

INSTANTIATE_TEST_SUITE_P(Damaged, BmpRefusal, ::testing::ValuesIn(refusals()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- run-length files -------------------------------------------------------

std::vector<Bgr> rleTable() {
    std::vector<Bgr> t(3);
    t[1] = {0, 0, 255}; // red
    t[2] = {255, 0, 0}; // blue
    return t;
}

TEST(BmpRunLength, Rle8RunsLiteralsDeltasAndEnds) {
    using namespace rle;
    const Bytes codes = Join({Repeat(2, 1), Literal8({2, 1, 7}), EndOfLine(),    // row 0: 1 1 2 1 (index 7 dropped)
                              Delta(1, 1), Repeat(1, 2),                         // row 2 after a delta: . . . 2
                              EndOfLine(), Repeat(1, 9), EndOfBitmap(), Repeat(4, 1)}); // row 3: index 9 past table
    const Bytes file = BmpBuilder(4, 4, 8).Compression(1).ClrUsed(3).Table(rleTable()).Pixels(codes).Build();
    TBitmap bmp;
    LoadBmp(bmp, file);
    EXPECT_EQ(bmp.PixelDepth(), TPixelDepth::pdDevice);
    EXPECT_EQ(bmp.Image().SavedFile, file);
    EXPECT_TRUE(bmp.Image().ColorTable.empty());
    EXPECT_EQ(bmp.Image().ClrUsed, 3u);
    const std::array<int, 3> red{0, 0, 255}, blue{255, 0, 0}, black{0, 0, 0};
    // Picture rows count from the top; the codes start at the bottom row (y 3).
    EXPECT_EQ(devicePixel(bmp, 0, 3), red);
    EXPECT_EQ(devicePixel(bmp, 1, 3), red);
    EXPECT_EQ(devicePixel(bmp, 2, 3), blue);
    EXPECT_EQ(devicePixel(bmp, 3, 3), red);
    EXPECT_EQ(devicePixel(bmp, 0, 2), black); // skipped by the row end
    EXPECT_EQ(devicePixel(bmp, 0, 1), black); // skipped by the delta
    EXPECT_EQ(devicePixel(bmp, 1, 1), blue);
    EXPECT_EQ(devicePixel(bmp, 0, 0), black); // index past the table
    EXPECT_EQ(devicePixel(bmp, 1, 0), black); // after the end of the bitmap
}

TEST(BmpRunLength, Rle4AlternatesNibbles) {
    using namespace rle;
    const Bytes codes = Join({Repeat(3, 0x12), Literal4(3, {0x21, 0x20}), EndOfLine(), Repeat(8, 0x21)});
    TBitmap bmp;
    // biSizeImage 0 is not allowed for run-length data; the whole rest of the
    // file is decoded rather than a stride-sized prefix of it (8 bytes here).
    LoadBmp(bmp, BmpBuilder(6, 2, 4).Compression(2).ClrUsed(3).Table(rleTable()).Pixels(codes).Build());
    const std::array<int, 3> red{0, 0, 255}, blue{255, 0, 0};
    const std::array<std::array<int, 3>, 6> bottom{red, blue, red, blue, red, blue};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(devicePixel(bmp, x, 1), bottom[x]) << x;
    for (int x = 0; x < 6; ++x) EXPECT_EQ(devicePixel(bmp, x, 0), x % 2 ? red : blue) << x;
}

// Codes that leave the picture are clipped; codes cut short stop the decode.
struct ClipCase {
    const char* name;
    Bytes codes;
};
class RleClipping : public ::testing::TestWithParam<ClipCase> {};
TEST_P(RleClipping, NeverWritesOutsideThePicture) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(3, 2, 8).Compression(1).ClrUsed(3).Table(rleTable()).Pixels(GetParam().codes).Build());
    EXPECT_EQ(bmp.Image().Pixels.size(), 3u * 2u * 4u);
    EXPECT_EQ(devicePixel(bmp, 0, 1), (std::array<int, 3>{0, 0, 255}));
}
INSTANTIATE_TEST_SUITE_P(
    Codes, RleClipping,
    ::testing::Values(ClipCase{"RunsPastTheRowAndTheTop",
                               rle::Join({rle::Repeat(1, 1), rle::Repeat(255, 2), rle::Repeat(255, 2), rle::EndOfLine(),
                                          rle::EndOfLine(), rle::EndOfLine(), rle::Repeat(255, 1)})},
                      ClipCase{"DeltaOutOfThePicture",
                               rle::Join({rle::Repeat(1, 1), rle::Delta(255, 255), rle::Repeat(255, 2)})},
                      ClipCase{"LiteralPastTheRow",
                               rle::Join({rle::Repeat(1, 1), rle::Delta(200, 0), rle::Literal8({2, 2, 2, 2, 2})})},
                      ClipCase{"LiteralCutShort", rle::Join({rle::Repeat(1, 1), Bytes{0, 200, 2, 2}})},
                      ClipCase{"DeltaCutShort", rle::Join({rle::Repeat(1, 1), Bytes{0, 2, 1}})},
                      ClipCase{"OddByteAtTheEnd", rle::Join({rle::Repeat(1, 1), Bytes{5}})}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
