#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/base/Errors.h"
#include "core/formats/Icon.h"
#include "core/workspace/Picture.h"
#include "support/BmpBuilder.h"
#include "support/TestNames.h"

namespace vem {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<TBitmap> whiteBitmap(int w, int h) {
    auto b = std::make_unique<TBitmap>();
    b->SetWidth(w);
    b->SetHeight(h);
    b->SetPixelDepth(TPixelDepth::pd24Bit);
    return b;
}

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() / ("vem_picture_" + std::to_string(::getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::size_t Count() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {})); }

private:
    fs::path path_;
};

TEST(PictureTest, CopiesAreIndependentValuesSharingPixelsUntilChanged) {
    TPicture source;
    TPicture target;
    source.AssignGraphic(whiteBitmap(4, 4).get());
    target.AssignGraphic(source.Graphic());
    ASSERT_NE(target.Graphic(), source.Graphic());
    EXPECT_EQ(&target.AsBitmap().Image(), &source.AsBitmap().Image());

    target.AsBitmap().Surface().SetPixelColor(1, 2, clRed);
    EXPECT_EQ(source.AsBitmap().PixelColor(1, 2), clWhite);
    source.AsBitmap().Surface().SetPixelColor(3, 3, clBlack);
    EXPECT_EQ(target.AsBitmap().PixelColor(3, 3), clWhite);
    EXPECT_EQ(target.AsBitmap().PixelColor(1, 2), clRed);

    // The copy keeps the shared store alive after its source picture is gone.
    TPicture outlives;
    {
        TPicture gone;
        gone.AssignGraphic(source.Graphic());
        outlives.AssignGraphic(gone.Graphic());
    }
    EXPECT_EQ(outlives.AsBitmap().PixelColor(3, 3), clBlack);
}

TEST(PictureTest, AssigningNullEmptiesThePicture) {
    TPicture p;
    p.AssignGraphic(whiteBitmap(3, 2).get());
    int reports = 0;
    p.OnChange = [&] { ++reports; };
    p.AssignGraphic(nullptr);
    EXPECT_EQ(p.Graphic(), nullptr);
    EXPECT_EQ(p.Width(), 0);
    EXPECT_EQ(p.Height(), 0);
    EXPECT_EQ(reports, 1);
}

TEST(PictureTest, FailedReportLeavesTheOldGraphic) {
    TPicture p;
    p.AssignGraphic(whiteBitmap(3, 2).get());
    TGraphic* before = p.Graphic();
    p.OnChange = [] { throw EOutOfResources("システム リソースが足りません"); };
    EXPECT_THROW(p.AssignGraphic(whiteBitmap(5, 5).get()), EOutOfResources);
    EXPECT_EQ(p.Graphic(), before);
    EXPECT_EQ(p.Width(), 3);
}

TEST(PictureTest, AsBitmapInstallsOneEmptyBitmap) {
    TPicture p;
    int reports = 0;
    p.OnChange = [&] { ++reports; };
    TBitmap& first = p.AsBitmap();
    EXPECT_EQ(first.Width(), 0);
    EXPECT_EQ(first.Height(), 0);
    EXPECT_EQ(p.Graphic(), &first);
    EXPECT_EQ(&p.AsBitmap(), &first);
    EXPECT_EQ(reports, 1) << "the second call changes nothing";
}

TEST(PictureTest, AsBitmapDiscardsAnIcon) {
    TPicture p;
    TIcon icon;
    p.AssignGraphic(&icon);
    ASSERT_NE(p.Graphic(), &icon);
    EXPECT_STREQ(p.Graphic()->KindName(), "icon");
    TBitmap& b = p.AsBitmap();
    EXPECT_STREQ(p.Graphic()->KindName(), "bitmap");
    EXPECT_EQ(p.Graphic(), &b);
    EXPECT_TRUE(b.Empty());
}

TEST(PictureTest, ChangesOfTheBitmapReachTheImageControl) {
    TImage image(10, 10);
    int reports = 0;
    image.OnChange = [&] { ++reports; };
    image.Picture().AssignGraphic(whiteBitmap(2, 2).get());
    EXPECT_EQ(reports, 1);
    image.Picture().AsBitmap().Surface().SetPixelColor(0, 0, clRed);
    EXPECT_EQ(reports, 2);
    image.Picture().AsBitmap().SetPixelDepth(TPixelDepth::pd8Bit);
    EXPECT_EQ(reports, 3);
    image.SetBounds(20, 30);
    EXPECT_EQ(reports, 4);
    image.SetBounds(20, 30);
    EXPECT_EQ(reports, 4) << "no change, no report";
}

