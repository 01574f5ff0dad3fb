#include "platform/HttpErrors.h"
#include "platform/NMHTTP.h"

#include "server/TestServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include <unistd.h>

namespace qx {
namespace {

using namespace std::chrono_literals;
using qxtest::Answer;
using qxtest::Pause;
using qxtest::Send;
using qxtest::SendPaced;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
        : path_(fs::temp_directory_path() / ("qx_http_" + std::to_string(::getpid()) + "_" + Unique())) {
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

private:
    static std::string Unique() { return std::to_string(std::random_device()()); }
    fs::path path_;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Whether any descriptor of this process refers to the file.
bool IsOpenInThisProcess(const fs::path& path) {
    const fs::path target = fs::weakly_canonical(path);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(entry.path(), error) == target)
            return true;
    }
    return false;
}

std::string Header(const std::string& status, const std::string& lines = "") {
    return "HTTP/1.0 " + status + "\r\n" + lines + "\r\n";
}

class NMHTTPTest : public testing::Test {
protected:
    NMHTTPTest() {
        client.TimeOut = 2000;
        client.OnPacketRecvd = [this] {
            events.push_back("piece " + std::to_string(client.ReceivedLength()));
        };
        client.OnFailure = [this](CmdType) { events.push_back("failure"); };
        client.OnRedirect = [this](bool& handled) {
            events.push_back(handled ? "redirect handled" : "redirect");
            handled = true;
        };
    }

    std::string Serve(const std::string& path, qxtest::Script script) {
        server.SetScript(path, std::move(script));
        return server.Url(path);
    }
    std::string ServeAnswer(const std::string& path, const std::string& answer) {
        return Serve(path, {Send(answer)});
    }
    void UseFile(const std::string& name) {
        client.InputFileMode = true;
        client.Body = (dir.Path() / name).string();
    }
    bool Failed() const { return std::find(events.begin(), events.end(), "failure") != events.end(); }

    qxtest::TestServer server;
    TempDir dir;
    int hookCalls = 0;
    std::function<void()> onHook;
    TNMHTTP client{[this] {
        ++hookCalls;
        if (onHook)
            onHook();
    }};
    std::vector<std::string> events;
};

TEST_F(NMHTTPTest, StartsWithTheStoredSettings) {
    const TNMHTTP fresh;
    EXPECT_EQ(fresh.TimeOut, 5000);
    EXPECT_EQ(fresh.Body, "Default.htm");
    EXPECT_FALSE(fresh.InputFileMode);
    EXPECT_EQ(fresh.ExpectedLength(), 0);
    EXPECT_EQ(fresh.ReceivedLength(), 0);
}

TEST_F(NMHTTPTest, SendsTheRequestByteForByte) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/a/b.txt", "GET /a/b.txt HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"},
        {"", "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"},
        {"/dir name/\x83\x65\x83\x58\x83\x67.txt",
         "GET /dir name/\x83\x65\x83\x58\x83\x67.txt HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"},
    };
    for (const auto& [path, request] : cases) {
        ServeAnswer(path.empty() ? "/" : path, Answer("200 OK", "x"));
        client.Get(server.Url(path));
        EXPECT_EQ(server.Requests().back(), request);
    }
}

TEST_F(NMHTTPTest, KeepsTheDocumentInMemory) {
    client.Body = "previous";
    client.Get(ServeAnswer("/doc", Answer("200 OK", "*QXUpdateInstructionFile\r\nline\r\n")));
    EXPECT_EQ(client.Body, "*QXUpdateInstructionFile\r\nline\r\n");
    EXPECT_EQ(client.ExpectedLength(), 32);
    EXPECT_EQ(client.ReceivedLength(), 32);
    EXPECT_FALSE(Failed());
}

