// The window of the real qxntupd.exe under Wine: its layout, and how it
// behaves while a download runs (the progress bar and the byte count, the
// Cancel button, refusing to close, answering messages during a stall).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ScenarioParts.h"
#include "UpdaterRun.h"
#include "updater/Texts.h"
#include "version.h"

namespace qx::e2e {
namespace {

using namespace qx::texts;

constexpr Milliseconds kQuietBound(500);
constexpr Milliseconds kProgressBound(20000);
constexpr auto kPollInterval = std::chrono::milliseconds(20);
// The window answers a message within this time while a transfer stalls.
constexpr Milliseconds kResponseBound(100);
constexpr Milliseconds kCloseRefusalBound(1000);

constexpr int kAnySize = -1;

struct ExpectedControl {
    const char* className;
    int left;
    int top;
    int width;
    int height;
    // None for the memos, whose texts are the logs checked by the scenarios,
    // and for the progress bar.
    std::optional<std::string> text;
    std::vector<const char*> flags;
    // A right-aligned label that is widened to show its whole text keeps its
    // right edge, and is at least as wide as the table says.
    bool rightAligned = false;
};

const ControlReport& FindControl(const WindowReport& window, const ExpectedControl& want) {
    if (!want.rightAligned)
        return ControlAt(window, want.left, want.top);
    for (const ControlReport& control : window.controls)
        if (control.left + control.width == want.left + want.width && control.top == want.top)
            return control;
    throw std::runtime_error("no control ends at " + std::to_string(want.left + want.width));
}

TEST(WindowLayout, MatchesTheLayoutTable) {
    // Nothing listens on port 1: the instruction file cannot be fetched and no
    // byte reaches the progress bar, which keeps its designed range.
    UpdaterRun run("WindowLayout", {IniWith("http://127.0.0.1:1/inst.txt", "100"), {}, {}});
    run.ExpectBoxAndAnswer({BoxKind::Question, kAskLaunchAfterAbort, "no"});
    run.ExpectNoBox(kQuietBound);
    const WindowReport window = run.Driver().Window();

    EXPECT_EQ(window.fields.at("caption"), kAppTitle);
    EXPECT_EQ(window.Number("clientwidth"), 464);
    EXPECT_EQ(window.Number("clientheight"), 349);
    EXPECT_TRUE(window.flags.count("sysmenu"));
    EXPECT_FALSE(window.flags.count("minbox"));
    EXPECT_FALSE(window.flags.count("maxbox"));
    EXPECT_FALSE(window.flags.count("sizebox"));
    EXPECT_TRUE(window.flags.count("enabled"));
    EXPECT_NEAR(window.Number("left") * 2 + window.Number("width"), window.Number("screenwidth"), 2);
    EXPECT_NEAR(window.Number("top") * 2 + window.Number("height"), window.Number("screenheight"), 2);

    const std::string url = "http://127.0.0.1:1/inst.txt";
    const std::vector<ExpectedControl> expected = {
        {"Static", 10, 6, kAnySize, kAnySize, kLabelInstructionUrl, {}},
        {"Static", 403, 8, 42, kAnySize, QX_VERSION_LABEL, {"right"}, true},
        {"Edit", 20, 20, 371, 20, url, {"readonly", "tabstop"}},
        {"Static", 10, 50, kAnySize, kAnySize, kLabelStatus, {}},
        {"Edit", 18, 64, 425, 119, std::nullopt, {"readonly", "multiline", "hscroll", "vscroll", "tabstop"}},
        {"msctls_progress32", 18, 184, 287, 16, std::nullopt, {"smooth"}},
        {"Static", 312, 186, kAnySize, kAnySize, "", {}},
        {"Button", 374, 206, 75, 25, kButtonCancel, {"tabstop", "focus"}},
        {"Static", 10, 222, kAnySize, kAnySize, kLabelErrorLog, {}},
        {"Edit", 18, 236, 429, 93, std::nullopt, {"readonly", "multiline", "hscroll", "vscroll", "tabstop"}},
    };
    EXPECT_EQ(window.controls.size(), expected.size());
    for (const ExpectedControl& want : expected) {
        SCOPED_TRACE(std::string(want.className) + " at " + std::to_string(want.left) + "," +
                     std::to_string(want.top));
        const ControlReport& control = FindControl(window, want);
        EXPECT_EQ(control.className, want.className);
        if (want.rightAligned) {
            EXPECT_GE(control.width, want.width);
        } else if (want.width != kAnySize) {
            EXPECT_EQ(control.width, want.width);
        }
        if (want.height != kAnySize) {
            EXPECT_EQ(control.height, want.height);
        }
        EXPECT_TRUE(control.Has("visible"));
        for (const char* flag : want.flags)
            EXPECT_TRUE(control.Has(flag)) << flag;
        if (want.text) {
            EXPECT_EQ(control.text, want.text);
        }
    }
    const ControlReport& bar = ControlAt(window, 18, 184);
    EXPECT_FALSE(bar.Has("tabstop")) << "the progress bar never takes the focus";
    EXPECT_EQ(bar.min, 0);
    EXPECT_EQ(bar.max, 100);
    EXPECT_EQ(bar.pos, 0);
    EXPECT_EQ(run.ErrorMessages(window), std::vector<std::string>{kErrorHttpComponent});

    // Tab order: Cancel, Edit1, Memo2, ErrLogMemo.
    std::vector<std::pair<int, int>> tabOrder;
    for (const ControlReport& control : window.controls)
        if (control.Has("tabstop"))
            tabOrder.emplace_back(control.left, control.top);
    EXPECT_EQ(tabOrder, (std::vector<std::pair<int, int>>{{374, 206}, {20, 20}, {18, 64}, {18, 236}}));

    // After the run, Cancel does nothing.
    run.Driver().ClickCancel();
    run.ExpectNoBox(kQuietBound);
    run.CloseWindow();
}

// Reads the bar and the label until a message box opens, and gives what it saw.
std::vector<ProgressReport> WatchProgressUntilBox(UpdaterRun& run) {
    std::vector<ProgressReport> seen;
    const auto until = std::chrono::steady_clock::now() + kProgressBound;
    while (!run.Driver().WaitForMessageBox(Milliseconds(0))) {
        if (std::chrono::steady_clock::now() >= until)
            throw std::runtime_error("the download did not end");
        seen.push_back(run.Driver().Progress());
        std::this_thread::sleep_for(kPollInterval);
    }
    seen.push_back(run.Driver().Progress());
    return seen;
}

// Waits until the byte-count label reads `label`.
void WaitForLabel(UpdaterRun& run, const std::string& label) {
    const auto until = std::chrono::steady_clock::now() + kProgressBound;
    while (run.Driver().Progress().label != label) {
        if (std::chrono::steady_clock::now() >= until)
            throw std::runtime_error("the label never read " + label);
        std::this_thread::sleep_for(kPollInterval);
    }
}

// Script lines of an answer whose header announces `length` bytes; the body
// steps follow.
std::string AnswerHeader(const std::string& path, std::size_t length) {
    return "path " + ScriptText(path) +
           "\nline HTTP/1.0 200 OK\nline Content-Length: " + std::to_string(length) + "\nline\n";
}

constexpr std::size_t kSlowLength = 65536;
constexpr std::size_t kSlowPiece = 4096;

TEST(WindowProgress, SlowDownloadMovesBarAndLabel) {
    const std::string script = AnswerHeader("/files/slow.dat", kSlowLength) + "pace " +
                               std::to_string(kSlowPiece) + " 150\nfill " + std::to_string(kSlowLength) +
                               " s\n";
    UpdaterRun run("SlowDownload",
                   {DefaultIni(), {{{"inst.txt", UpdateTo200({">Get=slow.dat,slow.dat;"})}}, script}, {}});
    run.ExpectBoxAndAnswer(AskUpdate("yes"));
    const std::vector<ProgressReport> seen = WatchProgressUntilBox(run);

    // Until the first piece of this download, the bar and the label still
    // show the instruction file's download; the driver reads the bar before
    // the label, so a piece may arrive between the two.
    const std::string total = "/" + std::to_string(kSlowLength) + " bytes.";
    std::vector<long> between;
    long last = 0;
    for (const ProgressReport& report : seen) {
        const std::size_t slash = report.label.find('/');
        const bool thisDownload = slash != std::string::npos && report.label.substr(slash) == total &&
                                  report.max == static_cast<long>(kSlowLength);
        if (!thisDownload)
            continue;
        EXPECT_EQ(report.min, 0);
        EXPECT_GE(report.pos, last) << "the bar went back";
        last = report.pos;
        EXPECT_GE(std::stol(report.label.substr(0, slash)), report.pos) << report.label;
        if (report.pos < static_cast<long>(kSlowLength) && (between.empty() || between.back() != report.pos))
            between.push_back(report.pos);
    }
    EXPECT_GE(between.size(), 3u) << "the driver saw the bar move fewer than three times";
    EXPECT_EQ(seen.back().pos, static_cast<long>(kSlowLength));
    EXPECT_EQ(seen.back().label, std::to_string(kSlowLength) + total);

    run.ExpectBoxAndAnswer(CompletedOk());
    run.ExpectEndedByItself();
    EXPECT_EQ(run.InstalledFiles(), (FileTree{{"slow.dat", std::string(kSlowLength, 's')}}));
}

constexpr std::size_t kPartLength = 4096;

// An update of a.dat whose answer stops after its first part: for good
// (`rest` "stall") or for a while.
UpdaterRun::Setup InterruptedDownload(const std::string& rest, const std::vector<std::string>& moreCommands) {
    const std::string script = AnswerHeader("/files/a.dat", 2 * kPartLength) + "fill " +
                               std::to_string(kPartLength) + " x\n" + rest + "\n";
    return {DefaultIni(),
            {{{"inst.txt", UpdateTo200(Concat({">Get=a.dat,a.dat;"}, moreCommands))},
              {"files/b.dat", NewContent("b")}},
             script},
            {{"a.dat", OldContent("a")}}};
}

const std::string kHalfReceived =
    std::to_string(kPartLength) + "/" + std::to_string(2 * kPartLength) + " bytes.";

TEST(WindowCancel, ConfirmedCancelEndsTheUpdateAndKeepsEverything) {
    UpdaterRun run("CancelConfirmed", InterruptedDownload("stall", {">Get=b.dat,b.dat;"}));
    run.ExpectBoxAndAnswer(AskUpdate("yes"));
    WaitForLabel(run, kHalfReceived);
    run.Driver().ClickCancel();
    run.ExpectBoxAndAnswer({BoxKind::CancelConfirm, kConfirmCancel, "yes"});
    const WindowReport window = run.ExpectBoxAndAnswer(AfterFailures("no"));
    run.ExpectNoBox(kQuietBound);

    EXPECT_EQ(run.StatusLog(window),
              Expanded(run, UpdateStatus({Downloading("a.dat"), CancelledFile("a.dat")}, 0, 1)));
    EXPECT_TRUE(run.ErrorLog(window).empty()) << "a cancel writes no error line";
    run.CloseWindow();
    run.ExpectApplicationStarted(false);
    EXPECT_EQ(run.InstalledFiles(), (FileTree{{"a.dat", OldContent("a")}}));
    EXPECT_EQ(run.IniAfter(), run.IniBefore());
    EXPECT_EQ(RequestLines(run.Server().Requests()), GetLines({"/inst.txt", "/files/a.dat"}));
}

TEST(WindowCancel, CancelAnsweredNoLetsTheDownloadFinish) {
    UpdaterRun run("CancelAnsweredNo",
                   InterruptedDownload("pause 3000\nfill " + std::to_string(kPartLength) + " y", {}));
    run.ExpectBoxAndAnswer(AskUpdate("yes"));
    WaitForLabel(run, kHalfReceived);
    run.Driver().ClickCancel();
    run.ExpectBoxAndAnswer({BoxKind::CancelConfirm, kConfirmCancel, "no"});
    const WindowReport window = run.ExpectBoxAndAnswer(CompletedOk());

    EXPECT_EQ(run.StatusLog(window),
              Expanded(run, UpdateStatus({Downloading("a.dat"), Updated("a.dat")}, 1, 0)));
    EXPECT_TRUE(run.ErrorLog(window).empty());
    run.ExpectEndedByItself();
    run.ExpectApplicationStarted(true);
    EXPECT_EQ(run.InstalledFiles(),
              (FileTree{{"a.dat", std::string(kPartLength, 'x') + std::string(kPartLength, 'y')}}));
}

TEST(WindowStall, AnswersAndRefusesToCloseWhileStalledThenClosesAfterTheRun) {
    UpdaterRun run("StalledDownload",
                   InterruptedDownload("pause 5000\nfill " + std::to_string(kPartLength) + " y",
                                       {">Get=missing.dat,c.dat;"}));
    run.ExpectBoxAndAnswer(AskUpdate("yes"));
    WaitForLabel(run, kHalfReceived);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(run.Driver().Ping(kResponseBound)) << "no answer within 100 ms while the transfer stalls";
    EXPECT_TRUE(run.Driver().CloseWindow(kCloseRefusalBound)) << "the window closed during the update run";

    const WindowReport window = run.ExpectBoxAndAnswer(AfterFailures("no"));
    EXPECT_EQ(run.StatusLog(window), Expanded(run, UpdateStatus({Downloading("a.dat"), Updated("a.dat"),
                                                                 Downloading("missing.dat"), Failed("c.dat")},
                                                                1, 1)));
    run.ExpectNoBox(kQuietBound);
    run.CloseWindow();
    EXPECT_EQ(run.InstalledFiles(),
              (FileTree{{"a.dat", std::string(kPartLength, 'x') + std::string(kPartLength, 'y')}}));
}

} // namespace
} // namespace qx::e2e
