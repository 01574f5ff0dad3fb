#include "server/ScriptFile.h"
#include "server/TestServer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace qxtest {
namespace {

using namespace std::chrono_literals;

std::map<std::string, Script> Parse(const std::string& text) {
    std::istringstream input(text);
    return ParseScriptFile(input);
}

TEST(ScriptFile, ReadsEveryKindOfStep) {
    const auto scripts = Parse("# a comment\n"
                               "\n"
                               "path /a b/\\x83\\x65.txt\n"
                               "line HTTP/1.0 200 OK\n"
                               "line Content-Length: 12\r\n"
                               "line\n"
                               "pace 4 25\n"
                               "fill 8\n"
                               "text ab\\r\\n\\t\\s\\\\\n"
                               "pace 0 0\n"
                               "fill 3 -\n"
                               "pause 100\n"
                               "stall\n"
                               "path /reset\n"
                               "reset\n"
                               "path /silent\n");
    ASSERT_EQ(scripts.size(), 3u);
    const Script expected = {Send("HTTP/1.0 200 OK\r\n"),
                             Send("Content-Length: 12\r\n"),
                             Send("\r\n"),
                             SendPaced("xxxxxxxx", 4, 25ms),
                             SendPaced("ab\r\n\t \\", 4, 25ms),
                             Send("---"),
                             Pause(100ms),
                             Stall()};
    EXPECT_EQ(scripts.at("/a b/\x83\x65.txt"), expected);
    EXPECT_EQ(scripts.at("/reset"), Script{Reset()});
    EXPECT_TRUE(scripts.at("/silent").empty());
}

TEST(ScriptFile, NamesTheLineOfAnError) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"line HTTP/1.0 200 OK\n", "script line 1"},  {"path /x\nsend abc\n", "script line 2"},
        {"path /x\n\npause soon\n", "script line 3"}, {"path /x\ntext \\q\n", "script line 2"},
        {"path /x\ntext \\x4\n", "script line 2"},    {"path /x\nfile /nonexistent/file\n", "script line 2"},
    };
    for (const auto& [text, where] : cases) {
        try {
            Parse(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(where), std::string::npos) << error.what();
        }
    }
}

TEST(RequestLog, GivesBackEachRequestExactly) {
    const std::string log = "request 6\nGET /\n\nrequest 0\n\nrequest 3\na\nb\n";
    EXPECT_EQ(ParseRequestLog(log), (std::vector<std::string>{"GET /\n", "", "a\nb"}));
    EXPECT_THROW(ParseRequestLog("request 9\nshort\n"), std::runtime_error);
    EXPECT_THROW(ParseRequestLog("garbage\n"), std::runtime_error);
}

} // namespace
} // namespace qxtest
