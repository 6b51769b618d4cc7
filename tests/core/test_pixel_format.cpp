#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/pixels/Bitmap.h"
#include "core/pixels/PixelCodec.h"

namespace vem {
namespace {

// The widening rule written independently of the code under test.
std::uint8_t widened(std::uint32_t v, std::uint32_t max) {
    return static_cast<std::uint8_t>(std::lround(std::floor(v * 255.0 / max + 0.5)));
}

TBitmapImage store(int bits, std::uint32_t compression = 0, std::array<std::uint32_t, 3> masks = {}) {
    TBitmapImage img;
    img.Width = 64;
    img.StoredHeight = 1;
    img.BitCount = static_cast<std::uint16_t>(bits);
    img.Compression = compression;
    img.Masks = masks;
    return img;
}

TEST(PixelCodecTest, IndexedLeftmostPixelInTheHighBits) {
    TBitmapImage one = store(1);
    one.ColorTable = {{0, 0, 0, 0}, {0, 0, 255, 0}};
    const std::uint8_t bits[] = {0b10000001};
    PixelCodec c1(one);
    EXPECT_EQ(c1.Decode(bits, 0), RGB(255, 0, 0));
    EXPECT_EQ(c1.Decode(bits, 1), clBlack);
    EXPECT_EQ(c1.Decode(bits, 7), RGB(255, 0, 0));

    TBitmapImage four = store(4);
    four.ColorTable.resize(16);
    for (int i = 0; i < 16; ++i) four.ColorTable[i] = {static_cast<std::uint8_t>(i), 0, 0, 0};
    const std::uint8_t nibbles[] = {0x1F, 0xA0};
    PixelCodec c4(four);
    EXPECT_EQ(c4.Decode(nibbles, 0), RGB(0, 0, 1));
    EXPECT_EQ(c4.Decode(nibbles, 1), RGB(0, 0, 15));
    EXPECT_EQ(c4.Decode(nibbles, 2), RGB(0, 0, 10));
}

TEST(PixelCodecTest, IndexPastTheTableReadsBlackWithoutReadingPastIt) {
    // The tables hold fewer entries than the depth can address; ASan catches any
    // read beyond them.
    for (int bits : {1, 4, 8}) {
        TBitmapImage img = store(bits);
        img.ColorTable = {{9, 9, 9, 0}};
        const std::uint8_t row[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        PixelCodec codec(img);
        EXPECT_EQ(codec.Decode(row, 0), clBlack) << bits;
        TColor out[8];
        codec.DecodeRow(row, 0, 8, out);
        for (TColor c : out) EXPECT_EQ(c, clBlack) << bits;
    }
    TBitmapImage none = store(8);
    const std::uint8_t zero[1] = {0};
    EXPECT_EQ(PixelCodec(none).Decode(zero, 0), clBlack);
}

TEST(PixelCodecTest, FifteenBitWithoutMasks) {
    PixelCodec codec(store(16));
    auto at = [&](std::uint16_t w) {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8)};
        return codec.Decode(b, 0);
    };
    EXPECT_EQ(at(0x7FFF), clWhite);
    EXPECT_EQ(at(0xFFFF), clWhite) << "bit 15 is ignored";
    EXPECT_EQ(at(0x7C00), RGB(255, 0, 0));
    EXPECT_EQ(at(0x0001), RGB(0, 0, 8));
    EXPECT_EQ(at(0x0010), RGB(0, 0, 132));
    EXPECT_EQ(at(0x0020), RGB(0, 8, 0));
}

struct MaskCase {
    const char* name;
    int bits;
    std::array<std::uint32_t, 3> masks;
};

class MaskedDecode : public ::testing::TestWithParam<MaskCase> {};

// Every channel value of narrow masks, and a spread of values of wide ones,
// decodes to round(v * 255 / max) exactly, through Decode and DecodeRow alike.
TEST_P(MaskedDecode, WidensEachChannelExactly) {
    const MaskCase& mc = GetParam();
    PixelCodec codec(store(mc.bits, 3, mc.masks));
    for (int ch = 0; ch < 3; ++ch) {
        const std::uint32_t mask = mc.masks[ch];
        if (!mask) continue;
        const int shift = __builtin_ctz(mask);
        const std::uint32_t max = mask >> shift;
        std::vector<std::uint32_t> values;
        for (std::uint32_t v = 0; v <= std::min<std::uint32_t>(max, 1100); ++v) values.push_back(v);
        for (std::uint32_t v : {max / 3, max / 2, max - 1, max}) values.push_back(v);
        std::vector<std::uint8_t> row;
        for (std::uint32_t v : values) {
            const std::uint32_t word = v << shift;
            for (int i = 0; i < mc.bits / 8; ++i) row.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
        }
        std::vector<TColor> decoded(values.size());
        codec.DecodeRow(row.data(), 0, static_cast<int>(values.size()), decoded.data());
        for (std::size_t i = 0; i < values.size(); ++i) {
            const TColor single = codec.Decode(row.data(), static_cast<int>(i));
            ASSERT_EQ(single, decoded[i]) << mc.name << " channel " << ch << " v=" << values[i];
            const std::uint8_t got = ch == 0 ? GetRValue(single) : ch == 1 ? GetGValue(single) : GetBValue(single);
            ASSERT_EQ(got, widened(values[i], max)) << mc.name << " channel " << ch << " v=" << values[i];
            ASSERT_EQ(single & ~(0xFF << (8 * ch)), 0) << "other channels stay 0";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskedDecode,
    ::testing::Values(MaskCase{"rgb565", 16, {0xF800, 0x07E0, 0x001F}},
                      MaskCase{"rgb231", 16, {0x0030, 0x000E, 0x0001}},
                      MaskCase{"rgb3103", 16, {0xE000, 0x1FF8, 0x0007}},
                      MaskCase{"rgb444", 16, {0x0F00, 0x00F0, 0x000F}},
                      MaskCase{"rgb111110", 32, {0xFFE00000, 0x001FFC00, 0x000003FF}},
                      MaskCase{"rgb101010", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}},
                      MaskCase{"wide16", 32, {0xFFFF0000, 0x0000FF00, 0x000000FF}},
                      MaskCase{"emptyGreen", 16, {0xF800, 0, 0x001F}}),
    [](const auto& info) { return std::string(info.param.name); });

struct LayoutCase {
    const char* name;
    int bits;
    std::uint32_t compression;
    std::array<std::uint32_t, 3> masks;
    bool device;
};

TBitmapImage storeFor(const LayoutCase& lc) {
    TBitmapImage img = store(lc.bits, lc.compression, lc.masks);
    img.Device = lc.device;
    if (lc.bits <= 8) img.ColorTable = StandardColorTable(lc.bits == 1   ? TPixelDepth::pd1Bit
                                                          : lc.bits == 4 ? TPixelDepth::pd4Bit
                                                                         : TPixelDepth::pd8Bit);
    return img;
}

class CodecLayouts : public ::testing::TestWithParam<LayoutCase> {};

// The row-wise paths must agree with the single-pixel ones from any start column.
TEST_P(CodecLayouts, RowPathsAgreeWithSinglePixels) {
    const TBitmapImage img = storeFor(GetParam());
    std::mt19937 rng(7);
    std::vector<std::uint8_t> row(64 * 4);
    for (auto& b : row) b = static_cast<std::uint8_t>(rng());
    PixelCodec codec(img);
    TColor decoded[40];
    codec.DecodeRow(row.data(), 9, 40, decoded);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(decoded[i], codec.Decode(row.data(), 9 + i)) << i;

    TColor colours[40];
    for (auto& c : colours) c = static_cast<TColor>(rng() & 0xFFFFFF);
    colours[5] = colours[6] = colours[30]; // repeats go through the nearest-colour memory
    std::vector<std::uint8_t> byRow(row), bySingle(row);
    codec.EncodeRow(colours, 40, byRow.data(), 11);
    for (int i = 0; i < 40; ++i) codec.Store(bySingle.data(), 11 + i, codec.Encode(colours[i]));
    EXPECT_EQ(byRow, bySingle);
    // Pixels outside the written range are untouched.
    const std::size_t bitsBefore = std::size_t(11) * (GetParam().device ? 32 : GetParam().bits);
    for (std::size_t i = 0; i < bitsBefore / 8; ++i) ASSERT_EQ(byRow[i], row[i]) << i;
}

// Encoding then decoding gives back the colour exactly where the depth holds
// 8 bits per channel, and within half a step of the channel's precision elsewhere.
class CodecTrueColour : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(CodecTrueColour, EncodeThenDecodeIsNearest) {
    const LayoutCase& lc = GetParam();
    const TBitmapImage img = storeFor(lc);
    PixelCodec codec(img);
    std::mt19937 rng(11);
    for (int i = 0; i < 500; ++i) {
        const TColor c = static_cast<TColor>(rng() & 0xFFFFFF);
        std::uint8_t px[4] = {};
        codec.Store(px, 0, codec.Encode(c));
        const TColor back = codec.Decode(px, 0);
        for (int ch = 0; ch < 3; ++ch) {
            const int want = (c >> (8 * ch)) & 0xFF, got = (back >> (8 * ch)) & 0xFF;
            const std::uint32_t mask = lc.compression ? lc.masks[ch] : (lc.bits == 16 ? 0x1Fu : 0xFFu);
            const std::uint32_t max = mask >> __builtin_ctz(mask);
            ASSERT_LE(std::abs(want - got), max >= 255 ? 0 : static_cast<int>(127 / max) + 1) << lc.name << " " << std::hex << c;
        }
    }
}

const LayoutCase kIndexed[] = {{"pd1", 1, 0, {}, false}, {"pd4", 4, 0, {}, false}, {"pd8", 8, 0, {}, false}};
const LayoutCase kTrueColour[] = {{"pd15", 16, 0, {}, false},
                                  {"pd16", 16, 3, {0xF800, 0x07E0, 0x001F}, false},
                                  {"pd24", 24, 0, {}, false},
                                  {"pd32", 32, 0, {}, false},
                                  {"device", 32, 0, {}, true},
                                  {"custom1010102", 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, false}};
auto layoutName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(Indexed, CodecLayouts, ::testing::ValuesIn(kIndexed), layoutName);
INSTANTIATE_TEST_SUITE_P(TrueColour, CodecLayouts, ::testing::ValuesIn(kTrueColour), layoutName);
INSTANTIATE_TEST_SUITE_P(TrueColour, CodecTrueColour, ::testing::ValuesIn(kTrueColour), layoutName);

// A full table's first and last entries, through every read and wherever a
// row slice starts and ends: the row path keeps a table of its own. No entry
// is black, so an entry read as "past the table" shows.
class IndexedTableEnds : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(IndexedTableEnds, ReadAsTheTableSays) {
    auto img = std::make_shared<TBitmapImage>(store(GetParam().bits));
    const std::uint32_t last = (1u << GetParam().bits) - 1;
    for (std::uint32_t i = 0; i <= last; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        img->ColorTable.push_back({static_cast<std::uint8_t>(255 - v), v, static_cast<std::uint8_t>(v ^ 0x5A), 0});
    }
    img->Pixels = PixelBlock::Zeroed(img->Stride());
    PixelCodec codec(*img);
    auto indexAt = [&](int x) { return x % 3 ? last : 0u; };
    for (int x = 0; x < img->Width; ++x) codec.Store(img->Pixels.data(), x, indexAt(x));
    TBitmap bmp;
    bmp.SetImage(img);
    const std::pair<int, int> slices[] = {{0, 64}, {0, 1}, {1, 1}, {63, 1}, {1, 62}, {5, 7}, {62, 2}};
    for (const auto& [x0, count] : slices) {
        std::vector<TColor> row(static_cast<std::size_t>(count));
        codec.DecodeRow(img->Pixels.data(), x0, count, row.data());
        for (int x = x0; x < x0 + count; ++x) {
            const TRGBQuad& q = img->ColorTable[indexAt(x)];
            const TColor want = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
            ASSERT_EQ(row[static_cast<std::size_t>(x - x0)], want) << "DecodeRow from " << x0 << ", x " << x;
            ASSERT_EQ(codec.Decode(img->Pixels.data(), x), want) << x;
            ASSERT_EQ(bmp.PixelColor(x, 0), want) << x;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Indexed, IndexedTableEnds, ::testing::ValuesIn(kIndexed), layoutName);

TEST(PixelCodecTest, NearestTableEntryFirstOnTies) {
    TBitmapImage img = store(8);
    img.ColorTable = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 200, 0}, {0, 0, 200, 0}};
    PixelCodec codec(img);
    EXPECT_EQ(codec.Encode(RGB(190, 20, 10)), 2u);
    EXPECT_EQ(codec.Encode(RGB(200, 0, 0)), 2u);
    EXPECT_EQ(codec.Encode(RGB(250, 240, 250)), 1u);
    TBitmapImage mono = store(1);
    mono.ColorTable = StandardColorTable(TPixelDepth::pd1Bit);
    PixelCodec m(mono);
    EXPECT_EQ(m.Encode(RGB(128, 128, 128)), 1u) << "128 is nearer to 255 than to 0";
    EXPECT_EQ(m.Encode(RGB(127, 127, 127)), 0u);
    TBitmapImage empty = store(8);
    EXPECT_EQ(PixelCodec(empty).Encode(clWhite), 0u);
}

TEST(StandardColorTableTest, TablesHoldTheExpectedColours) {
    auto colours = [](TPixelDepth d) {
        std::set<TColor> s;
        for (const TRGBQuad& q : StandardColorTable(d)) s.insert(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
        return s;
    };
    EXPECT_EQ(StandardColorTable(TPixelDepth::pd1Bit).size(), 2u);
    EXPECT_EQ(colours(TPixelDepth::pd1Bit), (std::set<TColor>{clBlack, clWhite}));
    const auto vga = colours(TPixelDepth::pd4Bit);
    EXPECT_EQ(vga.size(), 16u);
    for (TColor c : {clBlack, clWhite, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(128, 128, 128),
                     RGB(192, 192, 192), RGB(128, 0, 0), RGB(0, 128, 128)})
        EXPECT_TRUE(vga.count(c)) << std::hex << c;
    const auto halftone = colours(TPixelDepth::pd8Bit);
    EXPECT_EQ(StandardColorTable(TPixelDepth::pd8Bit).size(), 256u);
    EXPECT_EQ(halftone.size(), 256u) << "no entry is wasted on a duplicate";
    for (TColor c : {clBlack, clWhite, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(51, 102, 153)})
        EXPECT_TRUE(halftone.count(c)) << std::hex << c;
    EXPECT_TRUE(StandardColorTable(TPixelDepth::pd24Bit).empty());
}

} // namespace
} // namespace vem
