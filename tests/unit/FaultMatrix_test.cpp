// Every way a server can fail, for the instruction file and for an update
// file, through the real HTTP client component over loopback and the whole
// update logic: the error line, the outcome, the installed file (old or
// wholly new, never anything between), the temporary file and the memory the
// client holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fakes/LoopbackUpdater.h"
#include "platform/HttpAnswer.h"
#include "platform/NMHTTP.h"
#include "server/TestServer.h"
#include "updater/Texts.h"

namespace {

using namespace std::chrono_literals;
using qx::BoxAnswer;
using qxtest::Send;
namespace texts = qx::texts;

const std::string kOldContent = "old a.dat";
const std::string kNewContent = "new a.dat, every byte of it\r\n";
enum class Outcome { Fetched, ErrorCode1, ErrorCode3 };

const char* OutcomeText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Fetched:
        return "fetched";
    case Outcome::ErrorCode1:
        return "error code 1";
    case Outcome::ErrorCode3:
        return "error code 3";
    }
    return "";
}

enum class Column { InstructionFile, UpdateFile };

// How the server answers; the document is what a good answer would carry.
enum class Serving { Script, ConnectionRefused, BeyondMemoryCap };

struct FaultRow {
    const char* name;
    Serving serving;
    std::function<qxtest::Script(const std::string& document)> script;
    Outcome outcome;
    // The update file is written to disk, where no cap applies.
    bool instructionFileOnly = false;
};

std::string Header(const std::string& status, const std::string& lines) {
    return "HTTP/1.0 " + status + "\r\n" + lines + "\r\n";
}

std::string Length(std::size_t length) {
    return "Content-Length: " + std::to_string(length) + "\r\n";
}

qxtest::Script Sent(std::string bytes) {
    return {Send(std::move(bytes))};
}

const std::vector<FaultRow> kRows = {
    {"ConnectionRefused", Serving::ConnectionRefused, {}, Outcome::ErrorCode3},
    {"AcceptedNothingSent", Serving::Script,
     [](const std::string&) { return qxtest::Script{qxtest::Stall()}; }, Outcome::ErrorCode3},
    {"ResetMidBody", Serving::Script,
     [](const std::string& d) {
         return qxtest::Script{Send(Header("200 OK", Length(d.size())) + d.substr(0, d.size() / 2)),
                               qxtest::Pause(50ms), qxtest::Reset()};
     },
     Outcome::ErrorCode3},
    {"ClosedMidHeader", Serving::Script,
     [](const std::string&) { return Sent("HTTP/1.0 200 OK\r\nContent-Le"); }, Outcome::ErrorCode1},
    {"ClosedMidBodyBeforeLength", Serving::Script,
     [](const std::string& d) {
         return Sent(Header("200 OK", Length(d.size())) + d.substr(0, d.size() / 2));
     },
     Outcome::ErrorCode1},
    {"Redirect302", Serving::Script,
     [](const std::string& d) {
         return Sent(Header("302 Found", "Location: http://elsewhere/\r\n" + Length(d.size())) + d);
     },
     Outcome::ErrorCode1},
    {"NotFound404", Serving::Script,
     [](const std::string&) { return Sent(qxtest::Answer("404 Not Found", "<html>404</html>")); },
     Outcome::ErrorCode1},
    {"ServerError500Html", Serving::Script,
     [](const std::string&) {
         return Sent(qxtest::Answer("500 Internal Server Error", "<html><body><h1>500</h1></body></html>"));
     },
     Outcome::ErrorCode1},
    {"HeaderOverCap", Serving::Script,
     [](const std::string& d) {
         return Sent(
             Header("200 OK", "X-Filler: " + std::string(qx::AnswerReader::MaxHeaderSize, 'h') + "\r\n") + d);
     },
     Outcome::ErrorCode3},
    {"EndlessBodyIntoMemory", Serving::BeyondMemoryCap, {}, Outcome::ErrorCode3, true},
    {"LengthNegative", Serving::Script,
     [](const std::string& d) { return Sent(Header("200 OK", "Content-Length: -1\r\n") + d); },
     Outcome::ErrorCode3},
    {"LengthNotANumber", Serving::Script,
     [](const std::string& d) { return Sent(Header("200 OK", "Content-Length: twelve\r\n") + d); },
     Outcome::Fetched},
    {"LengthDuplicatedEqual", Serving::Script,
     [](const std::string& d) { return Sent(Header("200 OK", Length(d.size()) + Length(d.size())) + d); },
     Outcome::Fetched},
    {"LengthDuplicatedDiffering", Serving::Script,
     [](const std::string& d) { return Sent(Header("200 OK", Length(d.size()) + Length(d.size() + 1)) + d); },
     Outcome::ErrorCode1},
    {"LengthOver2To31", Serving::Script,
     [](const std::string& d) { return Sent(Header("200 OK", "Content-Length: 3000000000\r\n") + d); },
     Outcome::ErrorCode1},
    {"NoStatusLine", Serving::Script, [](const std::string& d) { return Sent(d); }, Outcome::ErrorCode1},
    {"ClosedWithoutAnswer", Serving::Script, [](const std::string&) { return qxtest::Script{}; },
     Outcome::ErrorCode1},
    {"GarbageStatusLine", Serving::Script,
     [](const std::string& d) { return Sent("HTTP/1.0 2OO OK\r\n" + Length(d.size()) + "\r\n" + d); },
     Outcome::ErrorCode1},
    {"NulInStatusLine", Serving::Script,
     [](const std::string& d) {
         return Sent(std::string("HTTP/1.0 2\0"
                                 "0 OK\r\n",
                                 16) +
                     Length(d.size()) + "\r\n" + d);
     },
     Outcome::ErrorCode1},
    {"NulInHeaderLine", Serving::Script,
     [](const std::string& d) {
         return Sent(Header("200 OK", std::string("X-Note: a\0b\r\n", 13) + Length(d.size())) + d);
     },
     Outcome::Fetched},
    {"MoreBodyThanAnnounced", Serving::Script,
     [](const std::string& d) { return Sent(Header("200 OK", Length(d.size() / 2)) + d); }, Outcome::Fetched},
};

