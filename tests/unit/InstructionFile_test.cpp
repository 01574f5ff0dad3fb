#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/UpdaterFixture.h"
#include "updater/Texts.h"

namespace {

using qx::BoxAnswer;
using qx::BoxStyle;
using qx::fakes::FakeAnswer;
using qx::fakes::MessageBox;
using qx::fakes::Stamped;
namespace texts = qx::texts;

const std::string kMagic = texts::kMagicLine;
const char kInstructionUrl[] = "http://h/u.txt";
const std::vector<MessageBox> kUpToDate = {{BoxStyle::Information, texts::kUpToDateLaunching}};

// A whole run on a fetched instruction file; the saved key is "1".
class InstructionFileRun : public qx::fakes::UpdaterFixture {
protected:
    InstructionFileRun() { WriteIni("[Instruction]\r\nURL=http://h/u.txt\r\nKEY=1\r\n"); }

    void Run(std::string document, std::size_t updateFiles, std::vector<BoxAnswer> answers) {
        http_.Script(FakeAnswer::Document(std::move(document)));
        for (std::size_t i = 0; i < updateFiles; ++i)
            http_.Script(FakeAnswer::Document("data"));
        for (BoxAnswer answer : answers)
            window_.ScriptAnswer(answer);
        form_.FormCreate();
    }

    // The update files asked for, after the instruction file.
    std::vector<std::string> UpdateRequests() const {
        std::vector<std::string> urls = http_.RequestedUrls();
        EXPECT_FALSE(urls.empty());
        EXPECT_EQ(urls.front(), kInstructionUrl);
        return std::vector<std::string>(urls.begin() + 1, urls.end());
    }

    qx::StringList list_;
};

struct LineCase {
    const char* name;
    std::string document;
    std::vector<std::string> requests;
};

class LineRules : public InstructionFileRun, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineRules, SplitTheDocumentIntoCommandLines) {
    Run(GetParam().document, GetParam().requests.size(), {BoxAnswer::Yes});

    EXPECT_EQ(UpdateRequests(), GetParam().requests);
    EXPECT_EQ(form_.UpdatedCount, static_cast<int>(GetParam().requests.size()));
}

const std::string kBody = ">UpdateKey=2@>Get=a,a.dat@>Get=b,b.dat";

