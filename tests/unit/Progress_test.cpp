#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fakes/UpdaterFixture.h"
#include "updater/Texts.h"

namespace {

using qx::BoxAnswer;
using qx::BoxStyle;
using qx::fakes::FakeAnswer;
using qx::fakes::InstructionFile;
using qx::fakes::MessageBox;
using qx::fakes::Stamped;
namespace texts = qx::texts;

FakeAnswer Pieces(std::int32_t contentLength, const std::vector<std::size_t>& sizes) {
    FakeAnswer answer;
    answer.contentLength = contentLength;
    for (std::size_t size : sizes)
        answer.pieces.emplace_back(size, 'd');
    return answer;
}

// A click on Cancel while a piece is handled, and how the box is answered.
struct Click {
    std::size_t atPiece;
    BoxAnswer answer;
    // The time-out of the transfer expires while the box is open.
    bool timeOutWhileOpen = false;
};

struct ProgressCase {
    const char* name;
    // Downloads made before, all successful.
    std::vector<FakeAnswer> earlier;
    FakeAnswer answer;
    std::optional<Click> click;
    bool result;
    bool cancelled;
    std::vector<std::string> errorLines;
    std::vector<std::int32_t> maxHistory;
    std::vector<std::int32_t> positions;
    std::vector<std::string> labels;
    std::int32_t progressMax;
};

class Progress : public qx::fakes::UpdaterFixture, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(Progress, FollowsEachPieceAndCancelsOnYes) {
    const ProgressCase& c = GetParam();
    form_.UpdateRunning = true;
    for (const FakeAnswer& answer : c.earlier) {
        http_.Script(answer);
        ASSERT_TRUE(form_.DownloadDocument("http://h/earlier"));
    }
    FakeAnswer answer = c.answer;
    if (c.click) {
        answer.atPiece[c.click->atPiece] = [this] { window_.PostMessage([this] { form_.Button3Click(); }); };
        window_.ScriptAnswer(c.click->answer, [this, c] {
            if (c.click->timeOutWhileOpen)
                http_.ExpireTimeOut();
        });
    }
    http_.Script(answer);

    EXPECT_EQ(form_.DownloadDocument("http://h/a"), c.result);