TEST(ImageTest, AutoSizeFollowsOnlyPicturesWithBothSidesPositive) {
    TImage image(7, 9);
    image.AutoSize = true;
    TBitmap empty;
    image.Picture().AssignGraphic(&empty);
    EXPECT_EQ(image.Width(), 7);
    EXPECT_EQ(image.Height(), 9);
    TBitmap flat;
    flat.SetWidth(50);
    image.Picture().AssignGraphic(&flat);
    EXPECT_EQ(image.Width(), 7) << "50 x 0 is empty";
    image.Picture().AssignGraphic(whiteBitmap(320, 200).get());
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.Height(), 200);
    // A size change of the bitmap itself reaches the control too.
    image.Picture().AsBitmap().SetHeight(100);
    EXPECT_EQ(image.Height(), 100);

    TImage fixed(7, 9);
    fixed.Picture().AssignGraphic(whiteBitmap(320, 200).get());
    EXPECT_EQ(fixed.Width(), 7);
}

TEST(ImageTest, SurfaceOfAnEmptyControlIsAWhiteBlankBitmap) {
    TImage image(41, 17);
    TCanvas& canvas = image.Surface();
    TBitmap& b = image.Picture().AsBitmap();
    EXPECT_EQ(b.Width(), 41);
    EXPECT_EQ(b.Height(), 17);
    EXPECT_EQ(b.PixelDepth(), TPixelDepth::pdDevice);
    EXPECT_TRUE(b.Image().ColorTable.empty());
    canvas.SetBrushColor(clRed);
    canvas.DrawRectangle(0, 0, 41, 17);
    int red = 0, black = 0;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 41; ++x) (b.PixelColor(x, y) == clRed ? red : black)++;
    EXPECT_EQ(red, 39 * 15);
    EXPECT_EQ(black, 41 * 17 - 39 * 15);
    EXPECT_EQ(b.PixelColor(0, 0), clBlack);
    EXPECT_EQ(b.PixelColor(1, 1), clRed);
    EXPECT_EQ(&image.Surface(), &canvas) << "the second call returns the same surface";
}

TEST(ImageTest, SurfaceOfAZeroWidthControlHasNoPixels) {
    TImage image(0, 12);
    TCanvas& canvas = image.Surface();
    TBitmap& b = image.Picture().AsBitmap();
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 12);
    EXPECT_FALSE(b.Image().HasPixels());
    canvas.SetPixelColor(0, 0, clRed);
    canvas.DrawRectangle(0, 0, 5, 5);
    EXPECT_THROW(b.Row(0), EInvalidGraphicOperation);
}

TEST(ImageTest, SurfaceRefusesAnIcon) {
    TImage image(5, 5);
    TIcon icon;
    image.Picture().AssignGraphic(&icon);
    TGraphic* before = image.Picture().Graphic();
    try {
        image.Surface();
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message, "ビットマップを持っている時のみイメージの変更が可能です");
    }
    EXPECT_EQ(image.Picture().Graphic(), before);
}

