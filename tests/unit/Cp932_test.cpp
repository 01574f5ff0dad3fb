#include "platform/Cp932.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PrefixCase {
    const char* name;
    std::string text;
    std::size_t maxBytes;
    std::string prefix;
};

class Cp932PrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(Cp932PrefixTest, CutsAtTheLimitWithoutSplittingACharacter) {
    EXPECT_EQ(qx::Cp932Prefix(GetParam().text, GetParam().maxBytes), GetParam().prefix);
}

// "\x83\x5c" is the katakana so, whose second byte is the backslash, and
// "\x82\xa0" the hiragana a.
INSTANTIATE_TEST_SUITE_P(
    Texts, Cp932PrefixTest,
    ::testing::Values(PrefixCase{"Empty", "", 3, ""}, PrefixCase{"ShorterThanLimit", "abc", 4, "abc"},
                      PrefixCase{"ExactlyAtLimit", "abcd", 4, "abcd"},
                      PrefixCase{"AsciiCut", "abcdef", 4, "abcd"},
                      PrefixCase{"DoubleByteEndsAtLimit",
                                 "a\x82\xa0"
                                 "b",
                                 3, "a\x82\xa0"},
                      PrefixCase{"DoubleByteAcrossLimit", "ab\x82\xa0", 3, "ab"},
                      PrefixCase{"TrailByteLooksLikeBackslash", "\x83\x5c\x83\x5c", 3, "\x83\x5c"},
                      PrefixCase{"HalfWidthKatakanaIsOneByte", "\xb1\xb2\xb3", 2, "\xb1\xb2"},
                      PrefixCase{"LeadByteFromSecondRange", "x\xe0\x40y", 2, "x"},
                      PrefixCase{"ZeroLimit", "\x82\xa0", 0, ""}),
    [](const ::testing::TestParamInfo<PrefixCase>& info) { return info.param.name; });

TEST(Cp932PrefixTest, ProfileValueOfJapaneseTextKeepsWholeCharactersWithin260Bytes) {
    std::string value = "x";
    for (int i = 0; i < 200; ++i)
        value += "\x82\xa0";
    const std::string_view cut = qx::Cp932Prefix(value, 260);
    EXPECT_EQ(cut.size(), 259u);
    EXPECT_EQ(cut.back(), '\xa0');
}

} // namespace
