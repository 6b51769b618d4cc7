#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/base/Errors.h"
#include "core/pixels/PaintedBits.h"
#include "core/workspace/Workspace.h"
#include "support/EnginePictures.h"

namespace vem {
namespace {

using test::MakeBitmap24;
using test::PixelAt;
using test::PutPicture;

constexpr TColor kBlue = RGB(0, 0, 200);
constexpr TColor kRed = RGB(220, 0, 0);
constexpr TColor kGreen = RGB(0, 180, 0);
constexpr TColor kBack = RGB(1, 2, 3);

// 12 x 8 blue, a red square at (1..3, 1..3), a green bar at (7..10, 5..6),
// and a second red square at (8..9, 1..2) that touches nothing red.
TColor scene(int x, int y) {
    if (x >= 1 && x <= 3 && y >= 1 && y <= 3) return kRed;
    if (x >= 8 && x <= 9 && y >= 1 && y <= 2) return kRed;
    if (x >= 7 && x <= 10 && y >= 5 && y <= 6) return kGreen;
    return kBlue;
}
bool inRedSquare(int x, int y) { return x >= 1 && x <= 3 && y >= 1 && y <= 3; }
bool inGreenBar(int x, int y) { return x >= 7 && x <= 10 && y >= 5 && y <= 6; }

struct Scene {
    TWorkspace ws;
    std::vector<std::string> captions;
    Scene() {
        ws.OnCaption = [this](const std::string& t) { captions.push_back(t); };
        PutPicture(ws.Original, *MakeBitmap24(12, 8, scene));
        PutPicture(ws.Finished, *MakeBitmap24(12, 8, scene));
        ws.Settings.BackColor = kBack;
    }
    void rightClick(TImageSlot& slot, int x, int y, bool apply) {
        ws.Image1MouseDown(slot, TMouseButton::mbRight, x, y, /*rightPick=*/true, apply);
    }
};

TEST(Pick, LeftClickTakesTheClickedWindowsColourAndPoint) {
    Scene s;
    PutPicture(s.ws.Editing, *MakeBitmap24(3, 3, [](int, int) { return RGB(7, 8, 9); }));
    s.ws.Image1MouseDown(s.ws.Editing, TMouseButton::mbLeft, 2, 1, false, false);
    EXPECT_EQ(s.ws.Settings.TargetColor, RGB(7, 8, 9));
    EXPECT_EQ(s.ws.Settings.PointX, 2);
    EXPECT_EQ(s.ws.Settings.PointY, 1);
    EXPECT_EQ(std::vector<int>({s.ws.Editing.PixR, s.ws.Editing.PixG, s.ws.Editing.PixB}), std::vector<int>({7, 8, 9}));
    EXPECT_EQ(s.ws.Original.PixR, 0);
    EXPECT_TRUE(s.captions.empty());
}

TEST(Pick, ClicksThatDoNothing) {
    struct Case {
        const char* name;
        TMouseButton button;
        bool rightPick;
        int x, y;
    };
    for (const Case c : {Case{"middle", TMouseButton::mbMiddle, true, 2, 2},
                         Case{"right without the check box", TMouseButton::mbRight, false, 2, 2},
                         Case{"left past the picture", TMouseButton::mbLeft, true, 12, 0},
                         Case{"left above the picture", TMouseButton::mbLeft, true, 0, -1},
                         Case{"right past the picture", TMouseButton::mbRight, true, 3, 8}}) {
        Scene s;
        s.ws.Original.Image1.SetBounds(20, 20); // the window shows more than its picture
        const TGraphic* finished = s.ws.Finished.Image1.Picture().Graphic();
        s.ws.Image1MouseDown(s.ws.Original, c.button, c.x, c.y, c.rightPick, true);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s.ws.Settings.TargetColor, 0);
        EXPECT_EQ(s.ws.Settings.PointX, 0);
        EXPECT_EQ(s.ws.Original.PixB, 0);
        EXPECT_EQ(s.ws.Finished.Image1.Picture().Graphic(), finished);
        EXPECT_EQ(s.ws.Editing.Image1.Picture().Graphic(), nullptr);
    }
    Scene empty; // a slot without a picture
    EXPECT_FALSE(empty.ws.Pick(empty.ws.Editing, 0, 0));
}

TEST(Gesture, ErasesTheClickedRegionFromTheFinishedPicture) {
    Scene s;
    s.rightClick(s.ws.Original, 2, 2, false);
    EXPECT_EQ(s.ws.Settings.TargetColor, kRed);
    EXPECT_TRUE(test::PictureEquals(s.ws.Finished, 12, 8, [](int x, int y) { return inRedSquare(x, y) ? kBack : scene(x, y); }));
    // The editing picture holds the mask, 24 bits, at the original's size.
    EXPECT_EQ(s.ws.Editing.WorkBmp->PixelDepth(), TPixelDepth::pd24Bit);
    EXPECT_TRUE(test::PictureEquals(s.ws.Editing, 12, 8, [](int x, int y) { return inRedSquare(x, y) ? kRed : clWhite; }));
    EXPECT_TRUE(test::PictureEquals(s.ws.Original, 12, 8, scene));
    EXPECT_EQ(s.captions.back(), "ヴェム～VEM～　100%");
    for (TImageSlot* slot : {&s.ws.Original, &s.ws.Editing, &s.ws.Finished})
        EXPECT_EQ(slot->WorkBmp, slot->Image1.Picture().Graphic());
    // Both say how they were painted: the square's bits, red over white in
    // the mask, the background over the original's pixels in the finished one.
    const TPaintedBits* mask = s.ws.Editing.WorkBmp->Image().Painted.get();
    const TPaintedBits* finished = s.ws.Finished.WorkBmp->Image().Painted.get();
    ASSERT_TRUE(mask && finished);
    EXPECT_EQ(std::tuple(mask->Colour, mask->BaseColour, mask->HasBase), std::tuple(PackedBgr(kRed), 0xFFFFFFu, false));
    EXPECT_EQ(std::tuple(finished->Colour, finished->HasBase), std::tuple(PackedBgr(kBack), true));
    EXPECT_EQ(finished->Base.lock(), s.ws.Original.WorkBmp->Image().PixelsToken().lock());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(CountBits(*finished->Bits, x, y, x + 1, y + 1), inRedSquare(x, y) ? 1u : 0u);
}

TEST(Gesture, TwoClicksWithAndWithoutApplying) {
    for (bool apply : {false, true}) {
        Scene s;
        s.rightClick(s.ws.Original, 3, 3, apply);
        s.rightClick(s.ws.Original, 10, 6, apply);
        SCOPED_TRACE(apply);
        auto both = [](int x, int y) { return inRedSquare(x, y) || inGreenBar(x, y) ? kBack : scene(x, y); };
        auto second = [](int x, int y) { return inGreenBar(x, y) ? kBack : scene(x, y); };
        if (apply) {
            EXPECT_TRUE(test::PictureEquals(s.ws.Original, 12, 8, both));
            EXPECT_TRUE(test::PictureEquals(s.ws.Editing, 12, 8, both));
            EXPECT_TRUE(test::PictureEquals(s.ws.Finished, 12, 8, both));
        } else {
            EXPECT_TRUE(test::PictureEquals(s.ws.Original, 12, 8, scene));
            EXPECT_TRUE(test::PictureEquals(s.ws.Finished, 12, 8, second));
        }
    }
}

// Clicks with the copy-back on, one after another, on a picture large enough
// for its blocks to be kept as spares: from the fourth click on, every store
// the slots hold is written into memory an earlier click let go of, and the
// pictures are what fresh memory would give.
TEST(Gesture, RepeatedClicksWithApplyingReuseTheirMemory) {
    constexpr int kSide = 640; // 1.2 MB per picture
    auto stripes = [](int x, int y) { return (x / 64 + y / 64) % 2 ? kRed : kBlue; };
    TWorkspace ws;
    ws.Settings.BackColor = kBack;
    PutPicture(ws.Original, *MakeBitmap24(kSide, kSide, stripes));
    PutPicture(ws.Finished, *MakeBitmap24(kSide, kSide, stripes));
    std::vector<const std::uint8_t*> seen;
    auto blocks = [&] {
        std::vector<const std::uint8_t*> now;
        for (TImageSlot* slot : {&ws.Original, &ws.Editing, &ws.Finished}) now.push_back(slot->WorkBmp->Image().Pixels.data());
        return now;
    };
    std::vector<std::pair<int, int>> erased;
    for (int click = 0; click < 6; ++click) {
        const int x = 32 + 64 * click, y = 32;
        ASSERT_TRUE(ws.EraseGesture(ws.Original, x, y, true));
        erased.emplace_back(x / 64, y / 64);
        const std::vector<const std::uint8_t*> now = blocks();
        if (click >= 3) {
            for (const std::uint8_t* block : now) EXPECT_NE(std::find(seen.begin(), seen.end(), block), seen.end()) << click;
        }
        seen.insert(seen.end(), now.begin(), now.end());
    }
    auto expected = [&](int x, int y) {
        const std::pair<int, int> cell(x / 64, y / 64);
        return std::find(erased.begin(), erased.end(), cell) != erased.end() ? kBack : stripes(x, y);
    };
    EXPECT_TRUE(test::PictureEquals(ws.Original, kSide, kSide, expected));
    EXPECT_TRUE(test::PictureEquals(ws.Finished, kSide, kSide, expected));
    // Given back, the spares are gone, and the next click still works.
    EXPECT_TRUE(PixelBlock::ReleaseSpares());
    EXPECT_EQ(PixelBlock::SpareCount(), 0u);
    EXPECT_TRUE(ws.EraseGesture(ws.Original, 32, 160, true));
    EXPECT_EQ(GetRValue(PixelAt(ws.Original, 32, 160)), GetRValue(kBack));
}

TEST(Gesture, ClickInTheMaskTakesTheMasksColourAndGrowsInTheOriginal) {
    Scene s;
    s.rightClick(s.ws.Original, 1, 1, false); // the mask: white with the red square
    // Clicking the mask's white at (9, 2) grows from the original's red
    // pixel there with white as the target: nothing but the start joins.
    s.rightClick(s.ws.Editing, 9, 2, false);
    EXPECT_EQ(s.ws.Settings.TargetColor, clWhite);
    EXPECT_EQ(std::vector<int>({s.ws.Editing.PixR, s.ws.Editing.PixG}), std::vector<int>({255, 255}));
    EXPECT_TRUE(test::PictureEquals(s.ws.Editing, 12, 8, [](int, int) { return clWhite; }));
    // A white mask region on a white background: mode 3 paints everything.
    EXPECT_TRUE(test::PictureEquals(s.ws.Finished, 12, 8, [](int, int) { return kBack; }));
}

TEST(Gesture, StartOutsideTheOriginalIsRejectedAfterThePick) {
    Scene s;
    PutPicture(s.ws.Editing, *MakeBitmap24(20, 10, [](int, int) { return kGreen; }));
    const TGraphic* finished = s.ws.Finished.Image1.Picture().Graphic();
    const TGraphic* editing = s.ws.Editing.Image1.Picture().Graphic();
    EXPECT_FALSE(s.ws.EraseGesture(s.ws.Editing, 15, 9, true));
    EXPECT_EQ(s.ws.Settings.TargetColor, kGreen);
    EXPECT_EQ(s.ws.Settings.PointX, 15);
    EXPECT_EQ(s.ws.Finished.Image1.Picture().Graphic(), finished);
    EXPECT_EQ(s.ws.Editing.Image1.Picture().Graphic(), editing);
    EXPECT_TRUE(test::PictureEquals(s.ws.Original, 12, 8, scene));
    EXPECT_TRUE(s.captions.empty());

    TWorkspace empty; // an empty original rejects mode 4 as well
    PutPicture(empty.Editing, *MakeBitmap24(2, 2, [](int, int) { return kGreen; }));
    EXPECT_FALSE(empty.EraseGesture(empty.Editing, 0, 0, false));
    EXPECT_FALSE(empty.ApproxFromPoint());
    EXPECT_EQ(empty.Finished.Image1.Picture().Graphic(), nullptr);
}

TEST(Gesture, ModeFourThroughTheCommand) {
    Scene s;
    s.ws.Settings.ConvMode = 4;
    s.ws.Settings.TargetColor = kGreen;
    s.ws.Settings.PointX = 8;
    s.ws.Settings.PointY = 5;
    s.ws.Editing.Image1.SetBounds(3, 3);
    s.ws.Finished.Image1.Surface().SetPixelColor(0, 0, kRed);
    s.ws.RunConversion();
    EXPECT_TRUE(test::PictureEquals(s.ws.Finished, 12, 8, scene));
    EXPECT_TRUE(test::PictureEquals(s.ws.Editing, 12, 8, [](int x, int y) { return inGreenBar(x, y) ? kGreen : clWhite; }));
    EXPECT_EQ(s.ws.Editing.Image1.Width(), 3);
    EXPECT_EQ(s.ws.Editing.Caption(), "MDIChild2");
    EXPECT_TRUE(s.captions.empty());
    EXPECT_EQ(s.ws.Finished.WorkBmp, s.ws.Finished.Image1.Picture().Graphic());

    for (int mode : {5, -1}) { // no such mode: nothing runs
        s.ws.Settings.ConvMode = mode;
        const TGraphic* before = s.ws.Finished.Image1.Picture().Graphic();
        s.ws.RunConversion();
        EXPECT_EQ(s.ws.Finished.Image1.Picture().Graphic(), before);
    }
}

TEST(Gesture, AFailingModeThreeStopsBeforeTheCopies) {
    Scene s;
    // The original window is wider than its picture: mode 4 grows in the
    // picture, but mode 3 walks the wider extent and runs out of mask columns.
    s.ws.Original.Image1.SetBounds(15, 8);
    EXPECT_THROW(s.rightClick(s.ws.Original, 2, 2, true), EInvalidGraphicOperation);
    EXPECT_TRUE(test::PictureEquals(s.ws.Original, 12, 8, scene));
    EXPECT_TRUE(test::PictureEquals(s.ws.Editing, 12, 8, [](int x, int y) { return inRedSquare(x, y) ? kRed : clWhite; }));
    // Row 0 holds no red: it is complete in the finished picture, as the
    // original, and no row finished, so no caption.
    EXPECT_TRUE(test::PictureEquals(s.ws.Finished, 12, 8, scene));
    EXPECT_TRUE(s.captions.empty());
    for (TImageSlot* slot : {&s.ws.Original, &s.ws.Editing, &s.ws.Finished})
        EXPECT_EQ(slot->WorkBmp, slot->Image1.Picture().Graphic());
}

} // namespace
} // namespace vem
