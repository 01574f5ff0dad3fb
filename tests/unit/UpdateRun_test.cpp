#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fakes/UpdaterFixture.h"
#include "updater/Texts.h"

namespace {

using qx::BoxAnswer;
using qx::BoxStyle;
using qx::fakes::FakeAnswer;
using qx::fakes::FakeSystem;
using qx::fakes::InstructionFile;
using qx::fakes::MessageBox;
using qx::fakes::Stamped;
using qx::fakes::WindowEvent;
namespace texts = qx::texts;

const char kIni[] = "[Instruction]\r\nURL=http://example.test/upd.txt\r\nKEY=100\r\nSTARTAPP=tavi.exe\r\n";
const char kInstructionUrl[] = "http://example.test/upd.txt";

std::string S(const char* text) {
    return text;
}

class UpdateRun : public qx::fakes::UpdaterFixture {
protected:
    UpdateRun() { WriteIni(kIni); }

    std::vector<std::pair<std::string, std::string>> WrittenSettings() const {
        std::vector<std::pair<std::string, std::string>> written;
        for (const FakeSystem::ProfileWrite& write : system_.Writes()) {
            EXPECT_EQ(write.section, texts::kIniSection);
            EXPECT_EQ(write.path, exeDir_ + texts::kIniFileName);
            written.emplace_back(write.key, write.value);
        }
        return written;
    }
};

// One row per way a run can end, with what closing the window writes.
struct OutcomeCase {
    const char* name;
    std::vector<FakeAnswer> answers;
    std::vector<BoxAnswer> boxAnswers;
    std::vector<MessageBox> boxes;
    bool launch;
    std::vector<std::pair<std::string, std::string>> written;
    std::vector<std::string> statusLog;
    std::vector<std::string> errorLines;
};

class Outcome : public UpdateRun, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(Outcome, EndsTheRunAndWritesTheSettingsOnClose) {
    const OutcomeCase& c = GetParam();
    for (const FakeAnswer& answer : c.answers)
        http_.Script(answer);
    for (BoxAnswer answer : c.boxAnswers)
        window_.ScriptAnswer(answer);

    StartAndClose();

