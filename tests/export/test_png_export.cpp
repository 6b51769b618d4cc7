// The transparent PNG export: round trips of every depth read back through
// libpng, the failures with their texts and the file they must not damage,
// and the export command's caption.
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "core/base/Errors.h"
#include "core/formats/Stream.h"
#include "export/PngExport.h"
#include "support/BmpBuilder.h"
#include "support/EnginePictures.h"
#include "support/PngFile.h"

using namespace vem;
using namespace vem::test;
namespace fs = std::filesystem;

namespace {

constexpr TColor Magenta = RGB(255, 0, 255);
// Colours every depth but 1 bit holds exactly: the 4- and 8-bit standard
// tables have them, and 0 and 255 survive 5- and 6-bit channels.
const TColor Palette[] = {clBlack, clWhite, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), Magenta, RGB(255, 255, 0)};

TColor patternAt(int x, int y) { return Palette[(x * 3 + y * 5) % 7]; }

// Colours that deflate cannot shrink, for a file larger than the write buffer.
TColor noiseAt(int x, int y) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return static_cast<TColor>(h & 0xFFFFFF);
}

int writeCalls = 0;

class ExportFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vem-png-export-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        RestoreFileSystemCalls();
        fs::remove_all(dir);
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        return names;
    }
    std::string dir;
};

// Every pixel's RGB is the bitmap's own colour there, and alpha says whether
// that colour is BACK.
void expectRoundTrip(const TBitmap& bitmap, TColor back, const std::string& file) {
    const PngPicture png = ReadPng(file);
    ASSERT_TRUE(png.Rgba8) << file;
    ASSERT_EQ(png.Width, bitmap.Width());
    ASSERT_EQ(png.Height, bitmap.Height());
    int transparent = 0;
    for (int y = 0; y < png.Height; ++y)
        for (int x = 0; x < png.Width; ++x) {
            const TColor c = bitmap.PixelColor(x, y);
            ASSERT_EQ(png.Rgb(x, y), c) << x << "," << y;
            ASSERT_EQ(png.Alpha(x, y), c == back ? 0 : 255) << x << "," << y;
            transparent += c == back;
        }
    EXPECT_GT(transparent, 0) << "the picture must show the background colour somewhere";
}

struct Depth {
    const char* name;
    TPixelDepth depth;
    int width, height;
    TColor back;
};

class RoundTrip : public ExportFolder, public ::testing::WithParamInterface<Depth> {};

TEST_P(RoundTrip, ReadsBackAsThePictureWithTheBackgroundTransparent) {
    const Depth& d = GetParam();
    std::unique_ptr<TBitmap> bitmap = MakeBitmap24(d.width, d.height, patternAt);
    bitmap->SetPixelDepth(d.depth);
    SaveTransparentPng(*bitmap, d.back, path("out.png"));
    expectRoundTrip(*bitmap, d.back, path("out.png"));
}

INSTANTIATE_TEST_SUITE_P(Depths, RoundTrip,
                         ::testing::Values(Depth{"Bits1", TPixelDepth::pd1Bit, 37, 5, clWhite},
                                           Depth{"Bits4", TPixelDepth::pd4Bit, 37, 5, Magenta},
                                           Depth{"Bits8", TPixelDepth::pd8Bit, 37, 5, Magenta},
                                           Depth{"Bits15", TPixelDepth::pd15Bit, 37, 5, Magenta},
                                           Depth{"Bits16", TPixelDepth::pd16Bit, 37, 5, Magenta},
                                           Depth{"Bits24", TPixelDepth::pd24Bit, 37, 5, Magenta},
                                           Depth{"Bits32", TPixelDepth::pd32Bit, 37, 5, Magenta},
                                           Depth{"Width1", TPixelDepth::pd24Bit, 1, 9, Magenta},
                                           Depth{"Width1Bits4", TPixelDepth::pd4Bit, 1, 9, Magenta}),
                         [](const ::testing::TestParamInfo<Depth>& info) { return std::string(info.param.name); });

