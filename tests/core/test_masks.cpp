#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/base/Errors.h"
#include "core/workspace/Workspace.h"
#include "support/EnginePictures.h"

namespace vem {
namespace {

using test::MakeBitmap24;
using test::MakeRandomBitmap;
using test::PixelAt;
using test::PutPicture;

const std::string kTitle = "ヴェム～VEM～　";

struct Session {
    TWorkspace ws;
    std::vector<std::string> captions;
    Session() {
        ws.OnCaption = [this](const std::string& t) { captions.push_back(t); };
    }
    void mode(int m) {
        ws.Settings.ConvMode = m;
        ws.RunConversion();
    }
};

// Position (x, y) is painted by mode M, read pixel by pixel through each
// picture's own colours.
bool selected(int mode, TColor orig, TColor edit, TColor target) {
    switch (mode) {
    case 0: return orig != edit;
    case 1: return orig == edit;
    case 2: return edit != target;
    default: return edit == target;
    }
}

// The colour SetPixelColor leaves when painting Back into a bitmap of
// Like's depth.
TColor paintedColour(const TBitmap& like, TColor back) {
    TBitmap scratch;
    scratch.AssignFrom(&like);
    scratch.Surface().SetPixelColor(0, 0, back);
    return scratch.PixelColor(0, 0);
}

void expectLiteralResult(Session& r, int mode, const TBitmap& orig, const TBitmap& edit) {
    const int w = r.ws.Original.Image1.Width(), h = r.ws.Original.Image1.Height();
    const TColor painted = paintedColour(orig, r.ws.Settings.BackColor);
    for (int y = 0; y < orig.Height(); ++y)
        for (int x = 0; x < orig.Width(); ++x) {
            const bool inRun = x < w && y < h;
            const TColor o = orig.PixelColor(x, y);
            const bool paint = inRun && selected(mode, o, edit.PixelColor(x, y), r.ws.Settings.TargetColor);
            ASSERT_EQ(PixelAt(r.ws.Finished, x, y), paint ? painted : o) << "at " << x << "," << y;
        }
}

std::vector<std::string> expectedCaptions(int rows, int upTo) {
    std::vector<std::string> out;
    for (int y = 0; y < upTo; ++y) {
        const std::string t = kTitle + std::to_string((y + 1) * 100 / rows) + "%";
        if (out.empty() || out.back() != t) out.push_back(t);
    }
    return out;
}

class PixelRules : public ::testing::TestWithParam<int> {};

TEST_P(PixelRules, MatchThePerPixelDefinitionOnRandomPairs) {
    const int mode = GetParam();
    std::mt19937 rng(static_cast<unsigned>(mode) * 31 + 5);
    for (int round = 0; round < 12; ++round) {
        const int w = std::uniform_int_distribution<int>(1, 23)(rng);
        const int h = std::uniform_int_distribution<int>(1, 130)(rng);
        auto orig = MakeRandomBitmap(w, h, rng, 3);
        // The editing picture agrees with the original on about half the
        // pixels, and is sometimes larger (its extra part is ignored).
        const int extra = round % 3 == 0 ? 4 : 0;
        std::bernoulli_distribution same(0.5);
        std::vector<char> keep(static_cast<std::size_t>(w + extra) * (h + extra));
        for (auto& k : keep) k = same(rng);
        auto edit = MakeBitmap24(w + extra, h + extra, [&](int x, int y) {
            const bool inside = x < w && y < h;
            return inside && keep[static_cast<std::size_t>(y) * (w + extra) + x] ? orig->PixelColor(x, y) : RGB(1, 2, 3);
        });
        Session r;
        PutPicture(r.ws.Original, *orig);
        PutPicture(r.ws.Editing, *edit);
        r.ws.Settings.TargetColor = round % 2 ? RGB(1, 2, 3) : orig->PixelColor(0, 0);
        r.ws.Settings.BackColor = round % 4 == 1 ? clBtnFace : RGB(9, 8, 7);
        r.mode(mode);
        SCOPED_TRACE(testing::Message() << "round " << round << " " << w << "x" << h);
        expectLiteralResult(r, mode, *orig, *edit);
        EXPECT_EQ(r.captions, expectedCaptions(h, h));
        // The inputs are untouched, and a second run gives the same picture.
        EXPECT_TRUE(test::PictureEquals(r.ws.Original, w, h, [&](int x, int y) { return orig->PixelColor(x, y); }));
        EXPECT_EQ(PixelAt(r.ws.Editing, w + extra - 1, 0), edit->PixelColor(w + extra - 1, 0));
        r.mode(mode);
        expectLiteralResult(r, mode, *orig, *edit);
        EXPECT_EQ(r.ws.Finished.WorkBmp, r.ws.Finished.Image1.Picture().Graphic());
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, PixelRules, ::testing::Values(0, 1, 2, 3),
                         [](const auto& info) { return "Mode" + std::to_string(info.param); });

// Pictures of other depths are read through their true colours, and the
// finished copy keeps the original's depth and is painted in it.
struct DepthCase {
    TPixelDepth original, editing;
};

void PrintTo(const DepthCase& c, std::ostream* os) { *os << PixelDepthName(c.original) << "/" << PixelDepthName(c.editing); }

class PixelRulesDepths : public ::testing::TestWithParam<DepthCase> {};

TEST_P(PixelRulesDepths, ReadAndPaintThroughEachDepth) {
    std::mt19937 rng(3);
    auto orig = MakeRandomBitmap(13, 9, rng, 4);
    orig->SetPixelDepth(GetParam().original);
    auto edit = MakeRandomBitmap(13, 9, rng, 4);
    for (int y = 0; y < 9; y += 2) // half the rows agree with the original
        for (int x = 0; x < 13; ++x) edit->Surface().SetPixelColor(x, y, orig->PixelColor(x, y));
    edit->SetPixelDepth(GetParam().editing);
    for (int mode : {0, 1, 2, 3}) {
        Session r;
        PutPicture(r.ws.Original, *orig);
        PutPicture(r.ws.Editing, *edit);
        r.ws.Settings.TargetColor = edit->PixelColor(4, 4);
        r.ws.Settings.BackColor = RGB(200, 30, 90);
        r.mode(mode);
        SCOPED_TRACE(mode);
        ASSERT_EQ(r.ws.Finished.WorkBmp->PixelDepth(), GetParam().original);
        expectLiteralResult(r, mode, *orig, *edit);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PixelRulesDepths,
                         ::testing::Values(DepthCase{TPixelDepth::pd8Bit, TPixelDepth::pd24Bit},
                                           DepthCase{TPixelDepth::pd24Bit, TPixelDepth::pd4Bit},
                                           DepthCase{TPixelDepth::pd16Bit, TPixelDepth::pd32Bit},
                                           DepthCase{TPixelDepth::pdDevice, TPixelDepth::pd15Bit},
                                           DepthCase{TPixelDepth::pd1Bit, TPixelDepth::pdDevice}),
                         [](const auto& info) {
                             const DepthCase& c = info.param;
                             return std::string(PixelDepthName(c.original)) + "_" + PixelDepthName(c.editing);
                         });

TEST(PixelRules, CaptionsCountRowsWithoutOverflow) {
    Session r;
    auto pic = MakeBitmap24(2, 3, [](int, int) { return clBlack; });
    PutPicture(r.ws.Original, *pic);
    PutPicture(r.ws.Editing, *pic);
    r.mode(0);
    EXPECT_EQ(r.captions, (std::vector<std::string>{kTitle + "33%", kTitle + "66%", kTitle + "100%"}));
    // A following run of one row still reports, although the text is the same.
    auto row = MakeBitmap24(4, 1, [](int, int) { return clBlack; });
    PutPicture(r.ws.Original, *row);
    PutPicture(r.ws.Editing, *row);
    r.captions.clear();
    r.mode(1);
    r.mode(1);
    EXPECT_EQ(r.captions, (std::vector<std::string>{kTitle + "100%", kTitle + "100%"}));
}

TEST(PixelRules, EmptyExtentsEndTheRunWithACopy) {
    for (const auto& [w, h] : {std::pair{0, 3}, std::pair{4, 0}}) {
        Session r;
        auto pic = MakeBitmap24(4, 3, [](int x, int) { return RGB(static_cast<std::uint8_t>(x), 0, 0); });
        PutPicture(r.ws.Original, *pic);
        r.ws.Original.Image1.SetBounds(w, h);
        r.mode(1); // editing empty: would raise at the first read
        EXPECT_TRUE(r.captions.empty());
        EXPECT_TRUE(test::PictureEquals(r.ws.Finished, 4, 3, [](int x, int) { return RGB(static_cast<std::uint8_t>(x), 0, 0); }));
    }
}

TEST(PixelRules, SystemColoursAreResolvedForPaintingAndNeverMatchPixels) {
    Session r;
    const TColor window = ResolveColor(clWindow);
    auto pic = MakeBitmap24(13, 2, [&](int x, int) { return x == 0 || x == 9 ? window : clBlack; });
    PutPicture(r.ws.Original, *pic);
    PutPicture(r.ws.Editing, *pic);
    r.ws.Settings.TargetColor = clWindow; // a system colour equals no pixel
    r.ws.Settings.BackColor = clBtnFace;
    r.mode(3);
    EXPECT_EQ(PixelAt(r.ws.Finished, 0, 0), window);
    r.mode(2);
    EXPECT_EQ(PixelAt(r.ws.Finished, 0, 0), ResolveColor(clBtnFace));
    EXPECT_EQ(PixelAt(r.ws.Finished, 2, 1), ResolveColor(clBtnFace));
}

// Which bitmaps the run prepares (as its per-pixel reads and writes through
// Row and SetPixelColor would) shows in the colours-used field that a save writes.
TEST(PixelRules, PreparesExactlyTheBitmapsThePerPixelRunTouches) {
    struct Case {
        int mode;
        bool paints;
        std::uint32_t original, editing, finished;
    };
    for (const Case c : {Case{0, false, 0, 0, 7}, Case{1, true, 0, 0, 0}, Case{3, false, 7, 0, 7}, Case{2, true, 7, 0, 0}}) {
        Session r;
        auto pic = MakeBitmap24(3, 2, [](int, int) { return RGB(5, 5, 5); });
        pic->MutableImage().ClrUsed = 7;
        PutPicture(r.ws.Original, *pic);
        auto edit = MakeBitmap24(3, 2, [](int, int) { return RGB(5, 5, 5); });
        edit->MutableImage().ClrUsed = 7;
        PutPicture(r.ws.Editing, *edit);
        r.ws.Settings.TargetColor = RGB(1, 1, 1);
        r.mode(c.mode);
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(r.ws.Original.WorkBmp->Image().ClrUsed, c.original);
        EXPECT_EQ(r.ws.Editing.WorkBmp->Image().ClrUsed, c.editing);
        EXPECT_EQ(r.ws.Finished.WorkBmp->Image().ClrUsed, c.finished);
    }
}

TEST(PixelRules, FinishedBufferIsNotReusedWhileTheOriginalSharesIt) {
    Session r;
    auto pic = MakeBitmap24(5, 4, [](int x, int y) { return RGB(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0); });
    auto edit = MakeBitmap24(5, 4, [](int x, int) { return x < 2 ? RGB(static_cast<std::uint8_t>(x), 0, 0) : clBlack; });
    PutPicture(r.ws.Original, *pic);
    PutPicture(r.ws.Editing, *edit);
    r.ws.Settings.BackColor = RGB(50, 60, 70);
    r.mode(1); // column 0 row 0 and column 1 row 0 agree
    EXPECT_EQ(PixelAt(r.ws.Finished, 1, 0), RGB(50, 60, 70));
    r.ws.CopyFinishedToOriginal();
    r.ws.Settings.BackColor = RGB(1, 1, 1);
    r.mode(0); // now paints everything that differs from the editing picture
    EXPECT_EQ(PixelAt(r.ws.Original, 1, 0), RGB(50, 60, 70));
    EXPECT_EQ(PixelAt(r.ws.Original, 4, 3), RGB(4, 3, 0));
    EXPECT_EQ(PixelAt(r.ws.Finished, 4, 3), RGB(1, 1, 1));
}

// A picture too short or too narrow for the original's extent stops the run
// where the per-pixel run would read outside it.
struct FailureCase {
    const char* name;
    int mode;
    int editW, editH;  // editing picture size (original 6 x 5)
    int extentW, extentH;
    int paintedRows;   // complete rows before the failure
    int paintedInRow;  // pixels of the failing row painted before it
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class PixelRulesFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PixelRulesFailures, KeepWhatWasPaintedAndPassTheErrorOn) {
    const FailureCase& c = GetParam();
    Session r;
    auto orig = MakeBitmap24(6, 5, [](int x, int y) { return RGB(static_cast<std::uint8_t>(10 + x), static_cast<std::uint8_t>(y), 0); });
    auto edit = MakeBitmap24(c.editW, c.editH, [](int, int) { return clBlack; });
    PutPicture(r.ws.Original, *orig);
    PutPicture(r.ws.Editing, *edit);
    r.ws.Original.Image1.SetBounds(c.extentW, c.extentH);
    r.ws.Settings.TargetColor = clBlack; // modes 2/3 select everywhere / nowhere
    r.ws.Settings.BackColor = RGB(0, 0, 255);
    r.ws.Settings.ConvMode = c.mode;
    try {
        r.ws.RunConversion();
        FAIL() << "no error";
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message, "スキャンライン のインデックスが範囲を越えました");
    }
    EXPECT_EQ(r.captions, expectedCaptions(c.extentH, c.paintedRows));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool painted = y < c.paintedRows ? x < c.extentW : y == c.paintedRows && x < c.paintedInRow;
            ASSERT_EQ(PixelAt(r.ws.Finished, x, y), painted ? RGB(0, 0, 255) : orig->PixelColor(x, y)) << x << "," << y;
        }
    // Every slot's work bitmap designates its current picture.
    for (TImageSlot* s : {&r.ws.Original, &r.ws.Editing, &r.ws.Finished})
        EXPECT_EQ(s->WorkBmp, s->Image1.Picture().Graphic());
}

INSTANTIATE_TEST_SUITE_P(
    Interrupted, PixelRulesFailures,
    ::testing::Values(FailureCase{"shorter_editing", 0, 6, 3, 6, 5, 3, 0},
                      FailureCase{"narrower_editing", 0, 4, 5, 6, 5, 0, 4},
                      FailureCase{"narrower_editing_mode3", 3, 4, 5, 6, 5, 0, 4},
                      FailureCase{"original_smaller_than_extent_rows", 0, 6, 9, 6, 7, 5, 0},
                      FailureCase{"original_smaller_than_extent_columns", 0, 8, 5, 8, 5, 0, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PixelRules, MissingPicturesRaiseTheRowError) {
    {
        Session r; // no editing picture at all
        PutPicture(r.ws.Original, *MakeBitmap24(2, 2, [](int, int) { return clWhite; }));
        EXPECT_THROW(r.mode(2), EInvalidGraphicOperation);
        EXPECT_EQ(r.ws.Finished.WorkBmp, r.ws.Finished.Image1.Picture().Graphic());
        EXPECT_TRUE(r.captions.empty());
    }
    {
        Session r; // no original: the first read of mode 0 fails, mode 3 paints nothing visible
        PutPicture(r.ws.Editing, *MakeBitmap24(2, 2, [](int, int) { return clWhite; }));
        EXPECT_THROW(r.mode(0), EInvalidGraphicOperation);
        EXPECT_EQ(r.ws.Original.WorkBmp, r.ws.Original.Image1.Picture().Graphic());
        r.ws.Settings.TargetColor = clWhite;
        r.mode(3);
        EXPECT_EQ(r.ws.Finished.WorkBmp->Width(), 0);
        EXPECT_EQ(r.captions, std::vector<std::string>{kTitle + "100%"});
    }
}

TEST(PixelRules, GetPixOfReadsTheSlotsOwnColours) {
    TWorkspace ws;
    auto pic = MakeBitmap24(3, 3, [](int x, int y) { return RGB(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 77); });
    pic->SetPixelDepth(TPixelDepth::pd32Bit);
    PutPicture(ws.Editing, *pic);
    std::uint8_t r = 0, g = 0, b = 0;
    EXPECT_EQ(ws.GetPixOf(2, 2, 1, r, g, b), RGB(2, 1, 77));
    EXPECT_EQ(std::vector<int>({r, g, b}), std::vector<int>({2, 1, 77}));
    EXPECT_THROW(ws.GetPixOf(2, 3, 0, r, g, b), EInvalidGraphicOperation);
    EXPECT_THROW(ws.GetPixOf(2, 0, -1, r, g, b), EInvalidGraphicOperation);
    EXPECT_THROW(ws.GetPixOf(1, 0, 0, r, g, b), EInvalidGraphicOperation);
}

} // namespace
} // namespace vem