std::string Joined(const std::string& breakBytes, const std::string& end) {
    std::string document = kMagic + breakBytes;
    for (char c : kBody)
        document += c == '@' ? breakBytes : std::string(1, c);
    return document + end;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineRules,
    ::testing::Values(
        LineCase{"CrLf", Joined("\r\n", "\r\n"), {"a", "b"}}, LineCase{"Lf", Joined("\n", "\n"), {"a", "b"}},
        LineCase{"Cr", Joined("\r", "\r"), {"a", "b"}},
        LineCase{"LfCrEnclosesAnEmptyLine", Joined("\n\r", "\n\r"), {"a", "b"}},
        LineCase{"LastLineWithoutBreak", Joined("\r\n", ""), {"a", "b"}},
        LineCase{"Mixed", kMagic + "\r>UpdateKey=2\n>Get=a,a.dat\r\n\n\r>Get=b,b.dat", {"a", "b"}},
        LineCase{"NulEndsTheText",
                 kMagic + "\r\n>UpdateKey=2\r\n>Get=a,a.dat\r\n" + std::string(1, '\0') + ">Get=b,b.dat\r\n",
                 {"a"}},
        LineCase{"NulInsideALine",
                 kMagic + "\r\n>UpdateKey=2\r\n>Get=a,a.dat" + std::string(1, '\0') + "x,x\r\n>Get=b,b.dat",
                 {"a"}},
        LineCase{"BlanksStayPartOfTheLine",
                 kMagic + "\r\n>UpdateKey=2\r\n>Get=a ,a.dat\r\n >Get=b,b\r\n",
                 {"a "}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

struct MagicCase {
    const char* name;
    std::string document;
    bool accepted;
};

class MagicLine : public InstructionFileRun, public ::testing::WithParamInterface<MagicCase> {};

// An accepted file carries the saved key, so the run ends with "up to date".
TEST_P(MagicLine, MustStandAloneOnAnyLine) {
    Run(GetParam().document, 0, {});

    if (GetParam().accepted) {
        EXPECT_TRUE(window_.ErrorLines().empty());
        EXPECT_EQ(window_.Boxes(), kUpToDate);
        EXPECT_TRUE(form_.LaunchRequested);
    } else {
        EXPECT_EQ(window_.ErrorLines(), std::vector<std::string>{Stamped(texts::kErrorNoMagicLine)});
        EXPECT_TRUE(window_.Boxes().empty());
        EXPECT_FALSE(form_.LaunchRequested);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MagicLine,
    ::testing::Values(
        MagicCase{"First", kMagic + "\r\n>UpdateKey=1\r\n", true},
        MagicCase{"LowerCaseAfterTheCommands", ">UpdateKey=1\r\n>Get=a,a\r\n*qxupdateinstructionfile", true},
        MagicCase{"UpperCase", "head\n*QXUPDATEINSTRUCTIONFILE\n", true},
        MagicCase{"OnlyTheMagicLine", kMagic, true},
        MagicCase{"BlankBefore", ">UpdateKey=1\r\n " + kMagic + "\r\n", false},
        MagicCase{"BlankAfter", ">UpdateKey=1\r\n" + kMagic + " \r\n", false},
        MagicCase{"TabAfter", kMagic + "\t", false}, MagicCase{"AsACommand", ">" + kMagic.substr(1), false},
        MagicCase{"Shortened", kMagic.substr(0, kMagic.size() - 1), false},
        MagicCase{"None", ">UpdateKey=1\r\n", false},
        MagicCase{"OnlyAfterTheFirstNul", ">UpdateKey=1\r\n" + std::string(1, '\0') + kMagic, false},
        MagicCase{"FirstByteNul", std::string(1, '\0') + kMagic + "\r\n", false},
        MagicCase{"EmptyDocument", "", false}, MagicCase{"AllNul", std::string(100000, '\0'), false}),
    [](const ::testing::TestParamInfo<MagicCase>& info) { return std::string(info.param.name); });

// Bad input ends as the rules say, without a crash; the readers walk each line
// once, so these finish quickly.
constexpr std::size_t kTenMegabytes = 10 * 1024 * 1024;

TEST_F(InstructionFileRun, ATenMegabyteCommentLineIsPassedOver) {
    Run(std::string(kTenMegabytes, 'c') + "\r\n" + kMagic + "\r\n>UpdateKey=1", 0, {});

    EXPECT_EQ(window_.Boxes(), kUpToDate);
}

TEST_F(InstructionFileRun, ATenMegabyteCommandNameMatchesNothing) {
    Run(kMagic + "\r\n>UpdateKey" + std::string(kTenMegabytes, 'K') + "=2\r\n>UpdateKey=1", 0, {});

    EXPECT_EQ(form_.NewUpdateKey, "1");
    EXPECT_EQ(window_.Boxes(), kUpToDate);
}

TEST_F(InstructionFileRun, ATenMegabyteKeyIsCutTo4095Bytes) {
    list_.SetText(kMagic + "\r\n>UpdateKey=" + std::string(kTenMegabytes, 'k') + ",x;y");

    form_.ReadUpdateKey(list_);

    EXPECT_EQ(form_.NewUpdateKey, std::string(4095, 'k'));
}

TEST_F(InstructionFileRun, ATenMegabyteGetLineFetchesTheCutNameAndFailsItsCopy) {
    Run(kMagic + "\r\n>UpdateKey=2\r\n>Get=" + std::string(kTenMegabytes, 'r') + ",x.dat\r\n>Get=b,b.dat", 2,
        {BoxAnswer::Yes, BoxAnswer::No});

    EXPECT_EQ(UpdateRequests(), (std::vector<std::string>{std::string(4095, 'r'), "b"}));
    EXPECT_EQ(window_.StatusLog().at(4), texts::kStatusFailed + exeDir_);
    EXPECT_EQ(form_.UpdatedCount, 1);
    EXPECT_EQ(form_.FailedCount, 1);
}

TEST_F(InstructionFileRun, AMillionLinesAreWalkedByBothReaders) {
    std::string document = kMagic + "\r\n";
    for (int i = 0; i < 500000; ++i)
        document += ">Unknown=1\n\r";
    document += ">UpdateKey=2\r\n>Get=a,a.dat";

    Run(std::move(document), 1, {BoxAnswer::Yes});

    EXPECT_EQ(form_.InstructionList.Count(), 1000003u);
    EXPECT_EQ(UpdateRequests(), std::vector<std::string>{"a"});
    EXPECT_EQ(form_.UpdatedCount, 1);
}

TEST_F(InstructionFileRun, HundredThousandByteFieldsAreCut) {
    Run(kMagic + "\r\n>UpdateKey=2\r\n>Path=" + std::string(100000, 'p') + "\r\n>Get=a," +
            std::string(100000, 'l'),
        1, {BoxAnswer::Yes, BoxAnswer::No});

    EXPECT_EQ(form_.BasePath, std::string(4095, 'p'));
    EXPECT_EQ(UpdateRequests(), std::vector<std::string>{std::string(4095, 'p') + "a"});
    EXPECT_EQ(system_.copies.at(0).second, exeDir_ + std::string(4095, 'l'));
    EXPECT_EQ(form_.FailedCount, 1);
}

} // namespace
