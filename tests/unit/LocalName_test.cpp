#include "instruction/LocalName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kExeDir[] = "C:\\Program Files\\Tavi\\";

struct LocalNameCase {
    const char* name;
    std::string localName;
    bool inside;
};

class LocalNameCheck : public ::testing::TestWithParam<LocalNameCase> {};

TEST_P(LocalNameCheck, AcceptsOnlyPlainNamesBelowTheDirectory) {
    EXPECT_EQ(qx::IsLocalNameInsideExeDir(kExeDir, GetParam().localName), GetParam().inside);
}

// The attack names are covered through the whole walk in NamesCorpus_test;
// these are the borders of the rules.
INSTANTIATE_TEST_SUITE_P(
    Cases, LocalNameCheck,
    ::testing::Values(
        LocalNameCase{"PlainFile", "a.dat", true}, LocalNameCase{"Subdirectory", "data\\b.txt", true},
        LocalNameCase{"SlashSubdirectory", "data/b.txt", true}, LocalNameCase{"Empty", "", true},
        LocalNameCase{"DotsInsideName", "a..b\\..c\\d..e", true},
        LocalNameCase{"EmptyComponent", "a\\\\b", true}, LocalNameCase{"TrailingSeparator", "a\\", true},
        LocalNameCase{"DeviceNameInsideAName", "icon.dat", true},
        LocalNameCase{"DeviceNamePrefix", "CONSOLE.txt", true},
        LocalNameCase{"ComWithoutDigit", "COM.txt", true}, LocalNameCase{"ComWithTwoDigits", "COM10", true},
        LocalNameCase{"DelIsAllowed", "a\x7F", true}, LocalNameCase{"SingleDot", ".\\a", false},
        LocalNameCase{"ThreeDots", "...\\a", false}, LocalNameCase{"TrailingDot", "a.", false},
        LocalNameCase{"TrailingBlank", "a ", false},
        LocalNameCase{"TrailingDotInDirectory", "data.\\a", false},
        LocalNameCase{"DeviceLowerCase", "nul", false},
        LocalNameCase{"DeviceWithExtension", "Com1.dat", false},
        LocalNameCase{"DeviceBlankBeforeExtension", "LPT1 .txt", false},
        LocalNameCase{"DeviceAsDirectory", "aux\\a", false}, LocalNameCase{"ConsoleInput", "CONIN$", false},
        LocalNameCase{"ControlByte", "a\x01.dat", false}, LocalNameCase{"Wildcard", "a*.dat", false},
        LocalNameCase{"Pipe", "a|b", false},
        // 0x95 0x5C and 0x83 0x7C are one character each; their second byte
        // separates nothing and is no '|'.
        LocalNameCase{"TrailBackslashAfterDots", "..\x95\x5C\\x", true},
        LocalNameCase{"TrailPipe", "\x83\x7C.dat", true},
        LocalNameCase{"TrailBackslashFirstIsNoLeadingSeparator",
                      "\x83\x5C"
                      "a",
                      true},
        LocalNameCase{"DoubleByteNameThenDotDot", "\x95\x5C\\..\\x", false},
        // A lead byte before '/' forms no character: the slash still separates.
        LocalNameCase{"LeadByteBeforeSlash", "\x81/../x", false},
        LocalNameCase{"LeadByteAtEndThenNothing", "a\x81", true}),
    [](const ::testing::TestParamInfo<LocalNameCase>& info) { return std::string(info.param.name); });

TEST(LocalNameLength, TheTargetPathMayHaveAtMost259Bytes) {
    const std::string exeDir = kExeDir;
    const std::string fits(qx::kMaxTargetPathLength - exeDir.size(), 'a');

    EXPECT_TRUE(qx::IsLocalNameInsideExeDir(exeDir, fits));
    EXPECT_FALSE(qx::IsLocalNameInsideExeDir(exeDir, fits + "a"));
}

} // namespace