// What the export must not damage.
const Bytes OldFile = {'o', 'l', 'd'};

struct Failure {
    const char* name;
    const char* target;
    bool shortWrite;
    // Small: the whole file goes out at the end; large: while the encoder
    // still runs, so the failure comes back through libpng.
    bool large;
    const char* message; // %s: the target's absolute path
};

class ExportFailure : public ExportFolder, public ::testing::WithParamInterface<Failure> {};

TEST_P(ExportFailure, GivesTheTextAndKeepsTheOldFile) {
    const Failure& f = GetParam();
    std::ofstream(path("old.png"), std::ios::binary).write(reinterpret_cast<const char*>(OldFile.data()), 3);
    writeCalls = 0;
    if (f.shortWrite) {
        // Half of the first write goes through, then the disk is full.
        ActiveFileSystemCalls().write = [](int fd, const void* b, std::size_t n) -> long {
            return writeCalls++ == 0 ? ::write(fd, b, n / 2) : 0;
        };
    }
    std::unique_ptr<TBitmap> bitmap = f.large ? MakeBitmap24(800, 600, noiseAt) : MakeBitmap24(30, 20, patternAt);
    const std::string target = path(f.target);
    try {
        SaveTransparentPng(*bitmap, Magenta, target);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, FormatMessage(f.message, {target}));
    }
    EXPECT_EQ(ReadFileBytes(path("old.png")), OldFile);
    EXPECT_EQ(entries(), std::vector<std::string>{"old.png"}) << "no temporary file stays";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ExportFailure,
    ::testing::Values(
        Failure{"MissingFolder", "missing/old.png", false, false,
                "ファイル \"%s\". No such file or directory を作成できません"},
        Failure{"ShortWriteAtTheEnd", "old.png", true, false, "ストリームへの書き込みエラー"},
        Failure{"ShortWriteWhileEncoding", "old.png", true, true, "ストリームへの書き込みエラー"}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

// The command: the finished picture after a conversion, the settings'
// background, the caption row by row and then back to the title.
TEST_F(ExportFolder, ExportCommandShowsProgressAndMakesTheErasedPixelsTransparent) {
    TWorkspace ws;
    std::vector<std::string> captions;
    ws.OnCaption = [&captions](const std::string& text) { captions.push_back(text); };
    // 16 bits cannot hold grey 128: the painted pixels read as 132, and they
    // are the ones that must come out transparent.
    std::unique_ptr<TBitmap> picture = MakeBitmap24(6, 4, patternAt);
    picture->SetPixelDepth(TPixelDepth::pd16Bit);
    PutPicture(ws.Original, *picture);
    PutPicture(ws.Editing, *picture);
    ws.Settings.ConvMode = 3; // erase the given colour: red
    ws.Settings.TargetColor = RGB(255, 0, 0);
    ws.Settings.BackColor = RGB(128, 128, 128);
    ws.RunConversion();
    captions.clear();

    ExportFinishedPng(ws, path("cut.png"));
    const std::string title = ws.TitleText;
    EXPECT_EQ(captions, (std::vector<std::string>{title + "25%", title + "50%", title + "75%", title + "100%", title}));
    const PngPicture png = ReadPng(path("cut.png"));
    ASSERT_TRUE(png.Rgba8);
    const TBitmap& finished = *ws.Finished.WorkBmp;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(png.Rgb(x, y), finished.PixelColor(x, y));
            EXPECT_EQ(png.Alpha(x, y), patternAt(x, y) == RGB(255, 0, 0) ? 0 : 255) << x << "," << y;
        }

    captions.clear();
    EXPECT_THROW(ExportFinishedPng(ws, path("missing/cut.png")), EFCreateError);
    EXPECT_EQ(captions, std::vector<std::string>{title}) << "the title comes back after a failure too";
}

TEST_F(ExportFolder, NothingLoadedWritesNothing) {
    TWorkspace ws;
    ExportFinishedPng(ws, path("none.png"));
    EXPECT_TRUE(entries().empty());
}

} // namespace
