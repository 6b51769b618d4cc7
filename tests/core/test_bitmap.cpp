#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/base/Errors.h"
#include "core/pixels/Bitmap.h"
#include "core/pixels/PaintedBits.h"
#include "core/pixels/PixelCodec.h"
#include "core/pixels/ReducedCopies.h"

namespace vem {
namespace {

// A W x H bitmap made the way the program makes one: blank, then converted.
std::unique_ptr<TBitmap> makeBitmap(int w, int h, TPixelDepth depth) {
    auto b = std::make_unique<TBitmap>();
    b->SetWidth(w);
    b->SetHeight(h);
    if (depth != TPixelDepth::pdDevice) b->SetPixelDepth(depth);
    return b;
}

// A store filled by hand, as the file reader fills one.
std::shared_ptr<TBitmapImage> makeStore(int w, int storedHeight, int bits) {
    auto img = std::make_shared<TBitmapImage>();
    img->Width = w;
    img->StoredHeight = storedHeight;
    img->BitCount = static_cast<std::uint16_t>(bits);
    img->Pixels = PixelBlock::Zeroed(img->Stride() * static_cast<std::uint64_t>(img->Height()));
    return img;
}

void expectScanLineError(TBitmap& b, int y) {
    try {
        b.Row(y);
        FAIL() << "Row(" << y << ") did not raise";
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message, "スキャンライン のインデックスが範囲を越えました");
    }
}

TEST(BitmapTest, NewBitmapIsAnEmptyDeviceStore) {
    TBitmap b;
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.PixelDepth(), TPixelDepth::pdDevice);
    EXPECT_EQ(b.Image().BitCount, 0);
    expectScanLineError(b, 0);
}

TEST(BitmapTest, SizingANewBitmapGivesWhiteDevicePixels) {
    TBitmap b;
    b.SetWidth(3);
    // Only one dimension: no pixels yet, but the width reads back.
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_FALSE(b.Image().HasPixels());
    expectScanLineError(b, 0);
    b.Surface().SetPixelColor(0, 0, clRed); // no pixels: nothing to write, no failure
    b.SetHeight(2);
    const TBitmapImage& img = b.Image();
    EXPECT_TRUE(img.Device);
    EXPECT_EQ(img.BitCount, 32);
    EXPECT_EQ(img.Compression, 0u);
    EXPECT_EQ(img.StoredHeight, 2);
    EXPECT_TRUE(img.ColorTable.empty());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(b.PixelColor(x, y), clWhite);

    TBitmap flat; // zero width, some height, negative sizes as 0
    flat.SetWidth(-5);
    flat.SetHeight(4);
    EXPECT_EQ(flat.Width(), 0);
    EXPECT_EQ(flat.Height(), 4);
    expectScanLineError(flat, 0);
}

TEST(BitmapTest, OversizedBitmapIsRefusedBeforeAllocating) {
    TBitmap b;
    b.SetWidth(1 << 15);
    try {
        b.SetHeight(1 << 15); // 2^30 pixels
        FAIL() << "no error";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message, "メモリが足りません");
    }
    EXPECT_EQ(b.Height(), 0);
    EXPECT_FALSE(b.Image().HasPixels());
}

TEST(BitmapTest, RowAddressesFollowOrientation) {
    TBitmap up;
    up.SetImage(makeStore(2, 3, 24));
    TBitmap down;
    down.SetImage(makeStore(2, -3, 24));
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(up.Row(y), up.MutableImage().StoredRow(2 - y)) << y;
        EXPECT_EQ(down.Row(y), down.MutableImage().StoredRow(y)) << y;
    }
    for (TBitmap* b : {&up, &down}) {
        expectScanLineError(*b, -1);
        expectScanLineError(*b, 3);
    }
}

TEST(BitmapTest, RowPreparesAChangeEvenWhenItFails) {
    TBitmap a;
    a.SetImage(makeStore(2, 2, 24));
    a.MutableImage().ClrUsed = 7;
    a.MutableImage().SavedFile = {1, 2, 3};
    TBitmap b;
    b.AssignFrom(&a);
    expectScanLineError(b, 9);
    EXPECT_NE(&a.Image(), &b.Image());
    EXPECT_EQ(b.Image().ClrUsed, 0u);
    EXPECT_TRUE(b.Image().SavedFile.empty());
    EXPECT_EQ(a.Image().ClrUsed, 7u);
    EXPECT_EQ(a.Image().SavedFile.size(), 3u);

    auto device = makeBitmap(2, 2, TPixelDepth::pdDevice);
    device->Row(0);
    const TBitmapImage* store = &device->Image();
    device->PrepareChange();
    EXPECT_EQ(&device->Image(), store) << "an unshared store is changed in place";
    EXPECT_TRUE(device->Image().Converted.empty());
}