struct PlacementCase {
    const char* name;
    int w, h, cw, ch;
    bool stretch, proportional, center;
    TRect expected;
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, DestRect) {
    const PlacementCase& c = GetParam();
    TImage image;
    if (c.w > 0 || c.h > 0) {
        TBitmap b;
        b.SetWidth(c.w);
        b.SetHeight(c.h);
        image.Picture().AssignGraphic(&b);
    }
    image.Stretch = c.stretch;
    image.Proportional = c.proportional;
    image.Center = c.center;
    EXPECT_EQ(image.DestRect(c.cw, c.ch), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Placement,
    ::testing::Values(
        PlacementCase{"plain", 30, 20, 100, 80, false, false, false, {0, 0, 30, 20}},
        PlacementCase{"stretch", 30, 20, 100, 80, true, false, false, {0, 0, 100, 80}},
        PlacementCase{"centerOnly", 30, 20, 100, 81, false, false, true, {35, 30, 65, 50}},
        PlacementCase{"centerLarger", 300, 200, 100, 80, false, false, true, {-100, -60, 200, 140}},
        // Proportional shrinks only what does not fit.
        PlacementCase{"propSmall", 30, 20, 100, 80, false, true, false, {0, 0, 30, 20}},
        // Wide: width first, 200 / (3 / 2) = 133.33 -> 133.
        PlacementCase{"propWide", 300, 200, 200, 150, false, true, false, {0, 0, 200, 133}},
        // Wide but the height still overflows: 80 * 1.5 = 120.
        PlacementCase{"propWideRefit", 300, 200, 200, 80, false, true, false, {0, 0, 120, 80}},
        // Tall: height first, 150 * (100 / 400) = 37.5 -> 37.
        PlacementCase{"propTall", 100, 400, 200, 150, false, true, false, {0, 0, 37, 150}},
        // Truncation, not rounding: 100 * (7 / 9) = 77.78 -> 77.
        PlacementCase{"propTruncates", 700, 900, 500, 100, false, true, false, {0, 0, 77, 100}},
        PlacementCase{"stretchProportionalGrows", 30, 20, 90, 90, true, true, false, {0, 0, 90, 60}},
        PlacementCase{"propCentered", 300, 200, 200, 151, false, true, true, {0, 9, 200, 142}},
        // An empty side cannot keep a ratio: the whole client area.
        PlacementCase{"stretchFlat", 30, 0, 100, 80, true, true, false, {0, 0, 100, 80}},
        PlacementCase{"emptyPicture", 0, 0, 100, 80, false, false, true, {50, 40, 50, 40}},
        // Odd differences halve toward zero, also when negative.
        PlacementCase{"centerNegativeOdd", 103, 3, 100, 0, false, false, true, {-1, -1, 102, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PictureFileTest, PictureWithoutGraphicWritesNothing) {
    TempDir dir;
    TPicture p;
    p.SaveFile(dir.File("none.bmp"));
    EXPECT_EQ(dir.Count(), 0u);
}

struct RefusedName {
    const char* name;
    const char* expected;
};

class UnregisteredExtension : public ::testing::TestWithParam<RefusedName> {};

TEST_P(UnregisteredExtension, IsRefusedWithTheExtensionAsTyped) {
    TPicture p;
    p.AssignGraphic(whiteBitmap(2, 2).get());
    TGraphic* before = p.Graphic();
    try {
        p.LoadFile(GetParam().name);
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, GetParam().expected);
    }
    EXPECT_EQ(p.Graphic(), before);
    EXPECT_EQ(p.Width(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnregisteredExtension,
    ::testing::Values(RefusedName{"x.gif", "拡張子 .gif の画像形式は処理できません"},
                      RefusedName{"photo.JPG", "拡張子 .JPG の画像形式は処理できません"},
                      RefusedName{"noextension", "拡張子 . の画像形式は処理できません"},
                      RefusedName{"folder.bmp/noextension", "拡張子 . の画像形式は処理できません"},
                      RefusedName{"archive.bmp.zip", "拡張子 .zip の画像形式は処理できません"}),
    [](const auto& info) { return test::TestNamePart(info.param.name); });

TEST(PictureFileTest, UnreadableFilesLeaveThePictureAsItWas) {
    TempDir dir;
    fs::create_directory(dir.File("folder.bmp"));
    TPicture p;
    p.AssignGraphic(whiteBitmap(2, 2).get());
    TGraphic* before = p.Graphic();
    EXPECT_THROW(p.LoadFile(dir.File("missing.bmp")), EFOpenError);
    EXPECT_THROW(p.LoadFile(dir.File("folder.bmp")), EFOpenError);
    std::ofstream(dir.File("text.bmp")) << "not a bitmap at all";
    try {
        p.LoadFile(dir.File("text.bmp"));
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "ビットマップイメージが不正です");
    }
    EXPECT_EQ(p.Graphic(), before);
}

TEST(PictureFileTest, LoadReplacesTheGraphicAndResizesAnAutoSizeControl) {
    TempDir dir;
    const test::Bytes bytes = test::BmpBuilder(3, 2).Row({1, 2, 3}).Row({4, 5, 6}).Build();
    std::ofstream(dir.File("small.BMP"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    TImage image(1, 1);
    image.AutoSize = true;
    int reports = 0;
    image.OnChange = [&] { ++reports; };
    image.Picture().LoadFile(dir.File("small.BMP"));
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(image.Height(), 2);
    TBitmap& b = image.Picture().AsBitmap();
    EXPECT_EQ(b.PixelDepth(), TPixelDepth::pd24Bit);
    EXPECT_EQ(b.PixelColor(0, 1), RGB(3, 2, 1)) << "the first stored row is the bottom row";

    // The bitmap reports its own changes once it belongs to the picture.
    b.Surface().SetPixelColor(0, 0, clRed);
    EXPECT_EQ(reports, 2);

    image.Picture().SaveFile(dir.File("copy.bmp"));
    TPicture again;
    again.LoadFile(dir.File("copy.bmp"));
    EXPECT_EQ(again.AsBitmap().PixelColor(0, 0), clRed);
    EXPECT_EQ(again.AsBitmap().PixelColor(0, 1), RGB(3, 2, 1));
    EXPECT_EQ(dir.Count(), 2u) << "no temporary file is left";
}

} // namespace
} // namespace vem