    EXPECT_EQ(form_.Cancelled, c.cancelled);
    EXPECT_EQ(window_.ErrorLines(), c.errorLines);
    EXPECT_EQ(window_.progressMaxHistory, c.maxHistory);
    EXPECT_EQ(window_.positionHistory, c.positions);
    EXPECT_EQ(window_.receivedSizeHistory, c.labels);
    EXPECT_EQ(form_.ProgressMax, c.progressMax);
    const std::vector<MessageBox> confirmation = {{BoxStyle::CancelConfirm, texts::kConfirmCancel}};
    EXPECT_EQ(window_.Boxes(), c.click ? confirmation : std::vector<MessageBox>{});
}

INSTANTIATE_TEST_SUITE_P(
    Table, Progress,
    ::testing::Values(ProgressCase{"ThreePiecesOf10240",
                                   {},
                                   Pieces(10240, {4096, 4096, 2048}),
                                   std::nullopt,
                                   true,
                                   false,
                                   {},
                                   {10240},
                                   {4096, 8192, 10240},
                                   {"4096/10240 bytes.", "8192/10240 bytes.", "10240/10240 bytes."},
                                   10240},
                      ProgressCase{"NoLengthOnTheFirstDownloadKeepsTheDesignedRange",
                                   {},
                                   Pieces(0, {2000, 3000}),
                                   std::nullopt,
                                   true,
                                   false,
                                   {},
                                   {},
                                   {2000, 5000},
                                   {"2000/0 bytes.", "5000/0 bytes."},
                                   0},
                      ProgressCase{"NoLengthAfterADownloadOf10240",
                                   {Pieces(10240, {10240})},
                                   Pieces(0, {100}),
                                   std::nullopt,
                                   true,
                                   false,
                                   {},
                                   {10240, 0},
                                   {10240, 100},
                                   {"10240/10240 bytes.", "100/0 bytes."},
                                   0},
                      ProgressCase{"MoreThanAnnounced",
                                   {},
                                   Pieces(10240, {8000, 4000}),
                                   std::nullopt,
                                   true,
                                   false,
                                   {},
                                   {10240},
                                   {8000, 12000},
                                   {"8000/10240 bytes.", "12000/10240 bytes."},
                                   10240},
                      ProgressCase{"FailureBeforeTheBodyLeavesBarAndLabel",
                                   {Pieces(10240, {10240})},
                                   FakeAnswer::Unreachable(),
                                   std::nullopt,
                                   false,
                                   false,
                                   {Stamped(texts::kErrorHttpComponent)},
                                   {10240},
                                   {10240},
                                   {"10240/10240 bytes."},
                                   10240},
                      ProgressCase{"NegativeLengthFailsAtTheFirstPiece",
                                   {Pieces(10240, {10240})},
                                   Pieces(-5, {100, 100}),
                                   std::nullopt,
                                   false,
                                   false,
                                   {Stamped(texts::kErrorHttpComponent)},
                                   {10240},
                                   {10240},
                                   {"10240/10240 bytes."},
                                   -5},
                      ProgressCase{"CancelAnsweredNo",
                                   {},
                                   Pieces(300, {100, 100, 100}),
                                   Click{0, BoxAnswer::No},
                                   true,
                                   false,
                                   {},
                                   {300},
                                   {100, 200, 300},
                                   {"100/300 bytes.", "200/300 bytes.", "300/300 bytes."},
                                   300},
                      ProgressCase{"CancelAnsweredYes",
                                   {},
                                   Pieces(300, {100, 100, 100}),
                                   Click{0, BoxAnswer::Yes},
                                   false,
                                   true,
                                   {},
                                   {300},
                                   {100},
                                   {"100/300 bytes."},
                                   300},
                      ProgressCase{"YesInTheHandlerOfTheLastPiece",
                                   {},
                                   Pieces(200, {100, 100}),
                                   Click{1, BoxAnswer::Yes},
                                   false,
                                   true,
                                   {},
                                   {200},
                                   {100, 200},
                                   {"100/200 bytes.", "200/200 bytes."},
                                   200},
                      ProgressCase{"BoxOpenPastTheTimeOutThenNo",
                                   {},
                                   Pieces(300, {100, 100, 100}),
                                   Click{0, BoxAnswer::No, true},
                                   false,
                                   false,
                                   {Stamped(texts::kErrorHttpComponent)},
                                   {300},
                                   {100},
                                   {"100/300 bytes."},
                                   300},
                      ProgressCase{"BoxOpenPastTheTimeOutThenYes",
                                   {},
                                   Pieces(300, {100, 100, 100}),
                                   Click{0, BoxAnswer::Yes, true},
                                   false,
                                   true,
                                   {},
                                   {300},
                                   {100},
                                   {"100/300 bytes."},
                                   300}),
    [](const ::testing::TestParamInfo<ProgressCase>& info) { return std::string(info.param.name); });

class PacketHandler : public qx::fakes::UpdaterFixture {};

TEST_F(PacketHandler, EachPieceLetsTheWindowHandleItsMessagesFirst) {
    std::vector<std::string> order;
    FakeAnswer answer = Pieces(30, {10, 10, 10});
    for (std::size_t piece = 0; piece < 3; ++piece) {
        answer.atPiece[piece] = [this, &order, piece] {
            window_.PostMessage([this, &order, piece] {
                order.push_back("message " + std::to_string(piece) + " before label " +
                                std::to_string(window_.receivedSizeHistory.size()));
            });
        };
    }
    http_.Script(answer);

    ASSERT_TRUE(form_.DownloadDocument("http://h/a"));

    EXPECT_EQ(window_.processMessagesCalls, 3);
    EXPECT_EQ(order, (std::vector<std::string>{"message 0 before label 0", "message 1 before label 1",
                                               "message 2 before label 2"}));
}

class Cancel : public qx::fakes::UpdaterFixture {
protected:
    Cancel() { WriteIni("[Instruction]\r\nURL=http://h/u.txt\r\nKEY=1\r\n"); }
};

TEST_F(Cancel, YesDuringAnUpdateFileEndsTheUpdateAndSavesNothing) {
    Install("a.dat", "old a");
    http_.Script(FakeAnswer::Document(InstructionFile({">UpdateKey=2", ">Get=a,a.dat", ">Get=b,b.dat"})));
    FakeAnswer slow = Pieces(300, {100, 100, 100});
    slow.atPiece[1] = [this] { window_.PostMessage([this] { form_.Button3Click(); }); };
    http_.Script(slow);
    window_.ScriptAnswer(BoxAnswer::Yes);
    window_.ScriptAnswer(BoxAnswer::Yes);
    window_.ScriptAnswer(BoxAnswer::No);

    StartAndClose();

    EXPECT_EQ(http_.RequestedUrls(), (std::vector<std::string>{"http://h/u.txt", "a"}));
    EXPECT_TRUE(window_.ErrorLines().empty());
    EXPECT_EQ(window_.StatusLog().at(4), texts::kStatusCancelled + exeDir_ + "a.dat");
    EXPECT_EQ(window_.StatusLog().at(6), "1" + std::string(texts::kFilesFailedSuffix));
    EXPECT_EQ(window_.Boxes().back(), (MessageBox{BoxStyle::Question, texts::kAskLaunchAfterFailures}));
    EXPECT_EQ(http_.cancelCalls, 1);
    EXPECT_EQ(FileContent(InstalledPath("a.dat")), "old a");
    EXPECT_TRUE(system_.copies.empty());
    EXPECT_FALSE(std::filesystem::exists(TempFilePath()));
    EXPECT_TRUE(system_.Writes().empty());
}

TEST_F(Cancel, YesDuringTheInstructionFileEndsTheRunWithItsQuestion) {
    FakeAnswer slow = Pieces(300, {100, 100, 100});
    slow.atPiece[0] = [this] { window_.PostMessage([this] { form_.Button3Click(); }); };
    http_.Script(slow);
    window_.ScriptAnswer(BoxAnswer::Yes);
    window_.ScriptAnswer(BoxAnswer::No);

    form_.FormCreate();

    EXPECT_TRUE(window_.ErrorLines().empty());
    EXPECT_EQ(window_.StatusLog().back(), texts::kUpdateCancelled);
    EXPECT_EQ(window_.Boxes().back(), (MessageBox{BoxStyle::Question, texts::kAskLaunchAfterAbort}));
}

TEST_F(Cancel, AClickAfterTheRunShowsNoBox) {
    http_.Script(FakeAnswer::Document(InstructionFile({">UpdateKey=1"})));
    form_.FormCreate();
    const std::size_t boxes = window_.Boxes().size();

    form_.Button3Click();

    EXPECT_EQ(window_.Boxes().size(), boxes);
    EXPECT_EQ(http_.cancelCalls, 0);
    EXPECT_FALSE(form_.Cancelled);
}

// A Cancel that reached the idle component does not cancel the next download.
TEST_F(Cancel, YesAfterTheTransferEndedLeavesTheNextDownloadAlone) {
    form_.UpdateRunning = true;
    window_.ScriptAnswer(BoxAnswer::Yes);
    form_.Button3Click();
    http_.Script(FakeAnswer::Document("next"));

    EXPECT_TRUE(form_.DownloadDocument("http://h/next"));
    EXPECT_FALSE(form_.Cancelled);
}

} // namespace
