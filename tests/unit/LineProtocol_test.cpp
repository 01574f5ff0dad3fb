#include <gtest/gtest.h>

#include <string>

#include "driver/LineProtocol.h"

namespace qx::driver {
namespace {

TEST(LineProtocol, EveryByteValueSurvivesEscaping) {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    const std::string escaped = EscapeValue(bytes);
    EXPECT_EQ(escaped.find_first_of(" \r\n\t"), std::string::npos);
    EXPECT_EQ(UnescapeValue(escaped), bytes);
}

TEST(LineProtocol, EscapesBlanksBackslashesAndNonAsciiOnly) {
    EXPECT_EQ(EscapeValue("a b\\c\x83\x65"), "a\\x20b\\x5Cc\\x83e");
    EXPECT_EQ(EscapeValue("http://127.0.0.1:80/a"), "http://127.0.0.1:80/a");
    EXPECT_EQ(EscapeValue(""), "");
}

TEST(LineProtocol, RefusesMalformedEscapes) {
    for (const char* text : {"\\", "\\x", "\\x4", "\\y41", "\\xG1", "a\\x4"})
        EXPECT_FALSE(UnescapeValue(text).has_value()) << text;
    EXPECT_EQ(UnescapeValue("\\x41\\x5c"), "A\\");
}

TEST(LineProtocol, ParsesAReportLine) {
    const std::string line =
        ReportBuilder("box").Add("text", "two\r\nlines").Add("count", 12).Add("empty", "").Line();
    const auto report = ParseReportLine(line);
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->kind, "box");
    EXPECT_EQ(report->fields.at("text"), "two\r\nlines");
    EXPECT_EQ(report->fields.at("count"), "12");
    EXPECT_EQ(report->fields.at("empty"), "");
    EXPECT_EQ(ParseReportLine("end")->kind, "end");
    EXPECT_TRUE(ParseReportLine("end")->fields.empty());
}

TEST(LineProtocol, RefusesFieldsWithoutValueOrWithBadEscapes) {
    EXPECT_FALSE(ParseReportLine("box text").has_value());
    EXPECT_FALSE(ParseReportLine("box text=\\x4").has_value());
}

} // namespace
} // namespace qx::driver
