#include "platform/Application.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DisplayCase {
    const char* name;
    std::string message;
    std::string shown;
};

class ExceptionDisplayTextTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(ExceptionDisplayTextTest, AddsAFullStopOnlyAfterAByteThatSortsAfterIt) {
    EXPECT_EQ(qx::ExceptionDisplayText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ExceptionDisplayTextTest,
    ::testing::Values(
        DisplayCase{"Empty", "", ""}, DisplayCase{"Letter", "Socket error", "Socket error."},
        DisplayCase{"Digit", "Error 10061", "Error 10061."},
        DisplayCase{"FullStop", "Time-out.", "Time-out."}, DisplayCase{"Exclamation", "Stop!", "Stop!"},
        DisplayCase{"Blank", "Trailing ", "Trailing "}, DisplayCase{"Hyphen", "Range 0 -", "Range 0 -"},
        DisplayCase{"SlashSortsAfterFullStop", "http://host/", "http://host/."},
        DisplayCase{"LineBreak", "Two lines\n", "Two lines\n"},
        // Ends in the ideographic full stop: its bytes 0x81 0x42 both sort after ".".
        DisplayCase{"DoubleByteCharacter", "\x8e\xb8\x94\x73\x81\x42", "\x8e\xb8\x94\x73\x81\x42."}),
    [](const ::testing::TestParamInfo<DisplayCase>& info) { return info.param.name; });

} // namespace
