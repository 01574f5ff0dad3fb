#include "instruction/LocalName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct LocalNameCase {
    const char* name;
    std::string localName;
    bool inside;
};

class LocalNameCheck : public ::testing::TestWithParam<LocalNameCase> {};

TEST_P(LocalNameCheck, AcceptsOnlyNamesBelowTheDirectory) {
    EXPECT_EQ(qx::IsLocalNameInsideExeDir(GetParam().localName), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalNameCheck,
    ::testing::Values(
        LocalNameCase{"PlainFile", "a.dat", true}, LocalNameCase{"Subdirectory", "data\\b.txt", true},
        LocalNameCase{"SlashSubdirectory", "data/b.txt", true}, LocalNameCase{"Empty", "", true},
        LocalNameCase{"DotsInsideName", "a..b\\..c\\d..", true}, LocalNameCase{"SingleDot", ".\\a", true},
        LocalNameCase{"ThreeDots", "...\\a", true},
        LocalNameCase{"DriveAbsolute", "C:\\Windows\\x.dll", false},
        LocalNameCase{"DriveRelative", "C:x.dll", false}, LocalNameCase{"StreamColon", "a.dat:s", false},
        LocalNameCase{"LeadingBackslash", "\\Windows\\x.dll", false},
        LocalNameCase{"LeadingSlash", "/etc/x", false}, LocalNameCase{"Unc", "\\\\server\\share\\x", false},
        LocalNameCase{"UncSlashes", "//server/share/x", false}, LocalNameCase{"DotDotAlone", "..", false},
        LocalNameCase{"DotDotFirst", "..\\x.dll", false},
        LocalNameCase{"DotDotSlashFirst", "../x.dll", false},
        LocalNameCase{"DotDotMiddle", "a\\..\\..\\x.dll", false},
        LocalNameCase{"DotDotMixedSeparators", "a/..\\x", false}, LocalNameCase{"DotDotLast", "a\\..", false},
        LocalNameCase{"DotDotAfterEmptyComponent", "a\\\\..\\x", false},
        // 0x95 0x5C is one character; the 0x5C in it separates nothing.
        LocalNameCase{"TrailBackslashBeforeDots", "\x95\x5C..\\x", true},
        LocalNameCase{"TrailBackslashAfterDots", "..\x95\x5C\\x", true},
        LocalNameCase{"DoubleByteNameThenDotDot", "\x95\x5C\\..\\x", false},
        LocalNameCase{"TrailBackslashFirstIsNoLeadingSeparator",
                      "\x83\x5C"
                      "a",
                      true},
        // A lead byte before '/' forms no character: the slash still separates.
        LocalNameCase{"LeadByteBeforeSlash", "\x81/../x", false},
        LocalNameCase{"LeadByteAtEndThenNothing", "a\x81", true}),
    [](const ::testing::TestParamInfo<LocalNameCase>& info) { return std::string(info.param.name); });

} // namespace
