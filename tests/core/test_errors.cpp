#include "core/base/Errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/TestNames.h"

namespace {

TEST(FormatMessage, FillsPlaceholdersInOrder) {
    EXPECT_EQ(vem::FormatMessage("'%s' は整数ではありません", {"x"}), "'x' は整数ではありません");
    EXPECT_EQ(vem::FormatMessage("ファイル \"%s\". %s は開けません", {"/a/b.bmp", "No such file or directory"}),
              "ファイル \"/a/b.bmp\". No such file or directory は開けません");
    EXPECT_EQ(vem::FormatMessage("システムエラー。コード：%d.\n%s", {"5", "Access denied"}),
              "システムエラー。コード：5.\nAccess denied");
    EXPECT_EQ(vem::FormatMessage("100%% %s", {"done"}), "100% done");
    // A missing argument leaves the place empty, a spare one is dropped, and
    // a "%" that starts no placeholder stays.
    EXPECT_EQ(vem::FormatMessage("拡張子 .%s の画像形式は処理できません", {}), "拡張子 . の画像形式は処理できません");
    EXPECT_EQ(vem::FormatMessage("%s", {"a", "b"}), "a");
    EXPECT_EQ(vem::FormatMessage("50%x %", {}), "50%x %");
}

struct BoxCase {
    const char* name;
    const char* message;
    const char* shown;
};

class ErrorBoxTextTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(ErrorBoxTextTest, AppendsPeriodAfterCharactersAboveIt) {
    EXPECT_EQ(vem::ErrorBoxText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ErrorBoxTextTest,
    ::testing::Values(
        // Every message of the program ends in a Japanese character.
        BoxCase{"NotAnInteger", "'abc' は整数ではありません", "'abc' は整数ではありません."},
        BoxCase{"OutOfMemory", "メモリが足りません", "メモリが足りません."},
        BoxCase{"SystemErrorEndingInAscii", "システムエラー。コード：5.\nAccess denied",
                "システムエラー。コード：5.\nAccess denied."},
        BoxCase{"Empty", "", ""},
        // ASCII endings: "/" (0x2F) and above get the period; "." and below do not.
        BoxCase{"Letter", "a", "a."}, BoxCase{"Digit", "1", "1."}, BoxCase{"Slash", "path/", "path/."},
        BoxCase{"Period", "end.", "end."}, BoxCase{"Hyphen", "end-", "end-"}, BoxCase{"Exclamation", "end!", "end!"},
        BoxCase{"Space", "end ", "end "}, BoxCase{"NewLine", "end\n", "end\n"},
        // Two-, three- and four-byte characters all sort above ".".
        BoxCase{"TwoByteCharacter", "é", "é."}, BoxCase{"ThreeByteCharacter", "。", "。."},
        BoxCase{"FourByteCharacter", "😀", "😀."},
        // A stray continuation byte or a cut sequence is one (high) byte of its own.
        BoxCase{"StrayContinuationByte", "-\x80", "-\x80."}, BoxCase{"CutSequence", "-\xE3\x81", "-\xE3\x81."},
        BoxCase{"ContinuationBytesThenHyphen", "\x80\x80\x80\x80-", "\x80\x80\x80\x80-"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TitleCase {
    const char* path;
    const char* title;
};

class ApplicationTitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ApplicationTitleTest, TakesFileNameCutAtFirstDotAndLowersTheRest) {
    EXPECT_EQ(vem::ApplicationTitle(GetParam().path), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Paths, ApplicationTitleTest,
                         ::testing::Values(TitleCase{"/usr/bin/Tool.EXE", "Tool"}, TitleCase{"TOOL.EXE", "Tool"},
                                           TitleCase{"tool", "tool"}, TitleCase{"/opt/my.dir/VEM", "Vem"},
                                           TitleCase{"./ViewerApp.tar.gz", "Viewerapp"},
                                           TitleCase{"/x/.hidden", ""}, TitleCase{"", ""},
                                           TitleCase{"/usr/bin/ヴェムVEM.exe", "ヴェムvem"}),
                         [](const auto& info) { return vem::test::TestNamePart(info.param.path); });

TEST(SystemErrorText, HasNoTrailingPeriodSpaceOrControl) {
    for (int errnum : {ENOENT, EACCES, EISDIR, ENOSPC, 0, 9999}) {
        const std::string text = vem::SystemErrorText(errnum);
        ASSERT_FALSE(text.empty()) << errnum;
        const char last = text.back();
        EXPECT_NE(last, '.') << text;
        EXPECT_NE(last, ' ') << text;
        EXPECT_GE(static_cast<unsigned char>(last), 0x21) << text;
    }
    EXPECT_EQ(vem::SystemErrorText(ENOENT), "No such file or directory");
}

TEST(RaiseFileErrors, CarryAbsolutePathAndSystemText) {
    const std::string cwd = std::filesystem::current_path().string();
    try {
        vem::RaiseFOpenError("missing.bmp", ENOENT);
    } catch (const vem::EFOpenError& e) {
        EXPECT_EQ(e.Message, "ファイル \"" + cwd + "/missing.bmp\". No such file or directory は開けません");
        EXPECT_STREQ(e.ClassName(), "EFOpenError");
    }
    try {
        vem::RaiseFCreateError("/nowhere/out.bmp", EACCES);
    } catch (const vem::EFCreateError& e) {
        EXPECT_EQ(e.Message, "ファイル \"/nowhere/out.bmp\". Permission denied を作成できません");
        EXPECT_STREQ(e.ClassName(), "EFCreateError");
    }
    EXPECT_THROW(vem::RaiseScanLineError(), vem::EInvalidGraphicOperation);
    EXPECT_THROW(vem::RaiseOutOfMemory(), vem::EOutOfMemory);
}

} // namespace
