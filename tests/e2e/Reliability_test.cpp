// Failures that only the real program on the real file system shows: a target
// that another program holds open, and the updater killed in the middle of an
// update. In every case each installed file is the old one or the new one,
// byte for byte, and the next run leaves nothing of an interrupted one.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "ScenarioParts.h"
#include "UpdaterRun.h"
#include "WineSession.h"

namespace qx::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr Milliseconds kHoldBound(30000);

bool WaitForFile(const fs::path& path, Milliseconds bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// CopyFile and the rename both refuse a file held open without sharing; the
// file stays as it was, counts as failed, and the walk goes on.
TEST(Reliability, ATargetInUseByAnotherProgramStaysWholeAndTheWalkGoesOn) {
    UpdaterRun run("TargetInUse", {DefaultIni(),
                                   {{{"inst.txt", UpdateTo200({">Get=a.dat,a.dat;", ">Get=b.dat,b.dat;"})},
                                     {"files/a.dat", NewContent("a")},
                                     {"files/b.dat", NewContent("b")}},
                                    ""},
                                   {{"a.dat", OldContent("a")}, {"b.dat", OldContent("b")}}});
    const fs::path marker = run.Folder() / "held";
    ChildProcess holder({{"wine", WindowsBuildFile("tests/driver/qx_file_holder.exe").string(),
                          WindowsPath(run.InstallFolder() / "a.dat"), WindowsPath(marker)},
                         run.Folder().string(),
                         (run.Folder() / "holder.out").string(),
                         false});
    ASSERT_TRUE(WaitForFile(marker, kHoldBound)) << "the holder did not open a.dat";

    run.ExpectBoxAndAnswer(AskUpdate("yes"));
    const WindowReport window = run.ExpectBoxAndAnswer(AfterFailures("no"));
    run.CloseWindow();

    EXPECT_EQ(run.StatusLog(window), Expanded(run, UpdateStatus({Downloading("a.dat"), Failed("a.dat"),
                                                                 Downloading("b.dat"), Updated("b.dat")},
                                                                1, 1)));
    EXPECT_TRUE(run.ErrorMessages(window).empty());
    holder.Terminate();
    EXPECT_EQ(run.InstalledFiles(), (FileTree{{"a.dat", OldContent("a")}, {"b.dat", NewContent("b")}}));
    EXPECT_EQ(run.IniAfter(), run.IniBefore());
    RecordProperty("outcome", "a.dat kept old, b.dat new, UpdatedCount 1, FailedCount 1, no error line");
}

// A 4 MiB update file sent in 16 pieces 20 ms apart: the download takes about
// a third of a second, and the copy and the rename follow it.
constexpr std::size_t kBigLength = 4 * 1024 * 1024;
const std::string kBigScript = "path /files/big.dat\n"
                               "line HTTP/1.0 200 OK\n"
                               "line Content-Length: 4194304\n"
                               "line\n"
                               "pace 262144 20\n"
                               "fill 4194304 n\n";

UpdaterRun::Setup BigUpdate(const FileTree& installed) {
    return {DefaultIni(), {{{"inst.txt", UpdateTo200({">Get=big.dat,a.dat;"})}}, kBigScript}, installed};
}

// Killed at a random moment between the answer Yes and well after the
// download's end, so that the copy and the rename are hit too, over several
// runs; the moment is printed with any failure.
TEST(Reliability, AKilledUpdateLeavesEveryFileOldOrNewAndTheNextRunCleansUp) {
    const std::string oldContent = OldContent("a");
    const std::string newContent(kBigLength, 'n');
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment(0, 1000);
    std::string kills;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const Milliseconds delay(moment(random));
        SCOPED_TRACE("killed " + std::to_string(delay.count()) + " ms after the answer Yes");
        FileTree left;
        {
            UpdaterRun run("Killed" + std::to_string(attempt), BigUpdate({{"a.dat", oldContent}}));
            run.ExpectBoxAndAnswer(AskUpdate("yes"));
            std::this_thread::sleep_for(delay);
            run.KillUpdater();
            left = run.InstalledFiles();
        }
        ASSERT_EQ(left.count("a.dat"), 1u);
        EXPECT_TRUE(left.at("a.dat") == oldContent || left.at("a.dat") == newContent)
            << "a.dat has " << left.at("a.dat").size() << " bytes";
        for (const auto& [name, bytes] : left)
            EXPECT_TRUE(name == "a.dat" || name == "qxupdfl.tmp" ||
                        (name.rfind("qxu", 0) == 0 && name.size() <= 11))
                << "unexpected leftover " << name;

        std::string leftovers;
        for (const auto& [name, bytes] : left)
            leftovers += name == "a.dat" ? "" : " " + name;
        kills += "killed after " + std::to_string(delay.count()) + " ms: a.dat " +
                 (left.at("a.dat") == oldContent ? "old" : "new") +
                 ", left:" + (leftovers.empty() ? " nothing" : leftovers) + "; ";

        UpdaterRun next("AfterKilled" + std::to_string(attempt), BigUpdate(left));
        next.ExpectBoxAndAnswer(AskUpdate("yes"));
        next.ExpectBoxAndAnswer(CompletedOk());
        next.ExpectEndedByItself();
        EXPECT_EQ(next.InstalledFiles(), (FileTree{{"a.dat", newContent}}))
            << "leftovers of the killed run stay";
    }
    RecordProperty("kills", kills + "each next run left a.dat new and nothing else");
}

} // namespace
} // namespace qx::e2e