TEST(BitmapTest, DeviceRowIsAConvertedCopyLostAtTheNextChange) {
    auto b = makeBitmap(2, 2, TPixelDepth::pdDevice);
    std::uint8_t* row = b->Row(1);
    EXPECT_EQ(row[0], 255);
    row[0] = row[1] = row[2] = 0; // only the copy
    EXPECT_EQ(b->PixelColor(0, 1), clWhite);
    EXPECT_EQ(b->Row(1)[0], 255);
    // A write through the surface shows in the next Row.
    b->Surface().SetPixelColor(1, 1, RGB(10, 20, 30));
    const std::uint8_t* again = b->Row(1);
    EXPECT_EQ(again[4], 30);
    EXPECT_EQ(again[5], 20);
    EXPECT_EQ(again[6], 10);
    // Direct engine access writes the real pixels.
    b->PrepareChange();
    b->MutableImage().PictureRow(0)[0] = 0; // blue of (0, 0)
    EXPECT_EQ(b->PixelColor(0, 0), RGB(255, 255, 0));
}

TEST(BitmapTest, CopiesShareUntilTheFirstChangeAndStayIndependent) {
    auto a = makeBitmap(4, 3, TPixelDepth::pd24Bit);
    TBitmap b;
    b.AssignFrom(a.get());
    EXPECT_EQ(&a->Image(), &b.Image()) << "a copy must not copy pixels";
    auto view = b.SharedImage();

    b.Surface().SetPixelColor(1, 1, clRed);
    EXPECT_EQ(b.PixelColor(1, 1), clRed);
    EXPECT_EQ(a->PixelColor(1, 1), clWhite);
    EXPECT_EQ(view->PictureRow(1)[5], 255) << "a shared view keeps the old pixels";

    TBitmap c;
    c.AssignFrom(a.get());
    a->Row(2)[0] = 0; // writes through Row of a non-device bitmap are real
    EXPECT_EQ(a->PixelColor(0, 2), RGB(255, 255, 0));
    EXPECT_EQ(c.PixelColor(0, 2), clWhite);

    c.AssignFrom(static_cast<const TBitmap*>(nullptr));
    EXPECT_EQ(c.Width(), 0);
    EXPECT_EQ(c.PixelDepth(), TPixelDepth::pdDevice);
}

TEST(BitmapTest, SetPixelColorStoresBytesAndIgnoresOutsidePositions) {
    auto b = makeBitmap(5, 2, TPixelDepth::pd24Bit);
    int changes = 0;
    b->OnChange = [&] { ++changes; };
    b->Surface().SetPixelColor(3, 1, RGB(10, 20, 30));
    const std::uint8_t* row = b->Row(1);
    EXPECT_EQ(row[9], 30);
    EXPECT_EQ(row[10], 20);
    EXPECT_EQ(row[11], 10);
    EXPECT_EQ(b->PixelColor(3, 1), RGB(10, 20, 30));
    EXPECT_EQ(changes, 1);

    const auto before = std::vector<std::uint8_t>(b->Image().Pixels.data(),
                                                  b->Image().Pixels.data() + b->Image().Pixels.size());
    for (auto [x, y] : {std::pair{-1, 0}, {5, 0}, {0, -1}, {0, 2}}) b->Surface().SetPixelColor(x, y, clBlack);
    EXPECT_EQ(0, std::memcmp(before.data(), b->Image().Pixels.data(), before.size()));
    // A system colour is written as the RGB value it stands for.
    b->Surface().SetPixelColor(0, 0, clBtnFace);
    EXPECT_EQ(b->PixelColor(0, 0), ResolveColor(clBtnFace));
}

