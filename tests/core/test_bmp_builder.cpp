// The test-side BMP byte builder: the other BMP tests trust its layout.
#include <gtest/gtest.h>

#include "support/BmpBuilder.h"

using namespace vem::test;

namespace {

TEST(BmpBuilder, InfoHeaderTableAndPaddedRows) {
    const Bytes b = BmpBuilder(3, -1, 8).ClrUsed(1).Resolution(7, -8).Table({{1, 2, 3}}).Row({9, 8, 7}).Build();
    const Bytes expected = {
        'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 58, 0, 0, 0,                // file header: 14 + 40 + 4 + 4
        40, 0, 0, 0, 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 8, 0,   // size, width, height -1, planes, bits
        0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0xF8, 0xFF, 0xFF, 0xFF,    // compression, size image, resolution
        1, 0, 0, 0, 0, 0, 0, 0,                                        // colours used, important
        1, 2, 3, 0,                                                    // one 4-byte entry
        9, 8, 7, 0};                                                   // a row padded to 4 bytes
    EXPECT_EQ(b, expected);
}

TEST(BmpBuilder, CoreHeaderWithThreeByteEntries) {
    const Bytes b = BmpBuilder(0x1234, 2, 1).Core().Table({{1, 2, 3}, {4, 5, 6}}).Pixels({0xAA}).Build();
    const Bytes expected = {'B', 'M', 33, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0,
                            12, 0, 0, 0, 0x34, 0x12, 2, 0, 1, 0, 1, 0,
                            1, 2, 3, 4, 5, 6, 0xAA};
    EXPECT_EQ(b, expected);
}

TEST(BmpBuilder, HeaderSizesMasksAndOverrides) {
    const Bytes shortHeader = BmpBuilder(1, 1).HeaderSize(16).Build();
    EXPECT_EQ(shortHeader.size(), 14u + 16u);
    EXPECT_EQ(U32(shortHeader, 14), 16u);
    EXPECT_EQ(U32(shortHeader, 26), 0x00180001u); // planes 1, bits 24: the last bytes kept

    const Bytes tail = BmpBuilder(1, 1, 32).Compression(3).HeaderTail({0xAB}).HeaderSize(56).Build();
    EXPECT_EQ(U32(tail, 14), 56u);
    EXPECT_EQ(tail.size(), 14u + 56u);
    EXPECT_EQ(tail[54], 0xAB);

    const Bytes masks = BmpBuilder(1, 1, 16).Compression(3).Masks(0xF800, 0x07E0, 0x1F).FileSize(5).OffBits(6).Type('B', 'A').Build();
    EXPECT_EQ(masks[1], 'A');
    EXPECT_EQ(U32(masks, 2), 5u);
    EXPECT_EQ(U32(masks, 10), 6u);
    EXPECT_EQ(U32(masks, 54), 0xF800u);
    EXPECT_EQ(U32(masks, 62), 0x1Fu);
}

TEST(BmpBuilder, RunLengthCodesArePaddedToWords) {
    using namespace rle;
    EXPECT_EQ(Literal8({1, 2, 3}), (Bytes{0, 3, 1, 2, 3, 0}));
    EXPECT_EQ(Literal8({1, 2, 3, 4}), (Bytes{0, 4, 1, 2, 3, 4}));
    EXPECT_EQ(Literal4(3, {0x12, 0x30}), (Bytes{0, 3, 0x12, 0x30}));
    EXPECT_EQ(Literal4(5, {0x12, 0x34, 0x50}), (Bytes{0, 5, 0x12, 0x34, 0x50, 0}));
    EXPECT_EQ(Join({Repeat(2, 7), Delta(1, 2), EndOfLine(), EndOfBitmap()}), (Bytes{2, 7, 0, 2, 1, 2, 0, 0, 0, 1}));
}

} // namespace