TEST_F(NMHTTPTest, EmptiesBodyForAnEmptyDocument) {
    client.Body = "previous";
    client.Get(ServeAnswer("/empty", Answer("200 OK", "")));
    EXPECT_EQ(client.Body, "");
    EXPECT_EQ(client.ReceivedLength(), 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(NMHTTPTest, CountsAndReportsEachPieceAfterStoringIt) {
    const std::string body(10240, 'd');
    client.OnPacketRecvd = [&] {
        events.push_back(std::to_string(client.ReceivedLength()) + "/" + std::to_string(client.Body.size()));
    };
    client.Get(Serve("/pieces", {Send(Header("200 OK", "Content-Length: 10240\r\n")), Pause(50ms),
                                 SendPaced(body, 4096, 50ms)}));
    EXPECT_EQ(events, (std::vector<std::string>{"4096/4096", "8192/8192", "10240/10240"}));
    EXPECT_EQ(client.ExpectedLength(), 10240);
    EXPECT_EQ(client.Body, body);
}

TEST_F(NMHTTPTest, WritesTheDocumentIntoAFileThatReplacesAnOldOne) {
    UseFile("update.tmp");
    WriteFile(client.Body, std::string(5000, 'o'));
    std::string body;
    for (int i = 0; i < 300000; ++i)
        body += static_cast<char>(i * 7);
    client.Get(ServeAnswer("/file", Answer("200 OK", body)));
    EXPECT_EQ(ReadFile(client.Body), body);
    EXPECT_FALSE(IsOpenInThisProcess(client.Body));
    EXPECT_EQ(client.ReceivedLength(), 300000);
    const fs::path moved = dir.Path() / "moved";
    fs::rename(client.Body, moved);
    EXPECT_TRUE(fs::remove(moved));
}

TEST_F(NMHTTPTest, TakesARelativeFileNameAgainstTheCurrentDirectory) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    client.InputFileMode = true;
    client.Body = "qxupdfl.tmp";
    client.Get(ServeAnswer("/rel", Answer("200 OK", "relative")));
    fs::current_path(previous);
    EXPECT_EQ(ReadFile(dir.Path() / "qxupdfl.tmp"), "relative");
}

TEST_F(NMHTTPTest, LeavesTheFileAloneWhenTheRequestEndsBeforeTheBody) {
    UseFile("kept.tmp");
    WriteFile(client.Body, "old contents");
    client.TimeOut = 100;
    const std::vector<qxtest::Script> scripts = {
        {},
        {Send("not an answer\r\n\r\nbody")},
        {Send("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n")},
        {Send("HTTP/1.0 200 OK\r\n"), qxtest::Stall()},
    };
    for (const qxtest::Script& script : scripts) {
        try {
            client.Get(Serve("/before", script));
        } catch (const TimeoutError&) {
        }
        EXPECT_EQ(ReadFile(client.Body), "old contents");
    }
}

TEST_F(NMHTTPTest, CreatesTheFileEvenForAnEmptyBody) {
    UseFile("empty.tmp");
    WriteFile(client.Body, "old contents");
    client.Get(ServeAnswer("/e", Answer("200 OK", "")));
    EXPECT_TRUE(fs::exists(client.Body));
    EXPECT_EQ(fs::file_size(client.Body), 0u);
}

TEST_F(NMHTTPTest, RaisesWhenTheFileCannotBeCreated) {
    client.InputFileMode = true;
    client.Body = (dir.Path() / "missing" / "x.tmp").string();
    EXPECT_THROW(client.Get(ServeAnswer("/x", Answer("200 OK", "data"))), BodyFileError);
}

struct OutcomeCase {
    std::string name;
    std::string answer;
    std::vector<std::string> events;
    std::string document;
};

class AnswerOutcome : public NMHTTPTest, public testing::WithParamInterface<OutcomeCase> {};

TEST_P(AnswerOutcome, FiresTheEventsAfterTheWholeBodyAndReturns) {
    UseFile("outcome.tmp");
    client.OnFailure = [this](CmdType cmd) {
        EXPECT_EQ(cmd, CmdType::CmdGET);
        EXPECT_FALSE(IsOpenInThisProcess(client.Body));
        events.push_back("failure with " +
                         std::to_string(fs::exists(client.Body) ? fs::file_size(client.Body) : 0));
    };
    client.Get(ServeAnswer("/outcome", GetParam().answer));
    EXPECT_EQ(events, GetParam().events);
    if (fs::exists(client.Body)) {
        EXPECT_EQ(ReadFile(client.Body), GetParam().document);
    }
}

const std::string NotFoundPage = "<html>not found</html>";

INSTANTIATE_TEST_SUITE_P(
    Statuses, AnswerOutcome,
    testing::Values(
        OutcomeCase{"Ok", Answer("200 OK", "doc"), {"piece 3"}, "doc"},
        OutcomeCase{"NoContent", Answer("204 No Content", ""), {}, ""},
        OutcomeCase{"OkWithoutLength", Answer("200 OK", "doc", false), {"piece 3"}, "doc"},
        OutcomeCase{
            "MoreThanAnnounced", Header("200 OK", "Content-Length: 2\r\n") + "12345", {"piece 5"}, "12345"},
        OutcomeCase{
            "NotFound", Answer("404 Not Found", NotFoundPage), {"piece 22", "failure with 22"}, NotFoundPage},
        OutcomeCase{"BadRequest", Answer("400 Bad Request", "b"), {"piece 1", "failure with 1"}, "b"},
        OutcomeCase{
            "ServerError", Answer("500 Internal Server Error", "e"), {"piece 1", "failure with 1"}, "e"},
        OutcomeCase{"Redirect",
                    Header("302 Found", "Location: http://elsewhere/\r\nContent-Length: 5\r\n") + "moved",
                    {"piece 5", "redirect", "failure with 5"},
                    "moved"},
        OutcomeCase{"Informational", Answer("100 Continue", ""), {"failure with 0"}, ""},
        OutcomeCase{"ShortBody",
                    Header("200 OK", "Content-Length: 10\r\n") + "12345",
                    {"piece 5", "failure with 5"},
                    "12345"},
        OutcomeCase{"ConflictingLengths",
                    Header("200 OK", "Content-Length: 3\r\nContent-Length: 4\r\n") + "abc",
                    {"failure with 0"},
                    ""},
        OutcomeCase{"NoStatusLine", "<html>hello</html>\r\n\r\n", {"failure with 0"}, ""},
        OutcomeCase{"NoAnswer", "", {"failure with 0"}, ""},
        OutcomeCase{"HeaderCutOff", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n", {"failure with 0"}, ""}),
    [](const testing::TestParamInfo<OutcomeCase>& info) { return info.param.name; });

TEST_F(NMHTTPTest, PassesContentLengthOnAsThe32BitCount) {
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"Content-Length: 3\r\n", 3},
        {"", 0},
        {"Content-Length: abc\r\n", 0},
        {"Content-Length: -5\r\n", -5},
        {"Content-Length: 99999999999\r\n", std::numeric_limits<std::int32_t>::max()},
    };
    for (const auto& [line, expected] : cases) {
        client.Get(ServeAnswer("/length", Header("200 OK", line) + "abc"));
        EXPECT_EQ(client.ExpectedLength(), expected) << line;
        EXPECT_EQ(client.ReceivedLength(), 3);
    }
}

TEST_F(NMHTTPTest, KeepsTheCountsOfTheLastAnswerWhenTheNextFailsBeforeItsBody) {
    client.Get(ServeAnswer("/first", Answer("200 OK", "12345")));
    client.Get(ServeAnswer("/second", "garbage\r\n"));
    EXPECT_EQ(client.ExpectedLength(), 5);
    EXPECT_EQ(client.ReceivedLength(), 5);
}

TEST_F(NMHTTPTest, RefusesHttpsBeforeConnecting) {
    EXPECT_THROW(client.Get("https://127.0.0.1:" + std::to_string(server.Port()) + "/a"), UrlError);
    EXPECT_THROW(client.Get(""), UrlError);
    EXPECT_THROW(client.Get("http://127.0.0.1:port/a"), UrlError);
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(NMHTTPTest, ReachesAServerByName) {
    client.Get("http://localhost:" + std::to_string(server.Port()) + "/unknown");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], "GET /unknown HTTP/1.0\r\nHost: localhost\r\n\r\n");
    EXPECT_TRUE(Failed());
}

