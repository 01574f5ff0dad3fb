#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fakes/UpdaterFixture.h"
#include "updater/Texts.h"

namespace {

using qx::fakes::FakeAnswer;
using qx::fakes::Stamped;
namespace texts = qx::texts;

std::string S(const char* text) {
    return text;
}

// The command walk on its own, as RunUpdate starts it once the user agreed.
class Instructions : public qx::fakes::UpdaterFixture {
protected:
    Instructions() { form_.ExeDir = exeDir_; }

    void Execute(const std::string& text) {
        list_.SetText(text);
        form_.ExecuteInstructions(list_);
    }

    std::vector<std::string> ExpandAll(const std::vector<std::string>& lines) const {
        std::vector<std::string> expanded;
        for (const std::string& line : lines)
            expanded.push_back(Expand(line));
        return expanded;
    }

    qx::StringList list_;
};

struct CommandCase {
    const char* name;
    std::string line;
    std::vector<std::string> requests;
    std::string basePath;
    std::string instructionUrl;
};

class CommandTable : public Instructions, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandTable, MatchesNamesByteForByte) {
    const CommandCase& c = GetParam();
    form_.BasePath = "base/";
    form_.InstructionUrl = "old";
    form_.NewUpdateKey = "key";
    for (std::size_t i = 0; i < c.requests.size(); ++i)
        http_.Script(FakeAnswer::Document("data"));

    Execute(c.line);

