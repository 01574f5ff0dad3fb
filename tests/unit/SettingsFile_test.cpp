// Settings files that are missing, empty, garbage, oversized or read-only:
// start-up and close never fail, and the values are what the private-profile
// rules make of the file.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fakes/UpdaterFixture.h"
#include "updater/Texts.h"

namespace {

using qx::BoxAnswer;
using qx::fakes::FakeAnswer;
namespace texts = qx::texts;

std::string AllBytes() {
    std::string bytes;
    for (int round = 0; round < 4; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes.push_back(static_cast<char>((b * 37 + round * 11) & 0xFF));
    }
    return bytes;
}

// A string literal with its NUL bytes.
template <std::size_t N> std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

struct SettingsCase {
    const char* name;
    // Absent: there is no settings file.
    std::optional<std::string> text;
    std::string url;
    std::string startApp;
    std::string key;
};

class SettingsFile : public qx::fakes::UpdaterFixture, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsFile, StartsAndClosesWithTheValuesTheRulesGive) {
    const SettingsCase& c = GetParam();
    if (c.text)
        WriteIni(*c.text);
    http_.Script(FakeAnswer::Unreachable());
    window_.ScriptAnswer(BoxAnswer::No);

    StartAndClose();

    EXPECT_EQ(form_.InstructionUrl, c.url);
    EXPECT_EQ(form_.StartApp, c.startApp);
    EXPECT_EQ(form_.SavedUpdateKey, c.key);
    EXPECT_EQ(http_.RequestedUrls(), std::vector<std::string>{c.url});
    const std::string ini = exeDir_ + texts::kIniFileName;
    EXPECT_EQ(system_.Writes(), (std::vector<qx::fakes::FakeSystem::ProfileWrite>{
                                    {texts::kIniSection, texts::kIniKeyUrl, c.url, ini},
                                    {texts::kIniSection, texts::kIniKeyKey, c.key, ini}}));

    RecordProperty("values read (bytes)", "URL " + std::to_string(form_.InstructionUrl.size()) +
                                              ", STARTAPP " + std::to_string(form_.StartApp.size()) +
                                              ", KEY " + std::to_string(form_.SavedUpdateKey.size()));
}

const std::string kLong(10000, 'v');

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsFile,
    ::testing::Values(SettingsCase{"Missing", std::nullopt, "", "", ""},
                      SettingsCase{"Empty", "", "", "", ""},
                      // Lines of every byte value: none forms a section header that is
                      // followed by the keys, so every key reads as missing.
                      SettingsCase{"BinaryGarbage", AllBytes(), "", "", ""},
                      SettingsCase{"GarbageAroundTheSection",
                                   Bytes("\x00\xff\xfe\x81\r\n[\x01\x02]\r\nURL=no\r\n[Instruction]"
                                         "\r\n\x80\x81\x82\r\nURL = \x01u\xff \r\n"
                                         "=novalue\r\nSTARTAPP=\"\x83\x65.exe\"\r\nKEY\r\nKEY='k z'\r\n"),
                                   "\x01u\xff", "\x83\x65.exe", "k z"},
                      SettingsCase{"TenThousandByteValues",
                                   "[Instruction]\r\nURL=" + kLong + "\r\nSTARTAPP=" + kLong +
                                       "\r\nKEY=" + kLong + "\r\n",
                                   kLong.substr(0, 260), kLong.substr(0, 260), kLong.substr(0, 260)}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

using SettingsFileAtClose = qx::fakes::UpdaterFixture;

// The write at close fails without a word, as WritePrivateProfileString does
// on a read-only file; the file keeps its old values and the next start sees
// the same update again.
TEST_F(SettingsFileAtClose, ThatIsReadOnlyKeepsItsValues) {
    WriteIni("[Instruction]\r\nURL=http://h/i\r\nKEY=1\r\n");
    system_.readOnlyIniFiles.insert(exeDir_ + texts::kIniFileName);
    http_.Script(FakeAnswer::Document(
        qx::fakes::InstructionFile({">UpdateKey=2", ">ChangeInstFileAddress=http://h/j"})));
    window_.ScriptAnswer(BoxAnswer::Yes);

    StartAndClose();

    EXPECT_EQ(form_.FailedCount, 0);
    EXPECT_EQ(system_.Writes().size(), 2u);
    const std::string ini = exeDir_ + texts::kIniFileName;
    EXPECT_EQ(system_.ReadProfileString(texts::kIniSection, texts::kIniKeyUrl, ini), "http://h/i");
    EXPECT_EQ(system_.ReadProfileString(texts::kIniSection, texts::kIniKeyKey, ini), "1");

    RecordProperty("after close",
                   "URL=" + system_.ReadProfileString(texts::kIniSection, texts::kIniKeyUrl, ini) +
                       ", KEY=" + system_.ReadProfileString(texts::kIniSection, texts::kIniKeyKey, ini));
}

} // namespace
