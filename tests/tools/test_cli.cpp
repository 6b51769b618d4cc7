// Runs the built vem-cli on files written into a fresh folder.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/workspace/Picture.h"
#include "support/BmpBuilder.h"
#include "support/PngFile.h"

namespace fs = std::filesystem;

namespace {

using vem::test::Bytes;
using vem::TColor;

constexpr TColor R = vem::RGB(255, 0, 0), G = vem::RGB(0, 255, 0), B = vem::RGB(0, 0, 255),
                 W = vem::RGB(255, 255, 255), K = vem::RGB(0, 0, 0);
using Pixels = std::vector<std::vector<TColor>>; // rows top first

// A 24-bit bottom-up BMP exactly as the program writes one.
Bytes bmp24(const Pixels& rows) {
    const auto h = static_cast<std::int32_t>(rows.size()), w = static_cast<std::int32_t>(rows[0].size());
    vem::test::BmpBuilder builder(w, h);
    builder.SizeImage(builder.Stride() * static_cast<std::uint32_t>(h));
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        Bytes bytes;
        for (TColor c : *row) bytes.insert(bytes.end(), {vem::GetBValue(c), vem::GetGValue(c), vem::GetRValue(c)});
        builder.Row(bytes);
    }
    return builder.Build();
}

// The colours of a picture file as the program reads it.
Pixels colours(const std::string& file) {
    vem::TPicture picture;
    picture.LoadFile(file);
    vem::TBitmap& bitmap = picture.AsBitmap();
    Pixels rows(bitmap.Height(), std::vector<TColor>(bitmap.Width()));
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) rows[y][x] = bitmap.PixelColor(x, y);
    return rows;
}

// A one-image 32 x 32 icon (1-bit DIB: header, 2 colours, 128 + 128 bytes of rows).
Bytes icon32() {
    Bytes b = {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 1, 0, 48, 1, 0, 0, 22, 0, 0, 0,
               40, 0, 0, 0, 32, 0, 0, 0, 64, 0, 0, 0, 1, 0, 1, 0};
    b.resize(22 + 304, 0);
    return b;
}

// A plain metafile: header, SetWindowExt(50, 100), end record.
Bytes wmf100x50() {
    return {1, 0, 9, 0, 0, 3, 17, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0,
            5, 0, 0, 0, 0x0C, 0x02, 50, 0, 100, 0, 3, 0, 0, 0, 0, 0};
}

struct Result {
    int status;
    std::string out, err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vem-cli-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    Bytes read(const std::string& name) const { return vem::test::ReadFileBytes(path(name)); }
    std::string text(const std::string& name) const {
        const Bytes b = read(name);
        return std::string(b.begin(), b.end());
    }

    // Runs vem-cli with Args (already quoted where needed) inside the folder.
    Result run(const std::string& args) const {
        const std::string command = "cd '" + dir_.string() + "' && '" VEM_CLI_PATH "' " + args +
                                    " > .stdout 2> .stderr < /dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text(".stdout"), text(".stderr")};
    }

    fs::path dir_;
};

