#include "core/base/FileNames.h"
#include "core/formats/FileFormats.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestNames.h"

namespace {

const vem::TFileFormatsList& registry() { return vem::TFileFormatsList::Instance(); }

TEST(FileFormats, RowsInRegistrationOrder) {
    const auto& rows = registry().Rows();
    ASSERT_EQ(rows.size(), 4u);
    const char* expected[4][3] = {{"wmf", "メタファイル", "metafile"},
                                  {"emf", "エンハンス メタファイル", "metafile"},
                                  {"ico", "アイコン", "icon"},
                                  {"bmp", "ビットマップ", "bitmap"}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].Extension, expected[i][0]);
        EXPECT_EQ(rows[i].Description, expected[i][1]);
        auto graphic = rows[i].Create();
        ASSERT_NE(graphic, nullptr);
        EXPECT_STREQ(graphic->KindName(), expected[i][2]);
        EXPECT_TRUE(graphic->Empty());
    }
    EXPECT_EQ(&registry(), &vem::TFileFormatsList::Instance());
}

TEST(FileFormats, LookUpIgnoresCase) {
    const auto& rows = registry().Rows();
    EXPECT_EQ(registry().Find("bmp"), &rows[3]);
    EXPECT_EQ(registry().Find("BMP"), &rows[3]);
    EXPECT_EQ(registry().Find("Ico"), &rows[2]);
    EXPECT_EQ(registry().Find("eMF"), &rows[1]);
    EXPECT_EQ(registry().Find("WMF"), &rows[0]);
    for (const char* unknown : {"gif", "JPG", "", ".bmp", "bmp ", "bm", "bmpx", "ＢＭＰ"})
        EXPECT_EQ(registry().Find(unknown), nullptr) << unknown;
}

TEST(FileFormats, FilterTextListsAllKindsThenEachFromTheLastRow) {
    EXPECT_EQ(registry().FilterText(),
              "すべてのファイル (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|ビットマップ (*.bmp)|*.bmp|"
              "アイコン (*.ico)|*.ico|エンハンス メタファイル (*.emf)|*.emf|メタファイル (*.wmf)|*.wmf");
}

struct ExtCase {
    const char* fileName;
    const char* extension;
};

class ExtractExtensionTest : public ::testing::TestWithParam<ExtCase> {};

TEST_P(ExtractExtensionTest, TakesTextAfterLastDotOfLastComponent) {
    EXPECT_EQ(vem::ExtractExtension(GetParam().fileName), GetParam().extension);
}

INSTANTIATE_TEST_SUITE_P(Names, ExtractExtensionTest,
                         ::testing::Values(ExtCase{"photo.JPG", "JPG"}, ExtCase{"/tmp/a.bmp", "bmp"},
                                           ExtCase{"x.tar.gz", "gz"}, ExtCase{"README", ""},
                                           ExtCase{"/tmp/my.dir/README", ""}, ExtCase{"/tmp/my.dir/a.Ico", "Ico"},
                                           ExtCase{"name.", ""}, ExtCase{".hidden", "hidden"},
                                           ExtCase{"/a.b/", ""}, ExtCase{"", ""}, ExtCase{"画像.ＢＭＰ", "ＢＭＰ"}),
                         [](const auto& info) { return vem::test::TestNamePart(info.param.fileName); });

TEST(ExpandFileName, MakesRelativeNamesAbsolute) {
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(vem::ExpandFileName("a.bmp"), cwd + "/a.bmp");
    EXPECT_EQ(vem::ExpandFileName("./sub/../a.bmp"), cwd + "/a.bmp");
    EXPECT_EQ(vem::ExpandFileName("/abs/x.bmp"), "/abs/x.bmp");
    EXPECT_EQ(vem::ExpandFileName("/abs/./y/../x.bmp"), "/abs/x.bmp");
}

} // namespace
