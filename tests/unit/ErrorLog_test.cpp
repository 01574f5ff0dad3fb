#include <gtest/gtest.h>

#include <string>

#include "fakes/UpdaterFixture.h"
#include "updater/Texts.h"

namespace {

using qx::BoxAnswer;
using qx::fakes::Stamped;
namespace texts = qx::texts;

struct CodeCase {
    unsigned code;
    std::string message;
};

class ErrorCode : public qx::fakes::UpdaterFixture, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(ErrorCode, ChoosesItsMessage) {
    form_.CurrentUrl = "http://h/a b";

    form_.WriteErrorLog(GetParam().code);

    EXPECT_EQ(window_.ErrorLines(), std::vector<std::string>{Stamped(GetParam().message)});
    EXPECT_TRUE(window_.StatusLog().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorCode,
    ::testing::Values(CodeCase{1, texts::kErrorDocumentNotFetched + std::string("http://h/a b")},
                      CodeCase{2, texts::kErrorNotConnected}, CodeCase{3, texts::kErrorHttpComponent},
                      CodeCase{4, texts::kErrorNoMagicLine}, CodeCase{5, texts::kErrorBadCommand},
                      CodeCase{0, texts::kErrorUnknownCode}, CodeCase{6, texts::kErrorUnknownCode},
                      CodeCase{4294967295u, texts::kErrorUnknownCode}));

struct StampCase {
    qx::LocalTime time;
    std::string stamp;
};

class ErrorStamp : public qx::fakes::UpdaterFixture, public ::testing::WithParamInterface<StampCase> {};

TEST_P(ErrorStamp, HasNoLeadingZerosAndNoYear) {
    system_.now = GetParam().time;

    form_.WriteErrorLog(2);

    EXPECT_EQ(window_.ErrorLines(), std::vector<std::string>{GetParam().stamp + texts::kErrorNotConnected});
}

INSTANTIATE_TEST_SUITE_P(Times, ErrorStamp,
                         ::testing::Values(StampCase{{3, 18, 6, 5, 9}, "[3/18 6:5:9] "},
                                           StampCase{{2, 1, 9, 3, 7}, "[2/1 9:3:7] "},
                                           StampCase{{12, 31, 23, 59, 59}, "[12/31 23:59:59] "},
                                           StampCase{{1, 1, 0, 0, 0}, "[1/1 0:0:0] "},
                                           StampCase{{10, 10, 10, 10, 10}, "[10/10 10:10:10] "}));

TEST(ErrorLog, Code1WithoutUrlIsTheMessageAlone) {
    qx::fakes::FakeWindow window;
    qx::fakes::FakeSystem system;
    qx::fakes::FakeHttpClient http;
    qx::TForm1 form(window, system, http);
    system.now = {2, 1, 9, 3, 7};

    form.WriteErrorLog(1);
    form.WriteErrorLog(1);

    const std::string line = "[2/1 9:3:7] " + std::string(texts::kErrorDocumentNotFetched);
    EXPECT_EQ(window.ErrorLines(), (std::vector<std::string>{line, line}));
}

// ExeDir ends after the last backslash or colon that is not the second byte of
// a double-byte character; the settings file is read from there.
struct ExeDirCase {
    const char* name;
    std::string executablePath;
    std::string exeDir;
};

class ExeDir : public qx::fakes::UpdaterFixture, public ::testing::WithParamInterface<ExeDirCase> {};

TEST_P(ExeDir, IsTheDirectoryOfTheExecutable) {
    system_.executablePath = GetParam().executablePath;
    system_.SetIniText(GetParam().exeDir + "qxntupd.ini", "[Instruction]\r\nURL=http://h/u.txt\r\n");
    system_.connected = false;
    window_.ScriptAnswer(BoxAnswer::No);

    form_.FormCreate();

    EXPECT_EQ(form_.ExeDir, GetParam().exeDir);
    EXPECT_EQ(form_.IniPath, GetParam().exeDir + "qxntupd.ini");
    EXPECT_EQ(form_.InstructionUrl, "http://h/u.txt");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExeDir,
    ::testing::Values(
        ExeDirCase{"Plain", "C:\\Program Files\\Tavi\\qxntupd.exe", "C:\\Program Files\\Tavi\\"},
        ExeDirCase{"FileNameEndsInTrailBackslash", "C:\\Tavi\\\x95\x5C.exe", "C:\\Tavi\\"},
        ExeDirCase{"FileNameWithTrailBackslash", "C:\\Tavi\\qx\x83\x5Cupd.exe", "C:\\Tavi\\"},
        ExeDirCase{"DirectoryEndsInTrailBackslash", "C:\\\x95\x5C\\qxntupd.exe", "C:\\\x95\x5C\\"},
        ExeDirCase{"LeadByteBeforeRealBackslash", "C:\\a\x81\\\\qxntupd.exe", "C:\\a\x81\\\\"},
        ExeDirCase{"DriveOnly", "C:qxntupd.exe", "C:"}, ExeDirCase{"NoSeparator", "qxntupd.exe", ""},
        ExeDirCase{"Unc", "\\\\srv\\share\\qxntupd.exe", "\\\\srv\\share\\"}),
    [](const ::testing::TestParamInfo<ExeDirCase>& info) { return std::string(info.param.name); });

} // namespace