TEST_F(NMHTTPTest, RaisesForARefusedConnection) {
    std::uint16_t port = 0;
    {
        qxtest::TestServer closed;
        port = closed.Port();
    }
    EXPECT_THROW(client.Get("http://127.0.0.1:" + std::to_string(port) + "/"), NetworkError);
}

TEST_F(NMHTTPTest, RaisesForAResetConnection) {
    UseFile("reset.tmp");
    EXPECT_THROW(client.Get(Serve("/reset", {Send(Header("200 OK", "Content-Length: 100\r\n") + "part"),
                                             Pause(50ms), qxtest::Reset()})),
                 NetworkError);
    EXPECT_FALSE(IsOpenInThisProcess(client.Body));
}

TEST_F(NMHTTPTest, RaisesWhenTheHeaderIsTooLarge) {
    const std::string huge = Header("200 OK", "X-Filler: " + std::string(70 * 1024, 'h') + "\r\n") + "body";
    EXPECT_THROW(client.Get(ServeAnswer("/huge", huge)), AnswerTooLargeError);
}

TEST_F(NMHTTPTest, RaisesWhenADocumentInMemoryExceeds64MiB) {
    TempDir root;
    const std::int64_t size = TNMHTTP::MaxMemoryBody + 1;
    fs::resize_file((WriteFile(root.Path() / "big", ""), root.Path() / "big"),
                    static_cast<std::uintmax_t>(size));
    qxtest::ServerOptions options;
    options.root = root.Path().string();
    qxtest::TestServer files(options);
    client.OnPacketRecvd = nullptr;
    EXPECT_THROW(client.Get(files.Url("/big")), AnswerTooLargeError);
    EXPECT_TRUE(client.Body.empty());
}

