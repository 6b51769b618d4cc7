#include "core/base/IntText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/base/Errors.h"
#include "support/TestNames.h"

namespace {

struct IntCase {
    const char* text;
    std::optional<std::int32_t> expected; // nullopt: not an integer
};

class IntTextTest : public ::testing::TestWithParam<IntCase> {};

// The text with its blanks, signs and points spelled out ("  20" is
// SpaceSpace20), so that texts differing only in those keep names of their own.
std::string textName(const ::testing::TestParamInfo<IntCase>& info) {
    std::string spelled;
    for (const char c : std::string(info.param.text)) {
        switch (c) {
        case ' ': spelled += "Space"; break;
        case '\t': spelled += "Tab"; break;
        case '+': spelled += "Plus"; break;
        case '-': spelled += "Minus"; break;
        case '$': spelled += "Dollar"; break;
        case '.': spelled += "Point"; break;
        default: spelled += c;
        }
    }
    return vem::test::TestNamePart(spelled);
}

TEST_P(IntTextTest, FollowsTheFieldRule) {
    const IntCase& c = GetParam();
    std::int32_t value = 12345;
    const bool ok = vem::TryStrToInt(c.text, value);
    ASSERT_EQ(ok, c.expected.has_value()) << '"' << c.text << '"';
    if (ok) {
        EXPECT_EQ(value, *c.expected) << '"' << c.text << '"';
        EXPECT_EQ(vem::StrToInt(c.text), *c.expected);
    } else {
        EXPECT_EQ(value, 12345) << "a failed conversion must not store anything";
        EXPECT_THROW(vem::StrToInt(c.text), vem::EConvertError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, IntTextTest,
    ::testing::Values(IntCase{"0", 0}, IntCase{"20", 20}, IntCase{"  20", 20}, IntCase{"20 ", std::nullopt},
                      IntCase{"+7", 7}, IntCase{"-3", -3}, IntCase{"007", 7},
                      IntCase{"0000000000000000000000000042", 42}, IntCase{"2147483647", 2147483647},
                      IntCase{"2147483648", std::nullopt}, IntCase{"-2147483648", INT32_MIN},
                      IntCase{"-2147483649", std::nullopt}, IntCase{"99999999999999999999", std::nullopt},
                      IntCase{"1 2", std::nullopt}, IntCase{"\t5", std::nullopt}, IntCase{"- 5", std::nullopt},
                      IntCase{"+-5", std::nullopt}, IntCase{"5x", std::nullopt}, IntCase{"1.0", std::nullopt},
                      IntCase{"１２", std::nullopt}),
    textName);

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, IntTextTest,
    ::testing::Values(IntCase{"$1F", 31}, IntCase{"x1f", 31}, IntCase{"X1F", 31}, IntCase{"0x1F", 31},
                      IntCase{"0X1f", 31}, IntCase{" $10", 16}, IntCase{"-$10", -16}, IntCase{"+0x10", 16},
                      IntCase{"$FFFFFFFF", -1}, IntCase{"$80000000", INT32_MIN}, IntCase{"-$80000000", INT32_MIN},
                      IntCase{"-$FFFFFFFF", 1}, IntCase{"$7FFFFFFF", INT32_MAX},
                      IntCase{"$00000000000000FF", 255}, IntCase{"$100000000", std::nullopt},
                      IntCase{"$1G", std::nullopt}, IntCase{"$ 1", std::nullopt}, IntCase{"0x-1", std::nullopt},
                      IntCase{"$$1", std::nullopt}, IntCase{"0xx1", std::nullopt}, IntCase{"00x1", std::nullopt}),
    textName);

INSTANTIATE_TEST_SUITE_P(Empty, IntTextTest,
                         ::testing::Values(IntCase{"", std::nullopt}, IntCase{"   ", std::nullopt},
                                           IntCase{"-", std::nullopt}, IntCase{"+", std::nullopt},
                                           IntCase{"$", std::nullopt}, IntCase{"x", std::nullopt},
                                           IntCase{"0x", std::nullopt}, IntCase{"-0X", std::nullopt},
                                           IntCase{" -", std::nullopt}),
                         textName);

TEST(StrToIntMessage, QuotesTheTextExactlyAsTyped) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "'abc' は整数ではありません"},
        {"", "'' は整数ではありません"},
        {" 20 ", "' 20 ' は整数ではありません"},
        {"２０", "'２０' は整数ではありません"},
    };
    for (const auto& [text, expected] : cases) {
        try {
            vem::StrToInt(text);
            ADD_FAILURE() << "no error for \"" << text << '"';
        } catch (const vem::EConvertError& e) {
            EXPECT_EQ(e.Message, expected);
            EXPECT_STREQ(e.what(), expected.c_str());
        }
    }
}

} // namespace
