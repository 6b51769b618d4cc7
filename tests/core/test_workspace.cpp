#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/base/Errors.h"
#include "core/workspace/Workspace.h"
#include "support/BmpBuilder.h"
#include "support/EnginePictures.h"

namespace vem {
namespace {

namespace fs = std::filesystem;
using test::MakeBitmap24;
using test::PixelAt;
using test::PutPicture;

TColor gradient(int x, int y) { return RGB(static_cast<std::uint8_t>(20 * x), static_cast<std::uint8_t>(30 * y), 99); }

class WorkspaceFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vem_ws_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string saveGradient(const std::string& name, int w, int h) {
        TPicture p;
        p.AssignGraphic(MakeBitmap24(w, h, gradient).get());
        p.SaveFile(path(name));
        return path(name);
    }
    std::string writeBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          static_cast<std::streamsize>(bytes.size()));
        return path(name);
    }
    fs::path dir_;
};

TEST(Workspace, StartsEmptyWithItsFixedNames) {
    TWorkspace ws;
    EXPECT_EQ(ws.TitleText, "ヴェム～VEM～　");
    const char* kinds[] = {"原画", "編集用", "完成"};
    const char* captions[] = {"MDIChild1", "MDIChild2", "MDIChild3"};
    for (int n = 1; n <= 3; ++n) {
        TImageSlot& s = ws.Slot(n);
        EXPECT_EQ(s.Number(), n);
        EXPECT_EQ(s.KindName(), kinds[n - 1]);
        EXPECT_EQ(s.Caption(), captions[n - 1]);
        EXPECT_EQ(s.Image1.Width(), 1);
        EXPECT_EQ(s.Image1.Height(), 1);
        EXPECT_EQ(s.WorkBmp, nullptr);
        EXPECT_EQ(s.Image1.Picture().Graphic(), nullptr);
        EXPECT_EQ(s.SizeText(), "0×0");
        EXPECT_EQ(s.PixR + s.PixG + s.PixB, 0);
        EXPECT_EQ(s.Image1.AutoSize, n == 3);
    }
    EXPECT_EQ(ws.Settings.ConvMode, 0);
    EXPECT_EQ(ws.Settings.TargetColor, 0);
    EXPECT_EQ(ws.Settings.BackColor, 0);
    EXPECT_EQ(ws.Settings.PointX + ws.Settings.PointY + ws.Settings.ApproxLV + ws.Settings.LimitLV, 0);
    EXPECT_THROW(ws.Slot(0), std::out_of_range);
}

TEST_F(WorkspaceFiles, TargetOneLoadsTwoIndependentPictures) {
    const std::string file = saveGradient("a.bmp", 7, 5);
    TWorkspace ws;
    int captionChanges = 0;
    ws.Original.OnCaptionChange = [&] { ++captionChanges; };
    ws.LoadByTarget(1, file);
    EXPECT_EQ(ws.Original.Caption(), "原画:7×5");
    EXPECT_EQ(ws.Finished.Caption(), "完成:7×5");
    EXPECT_EQ(ws.Editing.Caption(), "MDIChild2");
    EXPECT_EQ(captionChanges, 1);
    for (TImageSlot* s : {&ws.Original, &ws.Finished}) {
        EXPECT_EQ(s->Image1.Width(), 7);
        EXPECT_EQ(s->Image1.Height(), 5);
        EXPECT_EQ(s->WorkBmp, s->Image1.Picture().Graphic());
        EXPECT_EQ(s->WorkBmp->PixelDepth(), TPixelDepth::pd24Bit);
        EXPECT_TRUE(test::PictureEquals(*s, 7, 5, gradient));
    }
    // One read: the two share the store until one of them changes.
    EXPECT_EQ(&ws.Original.WorkBmp->Image(), &ws.Finished.WorkBmp->Image());
    ws.Finished.Image1.Surface().SetPixelColor(3, 2, clRed);
    EXPECT_EQ(PixelAt(ws.Original, 3, 2), gradient(3, 2));
    EXPECT_NE(ws.Original.WorkBmp, ws.Finished.WorkBmp);
}

TEST_F(WorkspaceFiles, OtherTargetsLoadOnlyWhatTheyName) {
    const std::string file = saveGradient("b.bmp", 4, 6);
    TWorkspace ws;
    ws.LoadByTarget(2, file);
    EXPECT_EQ(ws.Editing.Caption(), "編集用:4×6");
    EXPECT_EQ(ws.Original.Image1.Picture().Graphic(), nullptr);
    EXPECT_EQ(ws.Finished.Image1.Picture().Graphic(), nullptr);
    for (int target : {0, 3, -1}) {
        ws.LoadByTarget(target, file);
        EXPECT_EQ(ws.Original.Caption(), "MDIChild1");
        EXPECT_EQ(ws.Finished.WorkBmp, nullptr);
    }
}

TEST_F(WorkspaceFiles, FailedLoadLeavesBothSlotsAsTheyWere) {
    TWorkspace ws;
    ws.LoadByTarget(1, saveGradient("c.bmp", 3, 3));
    TBitmap* before = ws.Original.WorkBmp;
    ws.Finished.Image1.Surface().SetPixelColor(0, 0, clRed);
    EXPECT_THROW(ws.LoadByTarget(1, path("missing.bmp")), EFOpenError);
    EXPECT_THROW(ws.LoadByTarget(1, path("c.xyz")), EInvalidGraphic);
    EXPECT_THROW(ws.LoadByTarget(1, writeBytes("bad.bmp", {'B', 'M', 1, 2})), Exception);
    EXPECT_EQ(ws.Original.WorkBmp, before);
    EXPECT_EQ(ws.Original.Caption(), "原画:3×3");
    EXPECT_EQ(PixelAt(ws.Finished, 0, 0), clRed);
}