TEST_F(NMHTTPTest, PassesAnExceptionOfAHandlerOutUnchanged) {
    struct HandlerError {};
    UseFile("handler.tmp");
    client.OnPacketRecvd = [] { throw HandlerError(); };
    EXPECT_THROW(client.Get(ServeAnswer("/h", Answer("200 OK", "abc"))), HandlerError);
    EXPECT_FALSE(IsOpenInThisProcess(client.Body));
}

// Time-outs: each stage may wait TimeOut, and the next stage starts anew.
class TimeOutTest : public NMHTTPTest {
protected:
    TimeOutTest() { client.TimeOut = 150; }

    // Runs Get and returns how long it took until it raised TimeoutError.
    Clock::duration TimeUntilTimeout(const std::string& url) {
        const auto start = Clock::now();
        EXPECT_THROW(client.Get(url), TimeoutError);
        return Clock::now() - start;
    }
};

TEST_F(TimeOutTest, AbandonsAServerThatSendsNothing) {
    const auto took = TimeUntilTimeout(Serve("/silent", {qxtest::Stall()}));
    EXPECT_GE(took, 150ms);
    EXPECT_LT(took, 1500ms);
}

TEST_F(TimeOutTest, AbandonsAHeaderLineThatTrickles) {
    const std::string line = "HTTP/1.0 200 OK but this line trickles in one byte at a time\r\n";
    TimeUntilTimeout(Serve("/trickle", {SendPaced(line, 1, 10ms)}));
}

TEST_F(TimeOutTest, GivesEachHeaderLineItsOwnPeriod) {
    const std::vector<std::string> lines = {
        "HTTP/1.0 200 OK\r\n", "A: 1\r\n", "B: 2\r\n", "C: 3\r\n", "\r\n", "ok"};
    qxtest::Script script;
    for (const std::string& line : lines)
        script.insert(script.end(), {Send(line), Pause(80ms)});
    client.Get(Serve("/lines", script));
    EXPECT_EQ(client.Body, "ok");
}