struct FaultCase {
    FaultRow row;
    Column column;
};

std::vector<FaultCase> AllCases() {
    std::vector<FaultCase> cases;
    for (const FaultRow& row : kRows) {
        cases.push_back({row, Column::InstructionFile});
        if (!row.instructionFileOnly)
            cases.push_back({row, Column::UpdateFile});
    }
    return cases;
}

// A port on 127.0.0.1 that refuses connections: the server that had it is gone.
std::uint16_t RefusingPort() {
    const qxtest::TestServer closed;
    return closed.Port();
}

class FaultMatrix : public qx::fakes::LoopbackUpdater, public ::testing::WithParamInterface<FaultCase> {
protected:
    FaultMatrix() { Install("a.dat", kOldContent); }

    bool ForInstructionFile() const { return GetParam().column == Column::InstructionFile; }

    static std::string InstructionFile(const std::string& updateUrl) {
        return qx::fakes::InstructionFile({">UpdateKey=2", ">Get=" + updateUrl + ",a.dat"});
    }

    // The URL of the faulty answer for `document`.
    std::string FaultyUrl(const std::string& document) {
        const FaultRow& row = GetParam().row;
        switch (row.serving) {
        case Serving::ConnectionRefused:
            return "http://127.0.0.1:" + std::to_string(RefusingPort()) + "/faulty";
        case Serving::BeyondMemoryCap:
            // A sparse file, sent from disk by the server: it costs no memory
            // on the server's side.
            std::ofstream(rootDir_ / "big").close();
            std::filesystem::resize_file(rootDir_ / "big",
                                         qx::TNMHTTP::MaxMemoryBody + qx::AnswerReader::PieceSize);
            return server_.Url("/big");
        case Serving::Script:
            server_.SetScript("/faulty", row.script(document));
            return server_.Url("/faulty");
        }
        return {};
    }
};

TEST_P(FaultMatrix, LeavesTheInstalledFileOldOrWhollyNew) {
    const Outcome outcome = GetParam().row.outcome;
    const bool fetched = outcome == Outcome::Fetched;
    std::string instructionUrl;
    std::string faultyUrl;
    if (ForInstructionFile()) {
        server_.SetScript("/good", Sent(qxtest::Answer("200 OK", kNewContent)));
        faultyUrl = FaultyUrl(InstructionFile(server_.Url("/good")));
        instructionUrl = faultyUrl;
        window_.ScriptAnswer(fetched ? BoxAnswer::Yes : BoxAnswer::No);
    } else {
        faultyUrl = FaultyUrl(kNewContent);
        server_.SetScript("/instructions", Sent(qxtest::Answer("200 OK", InstructionFile(faultyUrl))));
        instructionUrl = server_.Url("/instructions");
        window_.ScriptAnswer(BoxAnswer::Yes);
        if (!fetched)
            window_.ScriptAnswer(BoxAnswer::No);
    }

    RunUpdate(instructionUrl);

    std::vector<std::string> expectedErrors;
    if (outcome == Outcome::ErrorCode1)
        expectedErrors.push_back(qx::fakes::Stamped(texts::kErrorDocumentNotFetched + faultyUrl));
    if (outcome == Outcome::ErrorCode3)
        expectedErrors.push_back(qx::fakes::Stamped(texts::kErrorHttpComponent));
    EXPECT_EQ(window_.ErrorLines(), expectedErrors);

    EXPECT_EQ(FileContent(InstalledPath("a.dat")), fetched ? kNewContent : kOldContent);
    EXPECT_EQ(form_.UpdatedCount, fetched ? 1 : 0);
    EXPECT_EQ(form_.FailedCount, fetched || ForInstructionFile() ? 0 : 1);
    if (!fetched) {
        const std::string resultLine = ForInstructionFile() ? std::string(texts::kUpdateCancelled)
                                                            : texts::kStatusFailed + exeDir_ + "a.dat";
        EXPECT_NE(std::find(window_.StatusLog().begin(), window_.StatusLog().end(), resultLine),
                  window_.StatusLog().end());
    }
    EXPECT_FALSE(std::filesystem::exists(TempFilePath()));
    EXPECT_FALSE(form_.Downloading);

    // The client never held more than the cap of a document in memory.
    for (const std::int32_t received : window_.positionHistory)
        EXPECT_LE(received, qx::TNMHTTP::MaxMemoryBody);
    EXPECT_LE(http_.Body.capacity(), static_cast<std::size_t>(qx::TNMHTTP::MaxMemoryBody));
    EXPECT_EQ(window_.UnusedAnswers(), 0u);

    RecordProperty("outcome", OutcomeText(outcome));
    RecordProperty("installed", fetched ? "wholly new" : "byte-identical old");
    RecordProperty("qxupdfl.tmp", "gone");
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.row.name) +
                                    (info.param.column == Column::InstructionFile ? "_InstructionFile"
                                                                                  : "_UpdateFile");
                         });

} // namespace
