// Local names that try to leave the install folder or misuse Windows names,
// through the whole command walk with real files: each is refused before
// anything is fetched, reported as a failed file, and the walk goes on.
// Whatever is copied is judged by how Windows resolves the full path, not by
// the updater's own check.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fakes/UpdaterFixture.h"
#include "fakes/WindowsFullPath.h"
#include "updater/Texts.h"

namespace {

using qx::fakes::FakeAnswer;
namespace texts = qx::texts;

struct NameCase {
    std::string label;
    std::string localName;
};

std::vector<NameCase> Corpus() {
    std::vector<NameCase> corpus = {
        {"DotDotAlone", ".."},
        {"DotDotTrailingSeparator", "..\\"},
        {"DriveAbsolute", "C:\\Windows\\evil.dll"},
        {"DriveRelative", "C:evil.dll"},
        {"DriveSlashes", "c:/windows/evil.dll"},
        {"WineRootDrive", "Z:\\tmp\\evil"},
        {"RootBackslash", "\\Windows\\evil.dll"},
        {"RootSlash", "/etc/evil"},
        {"Unc", "\\\\srv\\share\\evil"},
        {"UncSlashes", "//srv/share/evil"},
        {"Win32FilePrefix", "\\\\?\\C:\\evil"},
        {"Win32DevicePrefix", "\\\\.\\COM1"},
        {"NtPrefix", "\\??\\C:\\evil"},
        {"StreamOfFile", "a.dat:evil"},
        {"DataStreamType", "a.dat::$DATA"},
        {"StreamInSubdirectory", "data\\a:b"},
        {"Con", "CON"},
        {"ConLowerCase", "con"},
        {"Nul", "NUL"},
        {"NulWithExtension", "nul.txt"},
        {"Com1", "COM1"},
        {"Com9WithExtension", "com9.dat"},
        {"Com0", "COM0"},
        {"Lpt1", "LPT1"},
        {"Lpt1WithExtension", "lpt1.txt"},
        {"Aux", "AUX"},
        {"Prn", "PRN.log"},
        {"ConsoleInput", "CONIN$"},
        {"ConsoleOutput", "conout$.txt"},
        {"ConWithBlankBeforeExtension", "CON .txt"},
        {"DeviceAsDirectory", "data\\CON"},
        {"DeviceInTheMiddle", "data\\nul\\a.dat"},
        {"TrailingDot", "a.dat."},
        {"TrailingDots", "a.dat.."},
        {"TrailingBlank", "a.dat "},
        {"TrailingDotBlank", "a.dat. "},
        {"ThreeDots", "..."},
        {"DotBlank", ". "},
        {"DirectoryWithTrailingDot", "data.\\a.dat"},
        {"DirectoryWithTrailingBlank", "data \\a.dat"},
        {"ControlByte", "a\x01.dat"},
        {"UnitSeparator", "\x1f"},
        {"Tab", "a\tb.dat"},
        {"Escape", "\x1b[2J"},
        {"Wildcard", "*.dll"},
        {"QuestionMark", "a?.dat"},
        {"AngleBrackets", "<a>.dat"},
        {"Quote", "a\".dat"},
        {"Pipe", "a|b"},
        {"LongerThanMaxPath", std::string(300, 'a')},
        {"DoubleByteNameThenParent", "\x95\x5C\\..\\..\\evil"},
        {"LeadByteBeforeSlashThenParent", "\x81/../evil"},
    };
    // ".." with either separator in every position.
    const std::vector<std::pair<std::string, std::string>> separators = {{"Backslash", "\\"}, {"Slash", "/"}};
    for (const auto& [label, sep] : separators) {
        corpus.push_back({"ParentFirst" + label, ".." + sep + "evil.dll"});
        corpus.push_back({"ParentTwice" + label, ".." + sep + ".." + sep + "evil.dll"});
        corpus.push_back({"ParentInTheMiddle" + label, "data" + sep + ".." + sep + ".." + sep + "evil.dll"});
        corpus.push_back({"ParentBackInside" + label, "data" + sep + ".." + sep + "a.dat"});
        corpus.push_back({"ParentLast" + label, "data" + sep + ".."});
        corpus.push_back({"ParentAfterEmptyComponent" + label, "data" + sep + sep + ".." + sep + "evil"});
    }
    corpus.push_back({"ParentMixedSeparators", "data/..\\..\\evil"});
    return corpus;
}

class NamesCorpus : public qx::fakes::UpdaterFixture, public ::testing::WithParamInterface<NameCase> {
protected:
    NamesCorpus() { form_.ExeDir = exeDir_; }
};

TEST_P(NamesCorpus, IsRefusedAndReportedAndTheWalkGoesOn) {
    const std::string& name = GetParam().localName;
    Install("good.dat", "old");
    http_.Script(FakeAnswer::Document("new"));
    qx::StringList list;
    list.SetText(">Get=http://h/evil," + name + "\r\n>Get=http://h/good,good.dat\r\n");

    form_.ExecuteInstructions(list);

    EXPECT_EQ(window_.StatusLog(),
              (std::vector<std::string>{texts::kStatusFailed + exeDir_ + name,
                                        texts::kStatusDownloading + std::string("http://h/good"),
                                        texts::kStatusUpdated + exeDir_ + "good.dat"}));
    EXPECT_EQ(form_.FailedCount, 1);
    EXPECT_EQ(form_.UpdatedCount, 1);
    EXPECT_EQ(http_.RequestedUrls(), std::vector<std::string>{"http://h/good"});
    for (const auto& [source, target] : system_.copies)
        EXPECT_TRUE(qx::fakes::LandsInsideDirectory(exeDir_, target)) << target;
    EXPECT_EQ(FileContent(InstalledPath("good.dat")), "new");
    EXPECT_TRUE(window_.ErrorLines().empty());

    RecordProperty("status line", "refused: failed file, FailedCount 1, walk went on");
}

INSTANTIATE_TEST_SUITE_P(Names, NamesCorpus, ::testing::ValuesIn(Corpus()),
                         [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.label; });

// The judge itself: it must see through each trick, or the walk's check above
// proves nothing.
TEST(WindowsFullPath, SeesWhereEachTrickLands) {
    const std::string dir = "C:\\Program Files\\Tavi\\";
    const std::vector<std::pair<std::string, bool>> cases = {
        {"a.dat", true},
        {"data\\b.txt", true},
        {"data/../a.dat", true},
        {"A.DAT.", true},
        {"", true},
        {"..\\evil", false},
        {"data\\..\\..\\evil", false},
        {"../Tavi/a.dat", true},
        {"../TaviX/a.dat", false},
        {"..\\..\\..\\..\\evil", false},
        {"...\\evil", false},
        {"a.dat:s", false},
        {"nul.txt", false},
        {"data\\COM1\\x", false},
        {"\x95\x5C..\\x", true},
    };
    for (const auto& [name, inside] : cases)
        EXPECT_EQ(qx::fakes::LandsInsideDirectory(dir, dir + name), inside) << name;
    EXPECT_FALSE(qx::fakes::LandsInsideDirectory(dir, "D:\\Program Files\\Tavi\\a.dat"));
}

} // namespace
