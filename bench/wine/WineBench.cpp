// qx_bench_wine.exe: the Win32 half of the benchmarks, run under Wine by
// qx_bench. It builds the updater's real window, system services and HTTP
// client component as qxntupd.exe does, and prints the seconds that one job
// took inside the process, so that Wine's own start is not counted:
//
//   qx_bench_wine.exe get BASE_URL REMOTE_NAME
//       the whole `Get` command for one file: download into the temporary
//       file with the progress bar, the label and the message processing on
//       every piece, the copy over the installed file and the deletion; the
//       installed file is in the current directory. Prints the seconds up to
//       the end of the download, and of the whole command.
//   qx_bench_wine.exe memo LINES
//       LINES status lines appended to Memo2, the window's messages processed
//       after each, as during an update. The window is not shown: under Xvfb
//       every repaint of the memo costs tens of milliseconds in Wine's X11
//       driver, which would hide the cost of the control itself.
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "Stopwatch.h"
#include "platform/Application.h"
#include "platform/NMHTTP.h"
#include "platform/System.h"
#include "platform/Window.h"
#include "updater/Texts.h"
#include "updater/Unit1.h"

using qx::bench::SecondsOf;

namespace {

// ExeDir stays empty, so that the installed file is in the current directory
// next to the temporary file, and the copy stays on one disk.
int TimeGet(qx::Application& application, const std::string& baseUrl, const std::string& remoteName) {
    const std::unique_ptr<qx::System> system = qx::CreateSystem(application);
    qx::TNMHTTP http([&application] { application.ProcessMessages(); });
    qx::Form window(application);
    qx::TForm1 form(window, *system, http);
    http.TimeOut = 60000;
    window.ShowForm();
    form.InstructionList.SetText(">Path=" + baseUrl + ";\r\n>Get=" + remoteName + "," + remoteName + ";\r\n");

    // The moment the last piece had been handled splits the time into the
    // download and the copy.
    const auto start = std::chrono::steady_clock::now();
    auto lastPiece = start;
    const std::function<void()> progress = http.OnPacketRecvd;
    http.OnPacketRecvd = [&] {
        progress();
        lastPiece = std::chrono::steady_clock::now();
    };
    form.ExecuteInstructions(form.InstructionList);
    const auto end = std::chrono::steady_clock::now();
    if (form.UpdatedCount != 1) {
        std::fprintf(stderr, "the file was not updated\n");
        return 1;
    }
    std::printf("%.6f %.6f\n", std::chrono::duration<double>(lastPiece - start).count(),
                std::chrono::duration<double>(end - start).count());
    return 0;
}

int TimeMemo(qx::Application& application, long lines) {
    qx::Form window(application);
    const std::string prefix = std::string(qx::texts::kStatusDownloading) + "http://127.0.0.1/update/files/f";
    const double seconds = SecondsOf([&] {
        for (long line = 0; line < lines; ++line) {
            window.AppendStatusLine(prefix + std::to_string(line) + ".dat");
            window.ProcessMessages();
        }
    });
    std::printf("%.6f\n", seconds);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qx::Application application(qx::texts::kAppTitle);
    const std::string job = argc > 1 ? argv[1] : "";
    if (job == "get" && argc == 4)
        return TimeGet(application, argv[2], argv[3]);
    if (job == "memo" && argc == 3)
        return TimeMemo(application, std::stol(argv[2]));
    std::fprintf(stderr, "usage: qx_bench_wine.exe get BASE_URL REMOTE_NAME | memo LINES\n");
    return 2;
}
