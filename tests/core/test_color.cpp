#include "core/pixels/Color.h"

#include <gtest/gtest.h>

namespace {

TEST(Color, RgbPutsRedInTheLowByte) {
    EXPECT_EQ(vem::RGB(0x12, 0x34, 0x56), 0x00563412);
    EXPECT_EQ(vem::RGB(255, 255, 255), vem::clWhite);
    EXPECT_EQ(vem::RGB(255, 0, 0), vem::clRed);
    const vem::TColor c = vem::RGB(1, 2, 254);
    EXPECT_EQ(vem::GetRValue(c), 1);
    EXPECT_EQ(vem::GetGValue(c), 2);
    EXPECT_EQ(vem::GetBValue(c), 254);
}

TEST(Color, SystemColoursAreNegativeAndResolveToPlainRgb) {
    EXPECT_LT(vem::clBtnFace, 0);
    EXPECT_EQ(static_cast<std::uint32_t>(vem::clBtnFace), 0x8000000Fu);
    for (int index = 0; index < 31; ++index) {
        const vem::TColor resolved = vem::ResolveColor(vem::SystemColor(index));
        EXPECT_EQ(resolved & 0xFF000000, 0) << index;
    }
    EXPECT_EQ(vem::ResolveColor(vem::clWindow), vem::clWhite);
    EXPECT_EQ(vem::ResolveColor(vem::SystemColor(8)), vem::clBlack); // window text
    EXPECT_EQ(vem::ResolveColor(vem::SystemColor(200)), vem::clBlack);
}

TEST(Color, PlainValuesPassUnchanged) {
    for (vem::TColor c : {vem::clBlack, vem::clWhite, vem::RGB(10, 20, 30), 0x01000005, 0x7FFFFFFF})
        EXPECT_EQ(vem::ResolveColor(c), c);
}

} // namespace