TEST_F(Cli, InfoPrintsSizeAndDepthOrKindPerFile) {
    write("a.bmp", bmp24({{R, G, B}, {W, K, R}}));
    write("x.ico", icon32());
    write("x.wmf", wmf100x50());
    const Result r = run("info a.bmp x.ico x.wmf");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "a.bmp: 3×2 pd24Bit\nx.ico: icon 32×32\nx.wmf: metafile 100×50\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Cli, InfoReportsEachFailureAsTheErrorBoxAndGoesOn) {
    write("a.bmp", bmp24({{R}}));
    write("photo.JPG", bmp24({{R}}));
    write("fake.ico", bmp24({{R}}));
    write("bad.bmp", Bytes{'X', 'Y', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const Result r = run("info missing.bmp photo.JPG a.bmp fake.ico bad.bmp README");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a.bmp: 1×1 pd24Bit\n");
    EXPECT_EQ(r.err, "missing.bmp: ファイル \"" + path("missing.bmp") +
                         "\". No such file or directory は開けません.\n"
                         "photo.JPG: 拡張子 .JPG の画像形式は処理できません.\n"
                         "fake.ico: アイコンイメージが不正です.\n"
                         "bad.bmp: ビットマップイメージが不正です.\n"
                         "README: 拡張子 . の画像形式は処理できません.\n");
}

TEST_F(Cli, CopyRoundTripIsByteIdentical) {
    const Bytes original = bmp24({{R, G, B}, {W, K, vem::RGB(1, 2, 3)}});
    write("in.bmp", original);
    const Result r = run("copy in.bmp out.bmp");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(read("out.bmp"), original);
    EXPECT_EQ(original.size(), 78u);
}

TEST_F(Cli, CopyFailureLeavesNoOutput) {
    const Result r = run("copy nothing.bmp out.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ファイル \"" + path("nothing.bmp") + "\". No such file or directory は開けません.\n");
    EXPECT_FALSE(fs::exists(path("out.bmp")));
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
    write("a.bmp", bmp24({{R}}));
    const char* usages[] = {
        "",
        "info",
        "frobnicate a.bmp",
        "copy a.bmp",
        "convert --original a.bmp --out o.bmp",
        "convert --mode 5 --original a.bmp --out o.bmp",
        "convert --mode 0 --original a.bmp --out o.bmp --back '#12345'",
        "convert --mode 0 --original a.bmp --out o.bmp --target 1,2,256",
        "convert --mode 4 --original a.bmp --out o.bmp --point 1",
        "convert --mode 4 --original a.bmp --out o.bmp --approx abc",
        "erase --original a.bmp --out o.bmp",
        "erase --original a.bmp --at 0,0 --out o.bmp --from elsewhere",
        "convert --mode 0 --original a.bmp --editing a.bmp",
        "erase --original a.bmp --at 0,0 --mask-out o.bmp",
    };
    for (const char* args : usages) {
        const Result r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err, "") << args;
    }
    EXPECT_FALSE(fs::exists(path("o.bmp")));
}

TEST_F(Cli, HelpDocumentsEveryCommand) {
    const Result r = run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* word : {"info", "copy", "convert", "erase", "COLOR"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    const Result erase = run("erase --help");
    EXPECT_EQ(erase.status, 0);
    for (const char* option : {"--at", "--from", "--apply", "--mask-out"})
        EXPECT_NE(erase.out.find(option), std::string::npos) << option;
}

TEST_F(Cli, ConvertMode0PaintsWhereOriginalAndEditingDiffer) {
    write("o.bmp", bmp24({{R, G, B}, {W, K, R}}));
    write("e.bmp", bmp24({{R, R, B}, {W, K, K}}));
    for (const char* back : {"0,0,255", "'#0000FF'", "'#0000ff'"}) {
        const Result r = run(std::string("convert --mode 0 --original o.bmp --editing e.bmp --back ") + back +
                             " --out f.bmp");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "") << "no progress on a pipe";
        EXPECT_EQ(colours(path("f.bmp")),
                  (Pixels{{R, B, B}, {W, K, B}}))
            << back;
    }
}

TEST_F(Cli, ConvertMode4WritesTheMask) {
    write("o.bmp", bmp24({{R, R, B}, {G, R, R}}));
    const Result r =
        run("convert --mode 4 --original o.bmp --target '#FF0000' --point 1,0 --out f.bmp --mask-out m.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("f.bmp"), read("o.bmp"));
    EXPECT_EQ(colours(path("m.bmp")),
              (Pixels{{R, R, W}, {W, R, R}}));
}

TEST_F(Cli, ConvertMode4OffThePictureFailsAndSavesNothing) {
    write("o.bmp", bmp24({{R, R}, {R, R}}));
    const Result r = run("convert --mode 4 --original o.bmp --point 2,0 --out f.bmp --mask-out m.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "--point 2,0: no pixel of the original there, nothing converted\n");
    EXPECT_FALSE(fs::exists(path("f.bmp")));
    EXPECT_FALSE(fs::exists(path("m.bmp")));
}

TEST_F(Cli, ConvertFailureReportsAndSavesNothing) {
    write("o.bmp", bmp24({{R, R}, {R, R}}));
    write("short.bmp", bmp24({{R, R}}));
    const Result r = run("convert --mode 0 --original o.bmp --editing short.bmp --out f.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "スキャンライン のインデックスが範囲を越えました.\n");
    EXPECT_FALSE(fs::exists(path("f.bmp")));
}

TEST_F(Cli, EraseGesturesRunInOrderAndApplyCarriesThemOn) {
    // Red, red, blue, green, green: levels 0 grow exactly the clicked run.
    write("o.bmp", bmp24({{R, R, B, G, G}}));
    const std::string clicks = "erase --original o.bmp --at 0,0 --at 4,0 --back 255,255,255 --out f.bmp --mask-out m.bmp";

    Result r = run(clicks + " --apply");
    ASSERT_EQ(r.status, 0) << r.err;
    const Pixels both{{W, W, B, W, W}};
    EXPECT_EQ(colours(path("f.bmp")), both);
    EXPECT_EQ(colours(path("m.bmp")), both) << "editing is the copy of the new original";

    // Without --apply each click starts again from the unchanged original.
    r = run(clicks);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(colours(path("f.bmp")), (Pixels{{R, R, B, W, W}}));
    EXPECT_EQ(colours(path("m.bmp")), (Pixels{{W, W, W, G, G}}));
}

// Alpha of each pixel of a PNG file, rows top first.
std::vector<std::vector<int>> alphas(const std::string& file) {
    const vem::test::PngPicture png = vem::test::ReadPng(file);
    std::vector<std::vector<int>> rows(png.Height, std::vector<int>(png.Width));
    for (int y = 0; y < png.Height; ++y)
        for (int x = 0; x < png.Width; ++x) rows[y][x] = png.Alpha(x, y);
    return rows;
}

TEST_F(Cli, PngOutAloneOrBesideOut) {
    write("o.bmp", bmp24({{R, G}, {B, W}}));
    Result r = run("convert --mode 3 --original o.bmp --editing o.bmp --target '#FF0000' --back '#FFFFFF' --png-out f.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(path("f.bmp")));
    const vem::test::PngPicture png = vem::test::ReadPng(path("f.png"));
    ASSERT_TRUE(png.Rgba8);
    EXPECT_EQ(png.Rgb(0, 0), W) << "the erased pixel keeps the background colour";
    // The white pixel that was white before is the background colour too.
    EXPECT_EQ(alphas(path("f.png")), (std::vector<std::vector<int>>{{0, 255}, {255, 0}}));

    r = run("erase --original o.bmp --at 1,0 --back 0,0,255 --out f.bmp --png-out g.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(colours(path("f.bmp")), (Pixels{{R, B}, {B, W}}));
    EXPECT_EQ(alphas(path("g.png")), (std::vector<std::vector<int>>{{255, 0}, {0, 255}}));
    EXPECT_NE(run("convert --help").out.find("--png-out"), std::string::npos);
}

TEST_F(Cli, EraseOffThePictureChangesNothing) {
    const Bytes original = bmp24({{R, B}});
    write("o.bmp", original);
    const Result r = run("erase --original o.bmp --at 5,5 --out f.bmp");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("5,5"), std::string::npos);
    EXPECT_EQ(read("f.bmp"), original);
}

} // namespace