TEST_F(TimeOutTest, StartsThePeriodAnewWithEachPieceOfTheBody) {
    client.Get(Serve("/paced", {Send(Header("200 OK")), SendPaced(std::string(8, 'p'), 1, 80ms)}));
    EXPECT_EQ(client.Body, std::string(8, 'p'));
}

TEST_F(TimeOutTest, AbandonsABodyThatStalls) {
    UseFile("stalled.tmp");
    TimeUntilTimeout(
        Serve("/stall", {Send(Header("200 OK", "Content-Length: 100\r\n") + "first"), qxtest::Stall()}));
    EXPECT_EQ(ReadFile(client.Body), "first");
    EXPECT_FALSE(IsOpenInThisProcess(client.Body));
}

TEST_F(TimeOutTest, AbandonsAConnectionThatIsNeverAccepted) {
    const qxtest::FullListener full;
    TimeUntilTimeout("http://127.0.0.1:" + std::to_string(full.Port()) + "/");
}

TEST_F(TimeOutTest, WaitsWithoutLimitForZero) {
    client.TimeOut = 0;
    client.Get(Serve("/slow", {Pause(300ms), Send(Answer("200 OK", "late"))}));
    EXPECT_EQ(client.Body, "late");
}

TEST_F(NMHTTPTest, KeepsTheWindowAliveWhileStalled) {
    std::vector<Clock::time_point> calls;
    onHook = [&] { calls.push_back(Clock::now()); };
    client.Get(Serve("/wait", {Pause(300ms), Send(Answer("200 OK", "x"))}));
    ASSERT_GE(calls.size(), 10u);
    Clock::duration longestGap{};
    for (std::size_t i = 1; i < calls.size(); ++i)
        longestGap = std::max(longestGap, calls[i] - calls[i - 1]);
    EXPECT_LT(longestGap, 100ms) << "the 10 ms period, with room for a loaded machine";
}

// Cancel: the running Get raises at its next check, however it got there.
TEST_F(NMHTTPTest, CancelsFromTheMessageHookDuringAStall) {
    const auto start = Clock::now();
    onHook = [&] {
        if (Clock::now() - start > 50ms)
            client.Cancel();
    };
    EXPECT_THROW(client.Get(Serve("/stall", {Send(Header("200 OK")), qxtest::Stall()})), CancelledError);
    EXPECT_LT(Clock::now() - start, 1000ms);
}

TEST_F(NMHTTPTest, CancelsInsideThePieceHandler) {
    UseFile("cancel.tmp");
    client.OnPacketRecvd = [this] {
        events.push_back("piece");
        client.Cancel();
    };
    EXPECT_THROW(client.Get(Serve("/c", {Send(Header("200 OK")), SendPaced("abcdef", 2, 30ms)})),
                 CancelledError);
    EXPECT_EQ(events, std::vector<std::string>{"piece"});
    EXPECT_EQ(ReadFile(client.Body), "ab");
    EXPECT_FALSE(IsOpenInThisProcess(client.Body));
}

TEST_F(NMHTTPTest, CancelsAfterAllDataHasArrived) {
    client.OnPacketRecvd = [this] {
        if (client.ReceivedLength() == client.ExpectedLength())
            client.Cancel();
    };
    EXPECT_THROW(client.Get(ServeAnswer("/last", Answer("200 OK", "whole"))), CancelledError);
    EXPECT_EQ(client.Body, "whole");
}

TEST_F(NMHTTPTest, CancelsInsideTheFailureHandler) {
    client.OnFailure = [this](CmdType) { client.Cancel(); };
    EXPECT_THROW(client.Get(ServeAnswer("/nf", Answer("404 Not Found", "x"))), CancelledError);
}

TEST_F(NMHTTPTest, IgnoresACancelWhileIdle) {
    client.Cancel();
    client.Get(ServeAnswer("/idle", Answer("200 OK", "fine")));
    EXPECT_EQ(client.Body, "fine");
}

} // namespace
} // namespace qx