    EXPECT_EQ(window_.Boxes(), c.boxes);
    EXPECT_EQ(form_.LaunchRequested, c.launch);
    EXPECT_EQ(system_.shellOpened,
              c.launch ? std::vector<std::string>{"tavi.exe"} : std::vector<std::string>{});
    EXPECT_EQ(WrittenSettings(), c.written);
    std::vector<std::string> expectedStatus;
    for (const std::string& line : c.statusLog)
        expectedStatus.push_back(Expand(line));
    EXPECT_EQ(window_.StatusLog(), expectedStatus);
    EXPECT_EQ(window_.ErrorLines(), c.errorLines);
}

const std::string kUpdateFile =
    InstructionFile({">UpdateKey=200", ">Path=http://example.test/files/", ">Get=a.dat,a.dat;",
                     ">ChangeInstFileAddress=http://example.test/new.txt"});
const std::string kFailingUpdateFile =
    InstructionFile({">UpdateKey=200", ">Get=http://example.test/a.dat,missing\\a.dat",
                     ">ChangeInstFileAddress=http://new/"});

const std::vector<std::string> kUpdateMadeLog = {S(texts::kDownloadingInstructionFile),
                                                 kInstructionUrl,
                                                 S(texts::kUpdateStarting),
                                                 S(texts::kStatusDownloading) +
                                                     "http://example.test/files/a.dat",
                                                 S(texts::kStatusUpdated) + "$EXEa.dat",
                                                 "1" + S(texts::kFilesUpdatedSuffix),
                                                 S(texts::kUpdateCompletedNormally),
                                                 S(texts::kEndingUpdate)};
const std::vector<std::string> kSomeFailedLog = {S(texts::kDownloadingInstructionFile),
                                                 kInstructionUrl,
                                                 S(texts::kUpdateStarting),
                                                 S(texts::kStatusDownloading) + "http://example.test/a.dat",
                                                 S(texts::kStatusFailed) + "$EXEmissing\\a.dat",
                                                 "0" + S(texts::kFilesUpdatedSuffix),
                                                 "1" + S(texts::kFilesFailedSuffix),
                                                 S(texts::kEndingUpdate)};
const std::vector<std::pair<std::string, std::string>> kUnchanged = {{"URL", kInstructionUrl},
                                                                     {"KEY", "100"}};

INSTANTIATE_TEST_SUITE_P(
    Table, Outcome,
    ::testing::Values(
        OutcomeCase{"NotFetchedAnsweredYes",
                    {FakeAnswer::Document("gone", 404)},
                    {BoxAnswer::Yes},
                    {{BoxStyle::Question, texts::kAskLaunchAfterAbort}},
                    true,
                    kUnchanged,
                    {texts::kDownloadingInstructionFile, kInstructionUrl, texts::kUpdateCancelled},
                    {Stamped(texts::kErrorDocumentNotFetched + std::string(kInstructionUrl))}},
        OutcomeCase{"NotFetchedAnsweredNo",
                    {FakeAnswer::Document("gone", 404)},
                    {BoxAnswer::No},
                    {{BoxStyle::Question, texts::kAskLaunchAfterAbort}},
                    false,
                    kUnchanged,
                    {texts::kDownloadingInstructionFile, kInstructionUrl, texts::kUpdateCancelled},
                    {Stamped(texts::kErrorDocumentNotFetched + std::string(kInstructionUrl))}},
        OutcomeCase{"NoMagicLine",
                    {FakeAnswer::Document("<html>Not here</html>\r\n>UpdateKey=200\r\n")},
                    {},
                    {},
                    false,
                    kUnchanged,
                    {texts::kDownloadingInstructionFile, kInstructionUrl},
                    {Stamped(texts::kErrorNoMagicLine)}},
        OutcomeCase{"KeysEqual",
                    {FakeAnswer::Document(InstructionFile({">UpdateKey=100", ">Get=a,a"}))},
                    {},
                    {{BoxStyle::Information, texts::kUpToDateLaunching}},
                    true,
                    kUnchanged,
                    {texts::kDownloadingInstructionFile, kInstructionUrl, texts::kAlreadyUpToDate},
                    {}},
        OutcomeCase{
            "KeysDifferUserDeclined",
            {FakeAnswer::Document(kUpdateFile)},
            {BoxAnswer::No},
            {{BoxStyle::Question, texts::kAskUpdate}, {BoxStyle::Information, texts::kDeclinedLaunching}},
            true,
            kUnchanged,
            {texts::kDownloadingInstructionFile, kInstructionUrl, texts::kUpdateCancelled},
            {}},
        OutcomeCase{
            "UpdateMadeNoFailure",
            {FakeAnswer::Document(kUpdateFile), FakeAnswer::Document("new a")},
            {BoxAnswer::Yes},
            {{BoxStyle::Question, texts::kAskUpdate}, {BoxStyle::Information, texts::kCompletedLaunching}},
            true,
            {{"URL", "http://example.test/new.txt"}, {"KEY", "200"}},
            kUpdateMadeLog,
            {}},
        OutcomeCase{
            "UpdateMadeSomeFailedAnsweredYes",
            {FakeAnswer::Document(kFailingUpdateFile), FakeAnswer::Document("new a")},
            {BoxAnswer::Yes, BoxAnswer::Yes},
            {{BoxStyle::Question, texts::kAskUpdate}, {BoxStyle::Question, texts::kAskLaunchAfterFailures}},
            true,
            {},
            kSomeFailedLog,
            {}},
        OutcomeCase{
            "UpdateMadeSomeFailedAnsweredNo",
            {FakeAnswer::Document(kFailingUpdateFile), FakeAnswer::Document("new a")},
            {BoxAnswer::Yes, BoxAnswer::No},
            {{BoxStyle::Question, texts::kAskUpdate}, {BoxStyle::Question, texts::kAskLaunchAfterFailures}},
            false,
            {},
            kSomeFailedLog,
            {}}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateRun, ReplacesTheInstalledFileAndLeavesNoTemporaryFile) {
    Install("a.dat", "old a");
    http_.Script(FakeAnswer::Document(kUpdateFile));
    http_.Script(FakeAnswer::Document("new a"));
    window_.ScriptAnswer(BoxAnswer::Yes);

    StartAndClose();

    EXPECT_EQ(FileContent(InstalledPath("a.dat")), "new a");
    EXPECT_FALSE(std::filesystem::exists(TempFilePath()));
    EXPECT_EQ(form_.UpdatedCount, 1);
    EXPECT_EQ(form_.FailedCount, 0);
}

TEST_F(UpdateRun, StartUpReadsTheSettingsByTheProfileRulesAndShowsTheWindowBeforeTheRun) {
    WriteIni("; written by hand\r\n[instruction]\r\n  url =  \"http://example.test/u.txt\"  \r\nKey='100'\r\n"
             "startapp = tavi.exe\r\n[Other]\r\nURL=http://wrong/\r\n");
    http_.Script(FakeAnswer::Document(InstructionFile({">UpdateKey=100"})));

    form_.FormCreate();

    EXPECT_EQ(form_.InstructionUrl, "http://example.test/u.txt");
    EXPECT_EQ(form_.SavedUpdateKey, "100");
    EXPECT_EQ(form_.NewUpdateKey, "100");
    EXPECT_EQ(form_.StartApp, "tavi.exe");
    EXPECT_EQ(form_.ExeDir, exeDir_);
    EXPECT_EQ(form_.IniPath, exeDir_ + "qxntupd.ini");
    EXPECT_EQ(window_.caption, texts::kAppTitle);
    EXPECT_EQ(window_.urlText, "http://example.test/u.txt");
    ASSERT_EQ(http_.Requests().size(), 1u);
    EXPECT_EQ(http_.Requests()[0].url, "http://example.test/u.txt");
    EXPECT_EQ(http_.Requests()[0].timeOut, 60000);
    EXPECT_FALSE(http_.Requests()[0].inputFileMode);
    EXPECT_FALSE(form_.UpdateRunning);
    std::vector<WindowEvent::Kind> start;
    for (std::size_t i = 0; i < 4; ++i)
        start.push_back(window_.Events().at(i).kind);
    EXPECT_EQ(start,
              (std::vector<WindowEvent::Kind>{WindowEvent::Kind::Caption, WindowEvent::Kind::UrlText,
                                              WindowEvent::Kind::Show, WindowEvent::Kind::ClearStatus}));
}

TEST_F(UpdateRun, AMissingSettingsFileReadsEmptyAndTheEmptyUrlIsFetchedAndFails) {
    system_.SetIniText(exeDir_ + "other.ini", kIni);
    WriteIni("");
    http_.Script(FakeAnswer::Unreachable());
    window_.ScriptAnswer(BoxAnswer::Yes);

    StartAndClose();

    EXPECT_EQ(http_.RequestedUrls(), std::vector<std::string>{""});
    EXPECT_EQ(window_.ErrorLines(), std::vector<std::string>{Stamped(texts::kErrorHttpComponent)});
    EXPECT_EQ(system_.shellOpened, std::vector<std::string>{""});
    EXPECT_EQ(WrittenSettings(),
              (std::vector<std::pair<std::string, std::string>>{{"URL", ""}, {"KEY", ""}}));
}

TEST_F(UpdateRun, ASettingsValueReachesTheProgramWithAtMost260Bytes) {
    WriteIni("[Instruction]\r\nKEY=" + std::string(399, 'k') + "\r\n");
    http_.Script(FakeAnswer::Document(InstructionFile({">UpdateKey=" + std::string(399, 'k')})));
    window_.ScriptAnswer(BoxAnswer::No);

    form_.FormCreate();

    EXPECT_EQ(form_.SavedUpdateKey, std::string(260, 'k'));
    EXPECT_EQ(window_.Boxes().at(0), (MessageBox{BoxStyle::Question, texts::kAskUpdate}));
}

TEST_F(UpdateRun, KeysThatDifferOnlyInCaseOfferTheUpdate) {
    WriteIni("[Instruction]\r\nKEY=abc\r\n");
    http_.Script(FakeAnswer::Document(InstructionFile({">UpdateKey=ABC"})));
    window_.ScriptAnswer(BoxAnswer::No);

    form_.FormCreate();

    EXPECT_EQ(window_.Boxes().at(0), (MessageBox{BoxStyle::Question, texts::kAskUpdate}));
    EXPECT_EQ(form_.NewUpdateKey, "abc");
}

TEST_F(UpdateRun, AFileWithOnlyTheKeyCompletesWithNoDownload) {
    http_.Script(FakeAnswer::Document(InstructionFile({">UpdateKey=200"})));
    window_.ScriptAnswer(BoxAnswer::Yes);

    StartAndClose();

    EXPECT_EQ(http_.Requests().size(), 1u);
    EXPECT_EQ(window_.Boxes().back(), (MessageBox{BoxStyle::Information, texts::kCompletedLaunching}));
    EXPECT_EQ(window_.StatusLog().at(3), "0" + S(texts::kFilesUpdatedSuffix));
    EXPECT_EQ(WrittenSettings(),
              (std::vector<std::pair<std::string, std::string>>{{"URL", kInstructionUrl}, {"KEY", "200"}}));
}

TEST_F(UpdateRun, ClosingIsRefusedOnlyWhileTheRunIsInProgress) {
    bool duringRun = true;
    FakeAnswer answer = FakeAnswer::Document(InstructionFile({">UpdateKey=100"}));
    answer.atPiece[0] = [&] { form_.FormCloseQuery(duringRun); };
    http_.Script(answer);

    form_.FormCreate();

    EXPECT_FALSE(duringRun);
    bool afterRun = true;
    form_.FormCloseQuery(afterRun);
    EXPECT_TRUE(afterRun);
    bool alreadyRefused = false;
    form_.FormCloseQuery(alreadyRefused);
    EXPECT_FALSE(alreadyRefused);
}

TEST_F(UpdateRun, ClosingFreesTheInstructionLines) {
    http_.Script(FakeAnswer::Document(InstructionFile({">UpdateKey=100"})));
    form_.FormCreate();
    EXPECT_EQ(form_.InstructionList.Count(), 2u);

    form_.FormClose();

    EXPECT_EQ(form_.InstructionList.Count(), 0u);
}

TEST_F(UpdateRun, AnUnexpectedExceptionLeavesStartUpButTheWindowCanBeClosed) {
    FakeAnswer answer = FakeAnswer::Document(InstructionFile({">UpdateKey=100"}));
    answer.atPiece[0] = [] { throw std::logic_error("not a component failure"); };
    http_.Script(answer);

    EXPECT_THROW(form_.FormCreate(), std::logic_error);

    EXPECT_FALSE(form_.UpdateRunning);
    EXPECT_FALSE(form_.Downloading);
    EXPECT_TRUE(system_.shellOpened.empty());
    EXPECT_TRUE(window_.ErrorLines().empty());
}

// The status log holds the lines of the last run only.
TEST_F(UpdateRun, TheRunStartsWithAnEmptyStatusLog) {
    window_.AppendStatusLine("left from before");
    http_.Script(FakeAnswer::Document(InstructionFile({">UpdateKey=100"})));

    form_.FormCreate();

    EXPECT_EQ(window_.StatusLog().front(), texts::kDownloadingInstructionFile);
}

} // namespace
