#include "platform/StringList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SplitCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

std::vector<std::string> Lines(const qx::StringList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.Count(); ++i)
        out.emplace_back(list[i]);
    return out;
}

class StringListSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(StringListSplit, SplitsByTheLineRules) {
    qx::StringList list;
    list.SetText(GetParam().text);
    EXPECT_EQ(Lines(list), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringListSplit,
    ::testing::Values(SplitCase{"Empty", "", {}}, SplitCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                      SplitCase{"LfOnly", "a\nb\n", {"a", "b"}}, SplitCase{"CrOnly", "a\rb\r", {"a", "b"}},
                      SplitCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                      SplitCase{"LfCrEnclosesEmptyLine", "a\n\rb", {"a", "", "b"}},
                      SplitCase{"CrCr", "a\r\rb", {"a", "", "b"}},
                      SplitCase{"LfLf", "a\n\nb", {"a", "", "b"}},
                      SplitCase{"LastLineWithoutBreak", "a\r\nlast", {"a", "last"}},
                      SplitCase{"OnlyABreak", "\r\n", {""}},
                      SplitCase{"NulEndsText", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
                      SplitCase{"LeadingNul", std::string("\0a\r\n", 4), {}},
                      SplitCase{"BlanksKept", " a\t\r\n\t", {" a\t", "\t"}},
                      SplitCase{"CrBeforeNulIsBreak", std::string("a\r\0\n", 4), {"a"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(StringListIndexOf, IgnoresAsciiCaseOfWholeLines) {
    qx::StringList list;
    list.SetText(">Get=a,b\r\n *QXUpdateInstructionFile\r\n*qxupdateinstructionfile\r\n");
    EXPECT_EQ(list.IndexOf("*QXUpdateInstructionFile"), 2);
    EXPECT_EQ(list.IndexOf("*QXUpdateInstruction"), -1);
}

TEST(StringListIndexOf, DoesNotFoldNonAsciiBytes) {
    qx::StringList list;
    list.SetText("\x83\x41");
    EXPECT_EQ(list.IndexOf("\x83\x61"), -1);
    EXPECT_EQ(list.IndexOf("\x83\x41"), 0);
}

} // namespace
