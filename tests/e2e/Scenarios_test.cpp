// Whole runs of the real qxntupd.exe under Wine, one row per scenario: what
// the server offers, which message boxes come and how they are answered, and
// what the run leaves behind (both logs, the installed files, the settings
// file, the started application, the requests the server saw).

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ScenarioParts.h"
#include "UpdaterRun.h"
#include "updater/Texts.h"

namespace qx::e2e {
namespace {

using namespace qx::texts;
constexpr Milliseconds kQuietBound(500);

struct Scenario {
    const char* name;
    std::string ini;
    ServerSetup server;
    FileTree installedBefore;
    std::vector<ExpectedBox> boxes;
    // The application is started and the updater ends by itself; otherwise
    // its window stays open until it is closed.
    bool launches;
    std::vector<std::string> statusLog;
    std::vector<std::string> errorMessages;
    FileTree installedAfter;
    // The values of section Instruction after the window closed; none: the
    // settings file is left as it was, byte for byte.
    std::optional<Settings> settingsAfter;
    // The paths of the requests the server saw, in order.
    std::vector<std::string> requests;
};

const std::string kIni = DefaultIni();
const Settings kSettingsUnchanged = SettingsWith("{url}/inst.txt", "100");
const ExpectedBox kAskUpdateYes = AskUpdate("yes");
const ExpectedBox kCompletedOk = CompletedOk();

// テ in code page 932.
const std::string kJapaneseCharacter = "\x83\x65";
const std::string kRemoteWithBlankAndJapanese = "a b" + kJapaneseCharacter + ".dat";

Scenario InstructionNotFetched(const char* name, const char* answer, bool launches) {
    return {name,
            IniWith("{url}/missing.txt", "100"),
            {},
            {},
            {{BoxKind::Question, kAskLaunchAfterAbort, answer}},
            launches,
            Concat(StatusBefore("{url}/missing.txt"), {kUpdateCancelled}),
            {kErrorDocumentNotFetched + std::string("{url}/missing.txt")},
            {},
            SettingsWith("{url}/missing.txt", "100"),
            {"/missing.txt"}};
}

Scenario UpdateWithFailedDownload(const char* name, const char* answer, bool launches) {
    return {name,
            kIni,
            {{{"inst.txt", UpdateTo200({">Get=missing.dat,b.dat;"})}}, ""},
            {{"b.dat", OldContent("b")}},
            {kAskUpdateYes, AfterFailures(answer)},
            launches,
            UpdateStatus({Downloading("missing.dat"), Failed("b.dat")}, 0, 1),
            {kErrorDocumentNotFetched + std::string("{url}/files/missing.dat")},
            {{"b.dat", OldContent("b")}},
            std::nullopt,
            {"/inst.txt", "/files/missing.dat"}};
}

// An update without failure that replaces a.dat with the file the server
// has as /files/<remote>; the application is started.
Scenario UpdateOfA(const char* name, const std::string& ini, const std::string& instruction,
                   const std::string& remote, const Settings& settingsAfter) {
    return {name,
            ini,
            {{{"inst.txt", instruction}, {"files/" + remote, NewContent("a")}}, ""},
            {{"a.dat", OldContent("a")}},
            {kAskUpdateYes, kCompletedOk},
            true,
            UpdateStatus({Downloading(remote), Updated("a.dat")}, 1, 0),
            {},
            {{"a.dat", NewContent("a")}},
            settingsAfter,
            {"/inst.txt", "/files/" + remote}};
}

// A settings file that yields no URL: the empty URL fails in the component
// (error code 3) and nothing is requested; closing writes URL and KEY empty.
Scenario NoUrlInSettings(const char* name, const std::string& ini) {
    return {name,
            ini,
            {},
            {},
            {{BoxKind::Question, kAskLaunchAfterAbort, "no"}},
            false,
            Concat(StatusBefore(""), {kUpdateCancelled}),
            {kErrorHttpComponent},
            {},
            Settings{{"url", ""}, {"key", ""}},
            {}};
}

// Printable bytes of every kind, without a line that could be a section
// header or a key of section Instruction.
std::string SettingsGarbage() {
    std::string bytes;
    for (int i = 0; i < 2048; ++i) {
        const char c = static_cast<char>(0x80 + (i * 7) % 0x7F);
        bytes += (i % 61 == 60) ? '\n' : c;
    }
    return bytes;
}

const std::string kLongKey(10000, 'k');

const Scenario kScenarios[] = {
    NoUrlInSettings("EmptySettingsFile", ""),
    NoUrlInSettings("BinaryGarbageSettingsFile", SettingsGarbage()),
    // The key reaches the program cut to 260 bytes; an instruction file with
    // those 260 bytes is up to date.
    {"TenThousandByteKeyReadAs260Bytes",
     IniWith("{url}/inst.txt", kLongKey),
     {{{"inst.txt", Lines({kMagicLine, ">UpdateKey=" + kLongKey.substr(0, 260) + ";"})}}, ""},
     {},
     {{BoxKind::Information, kUpToDateLaunching, "ok"}},
     true,
     Concat(StatusBefore("{url}/inst.txt"), {kAlreadyUpToDate}),
     {},
     {},
     SettingsWith("{url}/inst.txt", kLongKey.substr(0, 260)),
     {"/inst.txt"}},
    InstructionNotFetched("InstructionNotFetchedAnsweredYes", "yes", true),
    InstructionNotFetched("InstructionNotFetchedAnsweredNo", "no", false),
    {"NoMagicLine",
     kIni,
     {{{"inst.txt", Lines({">UpdateKey=200;", ">Path={url}/files/;", ">Get=a.dat,a.dat;"})}}, ""},
     {{"a.dat", OldContent("a")}},
     {},
     false,
     StatusBefore("{url}/inst.txt"),
     {kErrorNoMagicLine},
     {{"a.dat", OldContent("a")}},
     kSettingsUnchanged,
     {"/inst.txt"}},
    {"KeysEqual",
     kIni,
     {{{"inst.txt", Lines({kMagicLine, ">UpdateKey=100;", ">Path={url}/files/;", ">Get=a.dat,a.dat;"})}}, ""},
     {{"a.dat", OldContent("a")}},
     {{BoxKind::Information, kUpToDateLaunching, "ok"}},
     true,
     Concat(StatusBefore("{url}/inst.txt"), {kAlreadyUpToDate}),
     {},
     {{"a.dat", OldContent("a")}},
     kSettingsUnchanged,
     {"/inst.txt"}},
    {"UpdateDeclined",
     kIni,
     {{{"inst.txt", UpdateTo200({">Get=a.dat,a.dat;"})}}, ""},
     {{"a.dat", OldContent("a")}},
     {{BoxKind::Question, kAskUpdate, "no"}, {BoxKind::Information, kDeclinedLaunching, "ok"}},
     true,
     Concat(StatusBefore("{url}/inst.txt"), {kUpdateCancelled}),
     {},
     {{"a.dat", OldContent("a")}},
     kSettingsUnchanged,
     {"/inst.txt"}},
    UpdateWithFailedDownload("UpdateWithFailureAnsweredYes", "yes", true),
    UpdateWithFailedDownload("UpdateWithFailureAnsweredNo", "no", false),
    {"ThreeGetsSecondDownloadFails",
     kIni,
     {{{"inst.txt", UpdateTo200({">Get=a.dat,a.dat;", ">Get=missing.dat,b.dat;", ">Get=c.dat,c.dat;"})},
       {"files/a.dat", NewContent("a")},
       {"files/c.dat", NewContent("c")}},
      ""},
     {{"a.dat", OldContent("a")}, {"b.dat", OldContent("b")}, {"c.dat", OldContent("c")}},
     {kAskUpdateYes, AfterFailures("no")},
     false,
     UpdateStatus({Downloading("a.dat"), Updated("a.dat"), Downloading("missing.dat"), Failed("b.dat")}, 1,
                  1),
     {kErrorDocumentNotFetched + std::string("{url}/files/missing.dat")},
     {{"a.dat", NewContent("a")}, {"b.dat", OldContent("b")}, {"c.dat", OldContent("c")}},
     std::nullopt,
     {"/inst.txt", "/files/a.dat", "/files/missing.dat"}},
    {"CopyIntoMissingSubdirectoryWalkGoesOn",
     kIni,
     {{{"inst.txt", UpdateTo200({">Get=a.dat,nosuch\\a.dat;", ">Get=b.dat,b.dat;"})},
       {"files/a.dat", NewContent("a")},
       {"files/b.dat", NewContent("b")}},
      ""},
     {{"b.dat", OldContent("b")}},
     {kAskUpdateYes, AfterFailures("yes")},
     true,
     UpdateStatus({Downloading("a.dat"), Failed("nosuch\\a.dat"), Downloading("b.dat"), Updated("b.dat")}, 1,
                  1),
     {},
     {{"b.dat", NewContent("b")}},
     std::nullopt,
     {"/inst.txt", "/files/a.dat", "/files/b.dat"}},
    {"CopyOntoADirectoryWalkGoesOn",
     kIni,
     {{{"inst.txt", UpdateTo200({">Get=a.dat,a.dat;", ">Get=b.dat,b.dat;"})},
       {"files/a.dat", NewContent("a")},
       {"files/b.dat", NewContent("b")}},
      ""},
     {{"a.dat/inside.dat", OldContent("inside")}, {"b.dat", OldContent("b")}},
     {kAskUpdateYes, AfterFailures("no")},
     false,
     UpdateStatus({Downloading("a.dat"), Failed("a.dat"), Downloading("b.dat"), Updated("b.dat")}, 1, 1),
     {},
     {{"a.dat/", ""}, {"a.dat/inside.dat", OldContent("inside")}, {"b.dat", NewContent("b")}},
     std::nullopt,
     {"/inst.txt", "/files/a.dat", "/files/b.dat"}},
    // What an interrupted run leaves: the temporary download file in the
    // current directory and temporaries beside the targets. The next run
    // removes them; files that only look alike stay.
    {"LeftoversOfAnInterruptedRunCleaned",
     kIni,
     {{{"inst.txt", UpdateTo200({">Get=a.dat,a.dat;", ">Get=b.dat,sub\\b.dat;"})},
       {"files/a.dat", NewContent("a")},
       {"files/b.dat", NewContent("b")}},
      ""},
     {{"a.dat", OldContent("a")},
      {"qxupdfl.tmp", "part of a download"},
      {"qxu1A2B.tmp", "half a copy"},
      {"sub/b.dat", OldContent("b")},
      {"sub/QXUf.TMP", "half a copy"},
      {"qxu12345.tmp", "not ours"},
      {"qxuzz.tmp", "not ours"},
      {"qxu1.tmp.bak", "not ours"}},
     {kAskUpdateYes, kCompletedOk},
     true,
     UpdateStatus({Downloading("a.dat"), Updated("a.dat"), Downloading("b.dat"), Updated("sub\\b.dat")}, 2,
                  0),
     {},
     {{"a.dat", NewContent("a")},
      {"sub/", ""},
      {"sub/b.dat", NewContent("b")},
      {"qxu12345.tmp", "not ours"},
      {"qxuzz.tmp", "not ours"},
      {"qxu1.tmp.bak", "not ours"}},
     SettingsWith("{url}/inst.txt", "200"),
     {"/inst.txt", "/files/a.dat", "/files/b.dat"}},
    {"LocalNameWithDotDotRefused",
     kIni,
     {{{"inst.txt", UpdateTo200({">Get=a.dat,..\\outside.dat;", ">Get=b.dat,b.dat;"})},
       {"files/a.dat", NewContent("a")},
       {"files/b.dat", NewContent("b")}},
      ""},
     {{"b.dat", OldContent("b")}},
     {kAskUpdateYes, AfterFailures("no")},
     false,
     UpdateStatus({Failed("..\\outside.dat"), Downloading("b.dat"), Updated("b.dat")}, 1, 1),
     {},
     {{"b.dat", NewContent("b")}},
     std::nullopt,
     {"/inst.txt", "/files/b.dat"}},
    {"ChangedAddressNotSavedAfterFailedFile",
     kIni,
     {{{"inst.txt", UpdateTo200({">ChangeInstFileAddress={url}/next.txt;", ">Get=a.dat,nosuch\\a.dat;"})},
       {"files/a.dat", NewContent("a")}},
      ""},
     {},
     {kAskUpdateYes, AfterFailures("yes")},
     true,
     UpdateStatus({Downloading("a.dat"), Failed("nosuch\\a.dat")}, 0, 1),
     {},
     {},
     std::nullopt,
     {"/inst.txt", "/files/a.dat"}},
    UpdateOfA("UpdateWithoutFailure", kIni, UpdateTo200({">Get=a.dat,a.dat;"}), "a.dat",
              SettingsWith("{url}/inst.txt", "200")),
    UpdateOfA("ChangedAddressSavedAfterRunWithoutFailure", kIni,
              UpdateTo200({">Get=a.dat,a.dat;", ">ChangeInstFileAddress={url}/next.txt;"}), "a.dat",
              SettingsWith("{url}/next.txt", "200")),
    UpdateOfA(
        "LowerCaseMagicLineAfterCommands", kIni,
        Lines({">UpdateKey=200;", ">Path={url}/files/;", ">Get=a.dat,a.dat;", "*qxupdateinstructionfile"}),
        "a.dat", SettingsWith("{url}/inst.txt", "200")),
    UpdateOfA("RemoteNameWithBlankAndJapaneseSentUnencoded", kIni,
              UpdateTo200({">Get=" + kRemoteWithBlankAndJapanese + ",a.dat;"}), kRemoteWithBlankAndJapanese,
              SettingsWith("{url}/inst.txt", "200")),
    UpdateOfA("HandWrittenIniWithQuotesBlanksAndUpperCaseKeys",
              "[INSTRUCTION]\r\n  URL  =  \"{url}/inst.txt\"  \r\nKey= 'old key' \r\nSTARTAPP = "
              "qxdemo_mascot.exe\r\n",
              Lines({kMagicLine, ">UpdateKey=new key;", ">Path={url}/files/;", ">Get=a.dat,a.dat;"}), "a.dat",
              SettingsWith("{url}/inst.txt", "new key")),
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

FileTree Expanded(const UpdaterRun& run, FileTree files) {
    for (auto& [name, bytes] : files)
        bytes = run.Expand(bytes);
    return files;
}

std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class ScenarioTest : public testing::TestWithParam<Scenario> {};

TEST_P(ScenarioTest, RunsAsExpected) {
    const Scenario& scenario = GetParam();
    UpdaterRun run(scenario.name, {scenario.ini, scenario.server, scenario.installedBefore});

    // The logs are complete once the last box is open; after it the window
    // may go at once.
    std::optional<WindowReport> window;
    for (const ExpectedBox& box : scenario.boxes)
        window = run.ExpectBoxAndAnswer(box);
    if (!scenario.launches) {
        // A run without a box has ended once its error line is there.
        window = run.WaitForErrorLines(scenario.errorMessages.size());
        run.ExpectNoBox(kQuietBound);
    }

    EXPECT_EQ(run.UrlShown(*window), ParseIni(run.IniBefore())["instruction"]["url"]);
    EXPECT_EQ(run.StatusLog(*window), Expanded(run, scenario.statusLog));
    EXPECT_EQ(run.ErrorMessages(*window), Expanded(run, scenario.errorMessages));

    if (scenario.launches)
        run.ExpectEndedByItself();
    else
        run.CloseWindow();
    run.ExpectApplicationStarted(scenario.launches);

    EXPECT_EQ(run.InstalledFiles(), Expanded(run, scenario.installedAfter));
    EXPECT_EQ(FolderEntries(run.Folder()),
              (std::set<std::string>{"driver.out", "install", "server", "updater.out"}))
        << "something was written beside the install folder";
    if (scenario.settingsAfter) {
        std::map<std::string, std::string> expected;
        for (const auto& [key, value] : *scenario.settingsAfter)
            expected[key] = run.Expand(value);
        EXPECT_EQ(ParseIni(run.IniAfter())["instruction"], expected);
    } else {
        EXPECT_EQ(run.IniAfter(), run.IniBefore());
    }

    EXPECT_EQ(RequestLines(run.Server().Requests()), GetLines(scenario.requests));
}

INSTANTIATE_TEST_SUITE_P(Wine, ScenarioTest, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return info.param.name; });

} // namespace
} // namespace qx::e2e
