#include "fakes/FakeSystem.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The fake settings store must read as GetPrivateProfileString does, since the
// start-up tests rely on it.
struct ProfileCase {
    const char* name;
    std::string ini;
    std::string section;
    std::string key;
    std::string value;
};

class ProfileRead : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileRead, FollowsThePrivateProfileRules) {
    qx::fakes::FakeSystem system;
    system.SetIniText("C:\\a.ini", GetParam().ini);

    EXPECT_EQ(system.ReadProfileString(GetParam().section, GetParam().key, "C:\\a.ini"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRead,
    ::testing::Values(
        ProfileCase{"Plain", "[S]\r\nK=v\r\n", "S", "K", "v"},
        ProfileCase{"SectionAndKeyIgnoreCase", "[instruction]\nurl=v", "Instruction", "URL", "v"},
        ProfileCase{"BlanksAroundDropped", "[S]\n  K  =  \t v w \t\n", "S", "K", "v w"},
        ProfileCase{"DoubleQuotesDropped", "[S]\nK = \"v w\" \n", "S", "K", "v w"},
        ProfileCase{"SingleQuotesDropped", "[S]\nK='v'\n", "S", "K", "v"},
        ProfileCase{"OnlyOnePairDropped", "[S]\nK=\"\"v\"\"\n", "S", "K", "\"v\""},
        ProfileCase{"UnmatchedQuoteKept", "[S]\nK=\"v'\n", "S", "K", "\"v'"},
        ProfileCase{"CutTo260", "[S]\nK=" + std::string(399, 'x'), "S", "K", std::string(260, 'x')},
        ProfileCase{"FirstKeyWins", "[S]\nK=1\nK=2\n", "S", "K", "1"},
        ProfileCase{"OtherSection", "[T]\nK=1\n[S]\nK=2\n", "S", "K", "2"},
        ProfileCase{"MissingKey", "[S]\nL=1\n", "S", "K", ""},
        ProfileCase{"MissingSection", "[T]\nK=1\n", "S", "K", ""},
        ProfileCase{"CommentLine", "[S]\n;K=1\nK=2\n", "S", "K", "2"},
        ProfileCase{"KeyBeforeAnySection", "K=1\n[S]\n", "S", "K", ""},
        ProfileCase{"EqualsInValue", "[S]\nK=http://h/?a=b\n", "S", "K", "http://h/?a=b"}),
    [](const ::testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

TEST(ProfileWrite, ReplacesOrAddsAndCreatesTheFile) {
    qx::fakes::FakeSystem system;
    system.SetIniText("C:\\a.ini", "[instruction]\nurl=old\n");

    system.WriteProfileString("Instruction", "URL", "new", "C:\\a.ini");
    system.WriteProfileString("Instruction", "KEY", "", "C:\\a.ini");
    system.WriteProfileString("Instruction", "KEY", "k", "C:\\b.ini");

    EXPECT_EQ(system.ReadProfileString("INSTRUCTION", "url", "C:\\a.ini"), "new");
    EXPECT_EQ(system.ReadProfileString("Instruction", "KEY", "C:\\a.ini"), "");
    EXPECT_EQ(system.ReadProfileString("Instruction", "KEY", "C:\\b.ini"), "k");
    EXPECT_EQ(system.ReadProfileString("Instruction", "KEY", "C:\\missing.ini"), "");
}

} // namespace