    EXPECT_EQ(http_.RequestedUrls(), c.requests);
    EXPECT_EQ(form_.BasePath, c.basePath);
    EXPECT_EQ(form_.InstructionUrl, c.instructionUrl);
    EXPECT_EQ(form_.NewUpdateKey, "key");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandTable,
    ::testing::Values(
        CommandCase{"Path", ">Path=p/", {}, "p/", "old"},
        CommandCase{"PathSemicolon", ">Path;p/", {}, "p/", "old"},
        CommandCase{"PathWithoutField", ">Path", {}, "", "old"},
        CommandCase{"PathKeepsEquals", ">Path=http://h/q?x=1&y=;", {}, "http://h/q?x=1&y=", "old"},
        CommandCase{"PathLowerCase", ">path=p/", {}, "base/", "old"},
        CommandCase{"PathUpperCase", ">PATH=p/", {}, "base/", "old"},
        CommandCase{"Get", ">Get=a,a.dat", {"base/a"}, "base/", "old"},
        CommandCase{"GetLowerCase", ">get=a,a.dat", {}, "base/", "old"},
        CommandCase{"GetUpperCase", ">GET=a,a.dat", {}, "base/", "old"},
        CommandCase{"BlankBeforeName", "> Get=a,a.dat", {}, "base/", "old"},
        CommandCase{"BlankAfterName", ">Get =a,a.dat", {}, "base/", "old"},
        CommandCase{"BlankBeforeCommandMark", " >Get=a,a.dat", {}, "base/", "old"},
        CommandCase{"TabBeforeCommandMark", "\t>Get=a,a.dat", {}, "base/", "old"},
        CommandCase{
            "ChangeInstFileAddress", ">ChangeInstFileAddress=http://n/u.txt", {}, "base/", "http://n/u.txt"},
        CommandCase{"ChangeInstFileAddressEmpty", ">ChangeInstFileAddress=", {}, "base/", ""},
        CommandCase{"ChangeInstFileAddressLowerCase", ">changeinstfileaddress=u", {}, "base/", "old"},
        CommandCase{"UpdateKeyDoesNothing", ">UpdateKey=9", {}, "base/", "old"},
        CommandCase{"None", ">None=a,b", {}, "base/", "old"},
        CommandCase{"Unknown", ">Delete=a.dat", {}, "base/", "old"},
        CommandCase{"OnlyTheMark", ">", {}, "base/", "old"},
        CommandCase{"NameCutAt4095", ">Path" + std::string(5000, ' ') + "=p/", {}, "base/", "old"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

struct KeyCase {
    const char* name;
    std::string text;
    std::string key;
};

class ReadUpdateKey : public Instructions, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ReadUpdateKey, TakesField1OfTheFirstUpdateKeyCommand) {
    form_.NewUpdateKey = "saved";
    list_.SetText(GetParam().text);

    form_.ReadUpdateKey(list_);

    EXPECT_EQ(form_.NewUpdateKey, GetParam().key);
    EXPECT_TRUE(http_.Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadUpdateKey,
    ::testing::Values(
        KeyCase{"Equals", ">UpdateKey=110;", "110"}, KeyCase{"Semicolon", ">UpdateKey;abc", "abc"},
        KeyCase{"FurtherFieldsIgnored", ">UpdateKey=a,b;", "a"}, KeyCase{"EmptyField", ">UpdateKey=", ""},
        KeyCase{"NoDelimiter", ">UpdateKey", ""}, KeyCase{"BlanksKept", ">UpdateKey= k ", " k "},
        KeyCase{"DoubleByteKept", ">UpdateKey=\x95\x5C", "\x95\x5C"},
        KeyCase{"LowerCaseIsNoKey", ">updatekey=5", "saved"},
        KeyCase{"BlankBeforeMarkIsNoKey", " >UpdateKey=5", "saved"},
        KeyCase{"NoKeyCommand", ">Path=p\r\n>Get=a,b", "saved"}, KeyCase{"EmptyList", "", "saved"},
        KeyCase{"FirstOfTwo", ">UpdateKey=1\r\n>UpdateKey=2", "1"},
        KeyCase{"AfterOtherLines", "head\r\n>Path=p\r\n\r\n>UpdateKey=k\n", "k"},
        KeyCase{"AfterAnOverlongName", ">" + std::string(5000, 'U') + "=x\r\n>UpdateKey=k", "k"},
        KeyCase{"Exactly4095", ">UpdateKey=" + std::string(4095, 'k') + ";b", std::string(4095, 'k')},
        KeyCase{"CutAt4095", ">UpdateKey=" + std::string(5000, 'k'), std::string(4095, 'k')}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// How the two fields of Get are read: the URL asked for and the target copied to.
struct GetFieldsCase {
    const char* name;
    std::string line;
    std::string url;
    std::string localName;
};

class GetFields : public Instructions, public ::testing::WithParamInterface<GetFieldsCase> {};

TEST_P(GetFields, JoinRemoteAndLocalNames) {
    http_.Script(FakeAnswer::Document("data"));

    Execute(GetParam().line);

    EXPECT_EQ(http_.RequestedUrls(), std::vector<std::string>{GetParam().url});
    ASSERT_EQ(system_.copies.size(), 1u);
    EXPECT_EQ(system_.copies[0].second, exeDir_ + GetParam().localName);
}

const std::string k4095(4095, 'r');

INSTANTIATE_TEST_SUITE_P(
    Cases, GetFields,
    ::testing::Values(
        GetFieldsCase{"Comma", ">Get=a.dat,b.dat;", "a.dat", "b.dat"},
        GetFieldsCase{"Semicolon", ">Get=a.dat;b.dat", "a.dat", "b.dat"},
        GetFieldsCase{"SemicolonName", ">Get;a.dat;b.dat", "a.dat", "b.dat"},
        GetFieldsCase{"NoLocalName", ">Get=a.dat", "a.dat", ""},
        GetFieldsCase{"EqualsInField", ">Get=a?x=1,=b", "a?x=1", "=b"},
        GetFieldsCase{"BlanksAndJapaneseUnchanged", ">Get=a b\x95\x5C,\x95\x5C b", "a b\x95\x5C",
                      "\x95\x5C b"},
        GetFieldsCase{"Subdirectory", ">Get=files/b.txt;data\\b.txt", "files/b.txt", "data\\b.txt"},
        GetFieldsCase{"Remote5000ThenComma", ">Get=" + std::string(5000, 'r') + ",b;", k4095, ""},
        GetFieldsCase{"Remote4095ThenComma", ">Get=" + k4095 + ",b;", k4095, ""},
        GetFieldsCase{"Remote4095ThenSemicolon", ">Get=" + k4095 + ";b", k4095, "b"},
        GetFieldsCase{"Remote4094ThenComma", ">Get=" + k4095.substr(1) + ",b;", k4095.substr(1), "b"},
        GetFieldsCase{"Local5000", ">Get=a," + std::string(5000, 'l'), "a", std::string(4095, 'l')}),
    [](const ::testing::TestParamInfo<GetFieldsCase>& info) { return std::string(info.param.name); });

TEST_F(Instructions, AFailedDownloadEndsTheWalkAfterItsCommand) {
    Install("a.dat", "old a");
    Install("c.dat", "old c");
    http_.Script(FakeAnswer::Document("new a"));
    http_.Script(FakeAnswer::Document("not found", 404));

    Execute(
        ">Path=http://h/\r\n>Get=a,a.dat\r\n>Get=b,b.dat\r\n>Get=c,c.dat\r\n>ChangeInstFileAddress=new\r\n");

    EXPECT_EQ(
        window_.StatusLog(),
        ExpandAll({S(texts::kStatusDownloading) + "http://h/a", S(texts::kStatusUpdated) + "$EXEa.dat",
                   S(texts::kStatusDownloading) + "http://h/b", S(texts::kStatusFailed) + "$EXEb.dat"}));
    EXPECT_EQ(window_.ErrorLines(),
              std::vector<std::string>{Stamped(texts::kErrorDocumentNotFetched + std::string("http://h/b"))});
    EXPECT_EQ(form_.UpdatedCount, 1);
    EXPECT_EQ(form_.FailedCount, 1);
    EXPECT_EQ(form_.InstructionUrl, "");
    EXPECT_EQ(FileContent(InstalledPath("a.dat")), "new a");
    EXPECT_FALSE(std::filesystem::exists(InstalledPath("b.dat")));
    EXPECT_EQ(FileContent(InstalledPath("c.dat")), "old c");
    EXPECT_EQ(system_.removed, (std::vector<std::string>{texts::kTempFileName, texts::kTempFileName}));
    EXPECT_FALSE(std::filesystem::exists(TempFilePath()));
}

// The status line before a download comes before the error line it causes.
TEST_F(Instructions, TheDownloadLineComesBeforeTheErrorLine) {
    system_.connected = false;

    Execute(">Get=http://h/a,a.dat");

    std::vector<qx::fakes::WindowEvent::Kind> kinds;
    for (const auto& event : window_.Events())
        kinds.push_back(event.kind);
    using Kind = qx::fakes::WindowEvent::Kind;
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Status, Kind::Error, Kind::Status}));
    EXPECT_EQ(window_.ErrorLines(), std::vector<std::string>{Stamped(texts::kErrorNotConnected)});
    EXPECT_EQ(form_.FailedCount, 1);
}

struct CopyFailureCase {
    const char* name;
    std::string localName;
    bool readOnlyTarget;
};

class FailedCopy : public Instructions, public ::testing::WithParamInterface<CopyFailureCase> {};

TEST_P(FailedCopy, CountsTheFileAsFailedAndTheWalkGoesOn) {
    std::filesystem::create_directory(InstalledPath("dir"));
    if (GetParam().readOnlyTarget) {
        Install(GetParam().localName, "old");
        std::filesystem::permissions(InstalledPath(GetParam().localName), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
    }
    http_.Script(FakeAnswer::Document("new"));
    http_.Script(FakeAnswer::Document("new b"));

    Execute(">Get=x," + GetParam().localName + "\r\n>Get=b,b.dat\r\n");

    EXPECT_EQ(window_.StatusLog(),
              ExpandAll({S(texts::kStatusDownloading) + "x",
                         S(texts::kStatusFailed) + "$EXE" + GetParam().localName,
                         S(texts::kStatusDownloading) + "b", S(texts::kStatusUpdated) + "$EXEb.dat"}));
    EXPECT_TRUE(window_.ErrorLines().empty());
    EXPECT_EQ(form_.UpdatedCount, 1);
    EXPECT_EQ(form_.FailedCount, 1);
    EXPECT_EQ(system_.removed.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(TempFilePath()));
    if (GetParam().readOnlyTarget) {
        EXPECT_EQ(FileContent(InstalledPath(GetParam().localName)), "old");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedCopy,
                         ::testing::Values(CopyFailureCase{"MissingDirectory", "missing\\a.dat", false},
                                           CopyFailureCase{"TargetIsADirectory", "dir", false},
                                           CopyFailureCase{"EmptyLocalNameIsTheDirectory", "", false},
                                           CopyFailureCase{"ReadOnlyTarget", "ro.dat", true}),
                         [](const ::testing::TestParamInfo<CopyFailureCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Instructions, ReplacesAFileInAnExistingSubdirectory) {
    std::filesystem::create_directory(InstalledPath("data"));
    http_.Script(FakeAnswer::Document("new b"));

    Execute(">Get=files/b.txt;data\\b.txt");

    EXPECT_EQ(FileContent(InstalledPath("data/b.txt")), "new b");
    EXPECT_EQ(window_.StatusLog().back(), S(texts::kStatusUpdated) + exeDir_ + "data\\b.txt");
}

TEST_F(Instructions, DownloadsEachUpdateFileIntoTheTemporaryFile) {
    http_.Script(FakeAnswer::Document("a"));

    Execute(">Get=http://h/a,a.dat");

    ASSERT_EQ(http_.Requests().size(), 1u);
    EXPECT_TRUE(http_.Requests()[0].inputFileMode);
    EXPECT_EQ(http_.Requests()[0].body, texts::kTempFileName);
    EXPECT_EQ(form_.CurrentUrl, "http://h/a");
}

TEST_F(Instructions, AnExistingTemporaryFileIsDeletedWhateverTheDownloadDid) {
    std::ofstream(TempFilePath()) << "stale";
    http_.Script(FakeAnswer::Unreachable());

    Execute(">Get=a,a.dat");

    EXPECT_FALSE(std::filesystem::exists(TempFilePath()));
    EXPECT_EQ(form_.FailedCount, 1);
}

TEST_F(Instructions, PathAppliesToTheGetsAfterIt) {
    for (int i = 0; i < 5; ++i)
        http_.Script(FakeAnswer::Document("x"));

    Execute(">Get=http://h/first,1.dat\r\n>Path=http://h/p/\r\n>Get=a,a.dat\r\n>Path=http://h/q\r\n"
            ">Get=b,b.dat\r\n>Get=b,b.dat\r\n>Path=\r\n>Get=c,c.dat");

    EXPECT_EQ(http_.RequestedUrls(), (std::vector<std::string>{"http://h/first", "http://h/p/a",
                                                               "http://h/qb", "http://h/qb", "c"}));
    EXPECT_EQ(form_.UpdatedCount, 5);
    EXPECT_EQ(form_.BasePath, "");
}

TEST_F(Instructions, TheLastChangeInstFileAddressWins) {
    form_.InstructionUrl = "http://old/";

    Execute(">ChangeInstFileAddress=http://a/\r\n>Path=p\r\n>ChangeInstFileAddress=http://b/");

    EXPECT_EQ(form_.InstructionUrl, "http://b/");
}

struct RefusedCase {
    const char* name;
    std::string localName;
};

class RefusedLocalName : public Instructions, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedLocalName, FailsTheFileWithoutDownloadingAndTheWalkGoesOn) {
    std::ofstream(TempFilePath()) << "stale";

    Execute(">Get=http://h/evil," + GetParam().localName + "\r\n>Path=after/");

    EXPECT_EQ(window_.StatusLog(),
              std::vector<std::string>{S(texts::kStatusFailed) + exeDir_ + GetParam().localName});
    EXPECT_EQ(form_.FailedCount, 1);
    EXPECT_EQ(form_.UpdatedCount, 0);
    EXPECT_TRUE(http_.Requests().empty());
    EXPECT_TRUE(system_.copies.empty());
    EXPECT_TRUE(system_.removed.empty());
    EXPECT_EQ(FileContent(TempFilePath()), "stale");
    EXPECT_TRUE(window_.ErrorLines().empty());
    EXPECT_EQ(form_.BasePath, "after/");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedLocalName,
    ::testing::Values(RefusedCase{"Drive", "C:\\Windows\\evil.dll"},
                      RefusedCase{"LeadingBackslash", "\\evil.dll"}, RefusedCase{"LeadingSlash", "/tmp/evil"},
                      RefusedCase{"Colon", "a:b"}, RefusedCase{"Unc", "\\\\srv\\share\\evil"},
                      RefusedCase{"ParentBackslash", "..\\evil.dll"},
                      RefusedCase{"ParentSlash", "data/../../evil"},
                      RefusedCase{"ParentAfterDoubleByteName", "\x95\x5C\\..\\..\\evil"}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

} // namespace