TEST(BitmapTest, DrawRectangleIsClipped) {
    auto b = makeBitmap(8, 8, TPixelDepth::pd24Bit);
    b->Surface().SetBrushColor(RGB(0, 0, 255));
    b->Surface().DrawRectangle(-3, -3, 4, 5); // left and top outline outside
    EXPECT_EQ(b->PixelColor(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(b->PixelColor(3, 0), clBlack);
    EXPECT_EQ(b->PixelColor(0, 4), clBlack);
    EXPECT_EQ(b->PixelColor(4, 0), clWhite);
    EXPECT_EQ(b->PixelColor(0, 5), clWhite);
    b->Surface().DrawRectangle(6, 6, 20, 20); // right and bottom outline outside
    EXPECT_EQ(b->PixelColor(6, 6), clBlack);
    EXPECT_EQ(b->PixelColor(7, 7), RGB(0, 0, 255));
    b->Surface().DrawRectangle(5, 5, 5, 9); // empty: nothing drawn
    EXPECT_EQ(b->PixelColor(5, 5), clWhite);
}

struct DepthCase {
    int bits;
    std::uint32_t compression;
    std::array<std::uint32_t, 3> masks;
    bool device;
    TPixelDepth expected;
};

class DepthOfStore : public ::testing::TestWithParam<DepthCase> {};

TEST_P(DepthOfStore, ReadsAsTheTableSays) {
    const DepthCase& c = GetParam();
    TBitmapImage img;
    img.BitCount = static_cast<std::uint16_t>(c.bits);
    img.Compression = c.compression;
    img.Masks = c.masks;
    img.Device = c.device;
    EXPECT_EQ(img.Depth(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DepthOfStore,
    ::testing::Values(DepthCase{0, 0, {}, false, TPixelDepth::pdDevice},
                      DepthCase{32, 0, {}, true, TPixelDepth::pdDevice},
                      DepthCase{1, 0, {}, false, TPixelDepth::pd1Bit},
                      DepthCase{4, 0, {}, false, TPixelDepth::pd4Bit},
                      DepthCase{8, 0, {}, false, TPixelDepth::pd8Bit},
                      DepthCase{16, 0, {}, false, TPixelDepth::pd15Bit},
                      DepthCase{16, 3, {0xF800, 0x07E0, 0x001F}, false, TPixelDepth::pd16Bit},
                      DepthCase{16, 3, {0x7C00, 0x03E0, 0x001F}, false, TPixelDepth::pdCustom},
                      DepthCase{24, 0, {}, false, TPixelDepth::pd24Bit},
                      DepthCase{32, 0, {}, false, TPixelDepth::pd32Bit},
                      DepthCase{32, 3, {0xFF0000, 0xFF00, 0xFF}, false, TPixelDepth::pdCustom},
                      DepthCase{2, 0, {}, false, TPixelDepth::pdCustom},
                      DepthCase{64, 0, {}, false, TPixelDepth::pdCustom}),
    [](const auto& info) {
        const DepthCase& c = info.param;
        std::string name = "Bits" + std::to_string(c.bits) + (c.device ? "_Device" : "");
        if (c.compression) {
            char mask[12];
            std::snprintf(mask, sizeof mask, "%X", static_cast<unsigned>(c.masks[0]));
            name += std::string("_RedMask") + mask;
        }
        return name + "_" + PixelDepthName(c.expected);
    });

TEST(BitmapDepthTest, SameDepthMakesNoCopyAndCustomIsRefused) {
    auto a = makeBitmap(3, 3, TPixelDepth::pd8Bit);
    TBitmap b;
    b.AssignFrom(a.get());
    b.SetPixelDepth(TPixelDepth::pd8Bit);
    EXPECT_EQ(&a->Image(), &b.Image());
    try {
        b.SetPixelDepth(TPixelDepth::pdCustom);
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "画像フォーマットが不正です");
    }
    EXPECT_EQ(&a->Image(), &b.Image());
}

TEST(BitmapDepthTest, WhiteDeviceBitmapTo24BitIsAllWhiteBytes) {
    auto b = makeBitmap(5, 3, TPixelDepth::pdDevice);
    b->SetPixelDepth(TPixelDepth::pd24Bit);
    const TBitmapImage& img = b->Image();
    EXPECT_EQ(b->PixelDepth(), TPixelDepth::pd24Bit);
    EXPECT_FALSE(img.Device);
    EXPECT_EQ(img.StoredHeight, 3);
    EXPECT_EQ(img.Stride(), 16u);
    for (int y = 0; y < 3; ++y) {
        const std::uint8_t* row = b->Row(y);
        for (int i = 0; i < 15; ++i) ASSERT_EQ(row[i], 255) << y << ":" << i;
    }
}

TEST(BitmapDepthTest, ConversionResetsFileDataAndKeepsTheCoreFlag) {
    auto store = makeStore(3, -2, 24);
    store->XPelsPerMeter = 2835;
    store->ClrUsed = 4;
    store->CoreHeader = true;
    store->ColorTable.resize(4);
    store->PictureRow(0)[0] = 77; // blue of the top-left pixel
    TBitmap b;
    b.SetImage(store);
    b.SetPixelDepth(TPixelDepth::pd32Bit);
    const TBitmapImage& img = b.Image();
    EXPECT_EQ(img.StoredHeight, 2) << "conversions are bottom-up";
    EXPECT_EQ(img.XPelsPerMeter, 0);
    EXPECT_EQ(img.ClrUsed, 0u);
    EXPECT_TRUE(img.CoreHeader);
    EXPECT_TRUE(img.ColorTable.empty());
    EXPECT_EQ(b.PixelColor(0, 0), RGB(0, 0, 77));
    EXPECT_EQ(img.PictureRow(0)[0], 77);
}

// Colours each depth holds exactly: black, white and the primaries are in the
// VGA and halftone tables and have full or empty channels.
class DepthRoundTrip : public ::testing::TestWithParam<TPixelDepth> {};

TEST_P(DepthRoundTrip, KeepsExactColoursThroughConversionAndBack) {
    const TColor colours[] = {clBlack, clWhite, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
    const int w = 13, h = 3; // odd width: sub-byte rows end inside a byte
    auto b = makeBitmap(w, h, TPixelDepth::pd24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->Surface().SetPixelColor(x, y, colours[(x + y) % 6]);
    b->SetPixelDepth(GetParam());
    EXPECT_EQ(b->PixelDepth(), GetParam());
    EXPECT_EQ(b->Image().Stride(), RowStride(w, b->Image().BitCount));
    b->SetPixelDepth(TPixelDepth::pd24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor want = colours[(x + y) % 6];
            // In black and white the nearest of a colour with two full channels is white.
            if (GetParam() == TPixelDepth::pd1Bit) want = want == clWhite || want == RGB(255, 255, 0) ? clWhite : clBlack;
            ASSERT_EQ(b->PixelColor(x, y), want) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Depths, DepthRoundTrip,
                         ::testing::Values(TPixelDepth::pdDevice, TPixelDepth::pd1Bit, TPixelDepth::pd4Bit,
                                           TPixelDepth::pd8Bit, TPixelDepth::pd15Bit, TPixelDepth::pd16Bit,
                                           TPixelDepth::pd32Bit),
                         [](const auto& info) { return std::string(PixelDepthName(info.param)); });

class SizingKeepsPixels : public ::testing::TestWithParam<TPixelDepth> {};

TEST_P(SizingKeepsPixels, OverlapKeptNewAreaFilled) {
    auto b = makeBitmap(3, 2, GetParam());
    b->Surface().SetPixelColor(2, 0, clBlack);
    b->Surface().SetPixelColor(0, 1, clBlack);
    b->SetWidth(11);
    b->SetHeight(4);
    EXPECT_EQ(b->PixelDepth(), GetParam());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 11; ++x) {
            const bool black = (x == 2 && y == 0) || (x == 0 && y == 1);
            ASSERT_EQ(b->PixelColor(x, y), black ? clBlack : clWhite) << x << "," << y;
        }
    b->SetWidth(1);
    EXPECT_EQ(b->PixelColor(0, 1), clBlack);
    EXPECT_EQ(b->PixelColor(0, 0), clWhite);
}

INSTANTIATE_TEST_SUITE_P(Depths, SizingKeepsPixels,
                         ::testing::Values(TPixelDepth::pdDevice, TPixelDepth::pd1Bit, TPixelDepth::pd4Bit,
                                           TPixelDepth::pd24Bit, TPixelDepth::pd16Bit),
                         [](const auto& info) { return std::string(PixelDepthName(info.param)); });

TEST(BitmapSizingTest, NewAreaTakesTheBrushOnceThereIsASurface) {
    auto b = makeBitmap(2, 2, TPixelDepth::pd24Bit);
    b->Surface().SetBrushColor(RGB(0, 128, 0));
    b->SetHeight(3);
    EXPECT_EQ(b->PixelColor(1, 1), clWhite);
    EXPECT_EQ(b->PixelColor(1, 2), RGB(0, 128, 0));
}

TEST(BitmapTest, PixelColorReadsThroughTheDepthAndChecksBounds) {
    auto store = makeStore(3, 1, 8);
    store->ColorTable = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    store->PictureRow(0)[1] = 1;
    store->PictureRow(0)[2] = 200; // past the table
    TBitmap b;
    b.SetImage(store);
    EXPECT_EQ(b.PixelColor(0, 0), RGB(3, 2, 1));
    EXPECT_EQ(b.PixelColor(1, 0), RGB(6, 5, 4));
    EXPECT_EQ(b.PixelColor(2, 0), clBlack);
    for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 1}})
        EXPECT_THROW(b.PixelColor(x, y), EInvalidGraphicOperation) << x << "," << y;
}

// A and B have the same levels, byte for byte; WHERE names the case.
void expectSameLevels(const TReducedCopies& a, const TReducedCopies& b, const std::string& where) {
    for (int shift = 1; shift <= 30; ++shift) {
        const TReducedLevel* x = a.Level(shift);
        const TReducedLevel* y = b.Level(shift);
        ASSERT_EQ(x == nullptr, y == nullptr) << where;
        if (x && x->Shift == shift) {
            EXPECT_EQ(std::memcmp(x->Row(0), y->Row(0), 3 * std::size_t(x->Width) * x->Height), 0)
                << "shift " << shift << " " << where;
        }
    }
}

// Copies derived for a store that differs in one rectangle equal the copies
// made afresh from it, level by level, for rectangles at the corners, the
// ragged last row and column, and nowhere.
TEST(ReducedCopiesTest, DerivedCopiesEqualFreshOnes) {
    auto store = makeStore(1100, 1030, 24);
    for (int y = 0; y < 1030; ++y)
        for (int x = 0; x < 3300; ++x) store->PictureRow(y)[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
    const TReducedCopies copies(*store);
    for (int shift = 1; shift <= 30; ++shift) copies.Level(shift);
    for (const auto& [left, top, right, bottom] :
         {std::tuple{0, 0, 1, 1}, {1099, 1029, 1100, 1030}, {130, 70, 700, 1030}, {1000, 0, 1100, 3}, {5, 5, 5, 9}}) {
        const auto changed = store->Clone();
        for (int y = top; y < bottom; ++y)
            for (int x = 3 * left; x < 3 * right; ++x) changed->PictureRow(y)[x] ^= 0x5A;
        const auto derived = copies.DeriveFor(*changed, left, top, right, bottom);
        expectSameLevels(*derived, TReducedCopies(*changed),
                         "area " + std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(right) +
                             "," + std::to_string(bottom));
    }
}

} // namespace
} // namespace vem

namespace vem {
namespace {

// Reduced copies: within a third of the block for any depth and odd sizes,
// means of the pixels beneath, shared with the store's sharers and dropped by
// a change.
TEST(ReducedCopiesTest, StayUnderAThirdAverageAndGoWithTheStore) {
    for (const auto& [w, h, bits] : {std::tuple{1024, 1024, 24}, {1025, 1027, 24}, {2049, 600, 8}, {4096, 300, 1}}) {
        auto store = makeStore(w, h, bits);
        if (bits <= 8) store->ColorTable.assign(std::size_t(1) << bits, TRGBQuad{});
        const TReducedCopies copies(*store);
        for (int shift = 1; shift <= 30; ++shift) copies.Level(shift);
        ASSERT_NE(copies.Level(30), nullptr) << w << "x" << h;
        EXPECT_LT(copies.Bytes() * 3, store->Pixels.size()) << w << "x" << h;
        EXPECT_EQ(copies.Level(1) != nullptr, bits == 24) << w << "x" << h;
    }
    EXPECT_EQ(TReducedCopies(*makeStore(1000, 1000, 24)).Level(30), nullptr); // small: averaged directly

    // Columns alternate two greys; the last column of an odd width joins the one before.
    auto store = makeStore(1025, 1024, 24);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1025; ++x) std::memset(store->PictureRow(y) + 3 * x, x % 2 ? 100 : 51, 3);
    TBitmap bitmap;
    bitmap.SetImage(store);
    const TReducedLevel* half = ReducedCopiesOf(bitmap.Image()).Level(1);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->Width, 512);
    EXPECT_EQ(half->Row(7)[3 * 5], 76);             // (51 + 100) / 2, rounded
    EXPECT_EQ(half->Row(511)[3 * 511 + 2], 67);     // (51 + 100 + 51) / 3, rounded

    // A read keeps them: a shared store that the read would not change stays
    // shared; one whose header the read resets (colours used) gives the
    // reader a private store, with a copy of them bound to it.
    TBitmap reader;
    reader.AssignFrom(&bitmap);
    const std::shared_ptr<const TReducedCopies> before = bitmap.Image().Reduced;
    EXPECT_EQ(reader.ReadRow(3)[3 * 5], 100);
    EXPECT_EQ(&reader.Image(), &bitmap.Image());
    store->ClrUsed = 7;
    EXPECT_EQ(reader.ReadRow(3)[3 * 5], 100);
    EXPECT_EQ(bitmap.Image().ClrUsed, 7u);
    EXPECT_EQ(reader.Image().ClrUsed, 0u);
    EXPECT_EQ(bitmap.Image().Reduced, before);
    ASSERT_NE(reader.Image().Reduced, nullptr);
    EXPECT_NE(reader.Image().Reduced, before);
    const TReducedLevel* carried = ReducedCopiesOf(reader.Image()).Level(1);
    ASSERT_NE(carried, nullptr);
    EXPECT_EQ(std::memcmp(carried->Row(0), half->Row(0), 3 * 512 * 512), 0);
    reader.ReadRow(0);
    EXPECT_EQ(ReducedCopiesOf(reader.Image()).Level(1), carried);

    TBitmap sharer;
    sharer.AssignFrom(&bitmap);
    sharer.Row(0);
    EXPECT_NE(bitmap.Image().Reduced, nullptr);
    EXPECT_EQ(sharer.Image().Reduced, nullptr);
    bitmap.Row(0);
    EXPECT_EQ(bitmap.Image().Reduced, nullptr);
}

// A 24-bit store painted COLOUR where IN holds, over BASE's pixels or, with
// no base, over BASECOLOUR; with the note that says so.
template <class In>
std::shared_ptr<TBitmapImage> paintedStore(int w, int h, In in, std::uint32_t colour, const TBitmapImage* base,
                                           std::uint32_t baseColour = 0xFFFFFF) {
    auto store = base ? base->Clone() : makeStore(w, h, 24);
    auto bits = std::make_shared<TPixelBits>();
    bits->WordsPerRow = (static_cast<std::size_t>(w) + 63) / 64;
    bits->Width = w;
    bits->Height = h;
    bits->Words = PixelBlock::Zeroed(bits->WordsPerRow * 8 * static_cast<std::size_t>(h));
    auto note = std::make_shared<TPaintedBits>();
    note->Left = w, note->Top = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = store->PictureRow(y) + 3 * static_cast<std::size_t>(x);
            const bool set = in(x, y);
            const std::uint32_t c = set ? colour : base ? (p[0] | p[1] << 8 | p[2] << 16) : baseColour;
            p[0] = std::uint8_t(c), p[1] = std::uint8_t(c >> 8), p[2] = std::uint8_t(c >> 16);
            if (!set) continue;
            reinterpret_cast<std::uint64_t*>(bits->Words.data())[std::size_t(y) * bits->WordsPerRow + x / 64] |= std::uint64_t(1) << (x % 64);
            note->Left = std::min(note->Left, x), note->Right = std::max(note->Right, x + 1);
            note->Top = std::min(note->Top, y), note->Bottom = y + 1;
        }
    note->Bits = std::move(bits);
    note->Colour = colour;
    note->HasBase = base != nullptr;
    if (base) note->Base = base->PixelsToken();
    note->BaseColour = baseColour;
    store->Painted = std::move(note);
    return store;
}

