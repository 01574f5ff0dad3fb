#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/UpdaterFixture.h"
#include "updater/Texts.h"

namespace {

using qx::BoxAnswer;
using qx::fakes::FakeAnswer;
using qx::fakes::Stamped;
namespace texts = qx::texts;

const char kUrl[] = "http://example.test/files/a.dat";

FakeAnswer Answer(int status, std::int32_t contentLength, std::vector<std::string> pieces) {
    FakeAnswer answer;
    answer.status = status;
    answer.contentLength = contentLength;
    answer.pieces = std::move(pieces);
    return answer;
}

FakeAnswer BrokenAfterOnePiece() {
    FakeAnswer answer = Answer(200, 8, {"1234", "5678"});
    answer.brokenAfterPieces = 1;
    return answer;
}

enum class Before { Idle, Downloading, Offline };

struct FetchCase {
    const char* name;
    Before before;
    std::optional<FakeAnswer> answer;
    // Cancel clicked while this piece is handled, and confirmed with Yes.
    std::optional<std::size_t> cancelAtPiece;
    std::vector<std::string> errorLines;
    bool httpFailed;
    bool cancelled;
    bool result;
};

class DownloadDocument : public qx::fakes::UpdaterFixture, public ::testing::WithParamInterface<FetchCase> {};

// Both flags start true, so that each row shows whether the download cleared them.
TEST_P(DownloadDocument, ReportsEachOutcomeOnce) {
    const FetchCase& c = GetParam();
    form_.CurrentUrl = kUrl;
    form_.UpdateRunning = true;
    form_.HttpFailed = true;
    form_.Cancelled = true;
    form_.Downloading = c.before == Before::Downloading;
    system_.connected = c.before != Before::Offline;
    if (c.answer) {
        FakeAnswer answer = *c.answer;
        if (c.cancelAtPiece) {
            answer.atPiece[*c.cancelAtPiece] = [this] {
                window_.PostMessage([this] { form_.Button3Click(); });
            };
            window_.ScriptAnswer(BoxAnswer::Yes);
        }
        http_.Script(answer);
    }

    const bool result = form_.DownloadDocument(kUrl);

    EXPECT_EQ(result, c.result);
    EXPECT_EQ(window_.ErrorLines(), c.errorLines);
    EXPECT_EQ(form_.HttpFailed, c.httpFailed);
    EXPECT_EQ(form_.Cancelled, c.cancelled);
    EXPECT_EQ(form_.Downloading, c.before == Before::Downloading);
    EXPECT_EQ(http_.Requests().size(), c.answer ? 1u : 0u);
    EXPECT_TRUE(window_.StatusLog().empty());
}

const std::string kNotFetched = Stamped(texts::kErrorDocumentNotFetched + std::string(kUrl));

INSTANTIATE_TEST_SUITE_P(
    Table, DownloadDocument,
    ::testing::Values(
        FetchCase{
            "AnotherDownloadRunning", Before::Downloading, std::nullopt, std::nullopt, {}, true, true, false},
        FetchCase{"NoInternetConnection",
                  Before::Offline,
                  std::nullopt,
                  std::nullopt,
                  {Stamped(texts::kErrorNotConnected)},
                  true,
                  true,
                  false},
        FetchCase{"Status404",
                  Before::Idle,
                  FakeAnswer::Document("gone", 404),
                  std::nullopt,
                  {kNotFetched},
                  true,
                  false,
                  false},
        FetchCase{"Status500",
                  Before::Idle,
                  FakeAnswer::Document("", 500),
                  std::nullopt,
                  {kNotFetched},
                  true,
                  false,
                  false},
        FetchCase{"RedirectNotFollowed",
                  Before::Idle,
                  FakeAnswer::Document("moved", 302),
                  std::nullopt,
                  {kNotFetched},
                  true,
                  false,
                  false},
        FetchCase{
            "NoStatusLine", Before::Idle, Answer(0, 0, {}), std::nullopt, {kNotFetched}, true, false, false},
        FetchCase{"BodyCutShort",
                  Before::Idle,
                  Answer(200, 100, {"only fifty"}),
                  std::nullopt,
                  {kNotFetched},
                  true,
                  false,
                  false},
        FetchCase{"Unreachable",
                  Before::Idle,
                  FakeAnswer::Unreachable(),
                  std::nullopt,
                  {Stamped(texts::kErrorHttpComponent)},
                  false,
                  false,
                  false},
        FetchCase{"ConnectionBroken",
                  Before::Idle,
                  BrokenAfterOnePiece(),
                  std::nullopt,
                  {Stamped(texts::kErrorHttpComponent)},
                  false,
                  false,
                  false},
        FetchCase{
            "CancelConfirmed", Before::Idle, Answer(200, 8, {"1234", "5678"}), 0, {}, false, true, false},
        FetchCase{"Status200",
                  Before::Idle,
                  FakeAnswer::Document("document"),
                  std::nullopt,
                  {},
                  false,
                  false,
                  true},
        FetchCase{"Status200WithoutLength",
                  Before::Idle,
                  Answer(200, 0, {"doc", "ument"}),
                  std::nullopt,
                  {},
                  false,
                  false,
                  true},
        FetchCase{"Status200LongerThanAnnounced",
                  Before::Idle,
                  Answer(200, 3, {"doc", "ument"}),
                  std::nullopt,
                  {},
                  false,
                  false,
                  true},
        FetchCase{"Status204Empty", Before::Idle, Answer(204, 0, {}), std::nullopt, {}, false, false, true}),
    [](const ::testing::TestParamInfo<FetchCase>& info) { return std::string(info.param.name); });

class Fetcher : public qx::fakes::UpdaterFixture {};

TEST_F(Fetcher, AnInMemoryDocumentArrivesInBody) {
    http_.InputFileMode = false;
    http_.Script(Answer(200, 0, {"*QX", "Update"}));

    ASSERT_TRUE(form_.DownloadDocument("http://h/u.txt"));

    EXPECT_EQ(http_.Body, "*QXUpdate");
}

TEST_F(Fetcher, AFileModeErrorPageStaysInTheFileForTheCallerToDelete) {
    http_.InputFileMode = true;
    http_.Body = texts::kTempFileName;
    http_.Script(FakeAnswer::Document("<h1>Not Found</h1>", 404));

    EXPECT_FALSE(form_.DownloadDocument("http://h/a"));

    EXPECT_EQ(FileContent(TempFilePath()), "<h1>Not Found</h1>");
}

TEST_F(Fetcher, TheRedirectHandlerStopsTheRedirect) {
    http_.Script(FakeAnswer::Document("moved", 301));

    form_.DownloadDocument("http://h/a");

    EXPECT_EQ(http_.RedirectsHandled(), std::vector<bool>{true});
}

TEST_F(Fetcher, OnlyAFailedGetIsRecorded) {
    form_.NMHTTP1Failure(qx::CmdType::CmdGET);

    EXPECT_TRUE(form_.HttpFailed);
    EXPECT_EQ(window_.ErrorLines().size(), 1u);
}

TEST_F(Fetcher, AnExceptionOfAnotherKindIsNotCaughtButTheDownloadEnds) {
    FakeAnswer answer = FakeAnswer::Document("x");
    answer.atPiece[0] = [] { throw std::logic_error("a program error"); };
    http_.Script(answer);

    EXPECT_THROW(form_.DownloadDocument("http://h/a"), std::logic_error);

    EXPECT_FALSE(form_.Downloading);
    EXPECT_TRUE(window_.ErrorLines().empty());
}

TEST_F(Fetcher, NoInternetConnectionMakesNoRequest) {
    system_.connected = false;

    EXPECT_FALSE(form_.DownloadDocument("http://h/a"));

    EXPECT_EQ(system_.connectivityQueries, 1);
    EXPECT_TRUE(http_.Requests().empty());
}

} // namespace