TEST_F(WorkspaceFiles, AnIconBecomesAnEmptyBitmapWithTheIconsExtent) {
    // A 32 x 32 icon whose one image is a PNG stream.
    std::vector<std::uint8_t> ico = {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 33, 0, 0, 0, 22, 0, 0, 0};
    const std::uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                0, 0, 0, 32, 0, 0, 0, 32, 8, 6, 0, 0, 0, 0, 0, 0, 0};
    ico.insert(ico.end(), std::begin(png), std::end(png));
    TWorkspace ws;
    ws.LoadByTarget(1, writeBytes("i.ico", ico));
    EXPECT_EQ(ws.Original.Caption(), "原画:0×0");
    EXPECT_EQ(ws.Original.Image1.Width(), 32);
    EXPECT_EQ(ws.Original.Image1.Height(), 32);
    ASSERT_NE(ws.Original.WorkBmp, nullptr);
    EXPECT_EQ(ws.Original.WorkBmp, ws.Original.Image1.Picture().Graphic());
    EXPECT_EQ(ws.Original.WorkBmp->Width(), 0);
    // The finished picture reads the icon itself, not the original's bitmap.
    EXPECT_EQ(ws.Finished.Image1.Width(), 32);
    EXPECT_EQ(ws.Finished.Caption(), "完成:0×0");
}

TEST_F(WorkspaceFiles, SavingWritesTheSlotsPictureOrNothing) {
    TWorkspace ws;
    ws.SaveSlot(ws.Finished, path("none.bmp"));
    EXPECT_FALSE(fs::exists(path("none.bmp")));
    PutPicture(ws.Editing, *MakeBitmap24(5, 2, gradient));
    ws.SaveSlot(ws.Editing, path("e"));
    TWorkspace back;
    back.Editing.Image1.Picture().AssignGraphic(nullptr);
    EXPECT_THROW(back.LoadByTarget(2, path("e")), EInvalidGraphic); // no extension was added
    fs::rename(path("e"), path("e.bmp"));
    back.LoadByTarget(2, path("e.bmp"));
    EXPECT_TRUE(test::PictureEquals(back.Editing, 5, 2, gradient));
}

TEST(Workspace, CopiesKeepTheTargetsCaptionAndExtent) {
    TWorkspace ws;
    ws.CopyOriginalToEditing(); // an empty original makes the editing picture empty
    ASSERT_NE(ws.Editing.WorkBmp, nullptr);
    EXPECT_EQ(ws.Editing.WorkBmp->Width(), 0);
    PutPicture(ws.Editing, *MakeBitmap24(2, 2, gradient));
    PutPicture(ws.Original, *MakeBitmap24(6, 4, gradient));
    ws.Original.Image1.SetBounds(9, 9);
    ws.CopyOriginalToEditing();
    EXPECT_EQ(ws.Editing.Image1.Width(), 2);
    EXPECT_EQ(ws.Editing.Caption(), "MDIChild2");
    EXPECT_TRUE(test::PictureEquals(ws.Editing, 6, 4, gradient));
    ws.Editing.Image1.Surface().SetPixelColor(1, 1, clRed);
    EXPECT_EQ(PixelAt(ws.Original, 1, 1), gradient(1, 1));

    PutPicture(ws.Finished, *MakeBitmap24(3, 3, [](int, int) { return clRed; }));
    ws.CopyFinishedToOriginal();
    EXPECT_EQ(ws.Original.Image1.Width(), 9);
    EXPECT_EQ(ws.Original.WorkBmp, ws.Original.Image1.Picture().Graphic());
    EXPECT_TRUE(test::PictureEquals(ws.Original, 3, 3, [](int, int) { return clRed; }));
}

TEST(Workspace, TheFinishedExtentFollowsItsPictureOnly) {
    TWorkspace ws;
    PutPicture(ws.Original, *MakeBitmap24(8, 3, gradient), /*keepExtent=*/true);
    PutPicture(ws.Editing, *MakeBitmap24(8, 3, gradient));
    ws.Settings.ConvMode = 1;
    ws.RunConversion();
    EXPECT_EQ(ws.Finished.Image1.Width(), 8);
    EXPECT_EQ(ws.Finished.Image1.Height(), 3);
    EXPECT_EQ(ws.Original.Image1.Width(), 1);
}

TEST_F(WorkspaceFiles, PixelReadsSeeTrueColoursOfEveryDepth) {
    // An 8-bit file 3 x 1: indices 2, 0, 1 into a three-entry table.
    test::BmpBuilder b(3, 1, 8);
    b.ClrUsed(3).Table({{10, 20, 30}, {40, 50, 60}, {70, 80, 90}}).Row({2, 0, 1});
    TWorkspace ws;
    ws.LoadByTarget(1, writeBytes("p8.bmp", b.Build()));
    ASSERT_EQ(ws.Original.WorkBmp->PixelDepth(), TPixelDepth::pd8Bit);
    std::uint8_t r, g, bl;
    ws.Original.GetPix(0, 0, r, g, bl);
    EXPECT_EQ(RGB(r, g, bl), RGB(90, 80, 70));
    ws.Original.GetPix(2, 0, r, g, bl);
    EXPECT_EQ(RGB(r, g, bl), RGB(60, 50, 40));
    EXPECT_THROW(ws.Original.GetPix(3, 0, r, g, bl), EInvalidGraphicOperation);
    EXPECT_THROW(ws.Original.GetPix(0, 1, r, g, bl), EInvalidGraphicOperation);
    EXPECT_THROW(ws.Editing.GetPix(0, 0, r, g, bl), EInvalidGraphicOperation);
}

} // namespace
} // namespace vem