// The smallest area holding every pixel where A and B differ.
TPixelArea differingPixels(const TBitmapImage& a, const TBitmapImage& b) {
    TPixelArea area{a.Width, a.Height(), 0, 0};
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width; ++x)
            if (std::memcmp(a.PictureRow(y) + 3 * x, b.PictureRow(y) + 3 * x, 3) != 0) {
                area = {std::min<std::int64_t>(area.Left, x), std::min<std::int64_t>(area.Top, y),
                        std::max<std::int64_t>(area.Right, x + 1), y + 1};
            }
    return area.Empty() ? TPixelArea{} : area;
}

bool operator==(const TPixelArea& a, const TPixelArea& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// Levels counted from the bits equal those averaged from the pixels, at
// every level and for the ragged last row and column: a mask's, and those
// derived for a picture painted over the copies' own store.
TEST(PaintedBitsTest, CountedLevelsEqualAveragedOnes) {
    const auto disc = [](int x, int y) { return (x - 500) * (x - 500) + (y - 600) * (y - 600) < 300 * 300; };
    auto original = makeStore(1100, 1030, 24);
    for (int y = 0; y < 1030; ++y)
        for (int x = 0; x < 3300; ++x) original->PictureRow(y)[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
    const TReducedCopies base(*original);
    for (int shift = 1; shift <= 30; ++shift) base.Level(shift);
    for (const auto& [colour, over] : {std::pair{0x000000u, false}, {0x3C7FA1u, false}, {0x3C7FA1u, true}}) {
        const auto painted = paintedStore(1100, 1030, disc, colour, over ? original.get() : nullptr);
        const auto plain = painted->Clone(); // no note: averaged from the pixels
        const auto counted = over ? base.DeriveFor(*painted, 199, 299, 801, 901)
                                  : std::make_shared<const TReducedCopies>(*painted);
        expectSameLevels(*counted, TReducedCopies(*plain), over ? "derived" : "mask");
    }
}

// Two painted stores on one base: the area their bit maps give is the one
// their pixels differ in; a base changed since, or bases that differ, give none.
TEST(PaintedBitsTest, DifferencesFollowTheBitsWhileTheBaseStays) {
    const auto box = [](int l, int t, int r, int b) {
        return [=](int x, int y) { return x >= l && x < r && y >= t && y < b; };
    };
    auto original = makeStore(150, 40, 24);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 450; ++x) original->PictureRow(y)[x] = static_cast<std::uint8_t>(x * 5 + y);
    struct Row {
        std::uint32_t colourA, colourB;
        std::function<bool(int, int)> a, b;
    };
    for (const Row& r : std::vector<Row>{{0x112233, 0x112233, box(3, 4, 70, 20), box(60, 10, 140, 39)},
                                         {0x112233, 0x445566, box(3, 4, 70, 20), box(60, 10, 140, 39)},
                                         {0x112233, 0x112233, box(64, 0, 128, 5), box(64, 0, 128, 5)},
                                         {0x112233, 0x112233, box(0, 0, 0, 0), box(149, 39, 150, 40)}}) {
        for (const TBitmapImage* base : {static_cast<const TBitmapImage*>(nullptr), static_cast<const TBitmapImage*>(original.get())}) {
            const auto a = paintedStore(150, 40, r.a, r.colourA, base);
            const auto b = paintedStore(150, 40, r.b, r.colourB, base);
            TPixelArea area;
            ASSERT_TRUE(PaintedDifference(*a, *b, area));
            EXPECT_TRUE(area == differingPixels(*a, *b)) << area.Left << "," << area.Top << " " << area.Right << "," << area.Bottom;
        }
    }
    const auto a = paintedStore(150, 40, box(3, 4, 70, 20), 0x112233, original.get());
    const auto b = paintedStore(150, 40, box(9, 4, 70, 20), 0x112233, original.get());
    TPixelArea area;
    EXPECT_FALSE(PaintedDifference(*a, *paintedStore(150, 40, box(9, 4, 70, 20), 0x112233, nullptr), area));
    EXPECT_FALSE(PaintedDifference(*paintedStore(150, 40, box(9, 4, 70, 20), 0x112233, nullptr, 0),
                                   *paintedStore(150, 40, box(9, 4, 70, 20), 0x112233, nullptr), area));
    const TBitmapImage* store = original.get();
    TBitmap holder;
    holder.SetImage(std::move(original));
    holder.Surface().SetPixelColor(0, 0, clRed); // in place: the store is the holder's alone
    ASSERT_EQ(&holder.Image(), store);
    EXPECT_FALSE(PaintedDifference(*a, *b, area));
}

} // namespace
} // namespace vem
