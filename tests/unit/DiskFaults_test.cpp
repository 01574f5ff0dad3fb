// Disk faults while an update file is put in place, through the real HTTP
// client component and the whole run: the installed file stays whole, the
// status lines and counters report the failed file, and no settings are
// saved, so that the next start offers the update again.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fakes/LoopbackUpdater.h"
#include "updater/Texts.h"

namespace {

using qx::BoxAnswer;
namespace fs = std::filesystem;
namespace texts = qx::texts;

enum class Fault { ReadOnlyTarget, TargetIsADirectory, MissingDirectory, TemporaryFileNotCreatable };

struct DiskFaultCase {
    const char* name;
    Fault fault;
    std::string localName;
};

class DiskFaults : public qx::fakes::LoopbackUpdater, public ::testing::WithParamInterface<DiskFaultCase> {
protected:
    DiskFaults() {
        server_.SetScript("/a", {qxtest::Send(qxtest::Answer("200 OK", "new a"))});
        server_.SetScript("/b", {qxtest::Send(qxtest::Answer("200 OK", "new b"))});
    }

    // Sets the fault up; the installed state that must survive it.
    void Arrange() {
        switch (GetParam().fault) {
        case Fault::ReadOnlyTarget:
            Install(GetParam().localName, "old a");
            fs::permissions(InstalledPath(GetParam().localName), fs::perms::owner_write,
                            fs::perm_options::remove);
            break;
        case Fault::TargetIsADirectory:
            fs::create_directory(InstalledPath(GetParam().localName));
            Install(GetParam().localName + "/inside.dat", "inside");
            break;
        case Fault::MissingDirectory:
            break;
        case Fault::TemporaryFileNotCreatable:
            Install(GetParam().localName, "old a");
            fs::create_directory(TempFilePath());
            break;
        }
    }

    void ExpectInstalledStateKept() const {
        switch (GetParam().fault) {
        case Fault::ReadOnlyTarget:
        case Fault::TemporaryFileNotCreatable:
            EXPECT_EQ(FileContent(InstalledPath(GetParam().localName)), "old a");
            break;
        case Fault::TargetIsADirectory:
            EXPECT_EQ(FileContent(InstalledPath(GetParam().localName + "/inside.dat")), "inside");
            break;
        case Fault::MissingDirectory:
            EXPECT_FALSE(fs::exists(appDir_ / "missing"));
            break;
        }
    }
};

TEST_P(DiskFaults, KeepTheInstalledFileWholeAndReportTheFailedFile) {
    Arrange();
    const bool downloadFails = GetParam().fault == Fault::TemporaryFileNotCreatable;
    const std::string a = server_.Url("/a");
    const std::string b = server_.Url("/b");
    server_.SetScript(
        "/i",
        {qxtest::Send(qxtest::Answer(
            "200 OK", qx::fakes::InstructionFile({">UpdateKey=2", ">Get=" + a + "," + GetParam().localName,
                                                  ">Get=" + b + ",b.dat"})))});
    window_.ScriptAnswer(BoxAnswer::Yes);
    window_.ScriptAnswer(BoxAnswer::No);

    RunUpdate(server_.Url("/i"));
    form_.FormClose();

    std::vector<std::string> expected = {texts::kStatusDownloading + a,
                                         texts::kStatusFailed + exeDir_ + GetParam().localName};
    if (!downloadFails) {
        expected.push_back(texts::kStatusDownloading + b);
        expected.push_back(texts::kStatusUpdated + exeDir_ + "b.dat");
    }
    expected.push_back((downloadFails ? "0" : "1") + std::string(texts::kFilesUpdatedSuffix));
    expected.push_back("1" + std::string(texts::kFilesFailedSuffix));
    expected.push_back(texts::kEndingUpdate);
    const std::vector<std::string>& log = window_.StatusLog();
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<long>(expected.size()), log.end()), expected);
    EXPECT_EQ(window_.ErrorLines(),
              downloadFails ? std::vector<std::string>{qx::fakes::Stamped(texts::kErrorHttpComponent)}
                            : std::vector<std::string>{});
    EXPECT_EQ(form_.FailedCount, 1);
    EXPECT_EQ(form_.UpdatedCount, downloadFails ? 0 : 1);
    ExpectInstalledStateKept();
    // The directory in the temporary file's place is no file to delete.
    EXPECT_EQ(fs::is_directory(TempFilePath()), downloadFails);
    EXPECT_EQ(fs::exists(TempFilePath()), downloadFails);
    EXPECT_TRUE(system_.Writes().empty());

    RecordProperty("error line", downloadFails ? "code 3" : "none");
    RecordProperty("counters", "UpdatedCount " + std::to_string(form_.UpdatedCount) + ", FailedCount " +
                                   std::to_string(form_.FailedCount));
    RecordProperty("installed", "kept whole");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiskFaults,
    ::testing::Values(DiskFaultCase{"ReadOnlyTarget", Fault::ReadOnlyTarget, "a.dat"},
                      DiskFaultCase{"TargetIsADirectory", Fault::TargetIsADirectory, "a.dat"},
                      DiskFaultCase{"MissingDirectory", Fault::MissingDirectory, "missing\\a.dat"},
                      DiskFaultCase{"TemporaryFileNotCreatable", Fault::TemporaryFileNotCreatable, "a.dat"}),
    [](const ::testing::TestParamInfo<DiskFaultCase>& info) { return std::string(info.param.name); });

} // namespace
