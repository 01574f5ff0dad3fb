// qx_window_driver: drives the updater's window from another process of the
// same Wine prefix, for the end-to-end tests. It reads one command per line on
// standard input and answers each with report lines ending with "end"; the
// commands and reports are described in README.md beside this file.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "LineProtocol.h"
#include "UpdaterWindows.h"
#include "updater/Texts.h"

namespace qx::driver {
namespace {

using Lines = std::vector<std::string>;

struct CommandError {
    std::string message;
};

// Arguments are code page 932 bytes, like every text of the protocol.
std::wstring ToWide(const std::string& bytes) {
    constexpr UINT kCodePage932 = 932;
    const int size =
        MultiByteToWideChar(kCodePage932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(kCodePage932, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
    return PollFor(timeoutMs, [&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

class Driver {
public:
    Lines Run(const std::vector<std::string>& words) {
        const auto command = commands_.find(words.at(0));
        if (command == commands_.end())
            throw CommandError{"unknown command " + words[0]};
        if (words.size() != command->second.arguments + 1)
            throw CommandError{words[0] + " takes " + std::to_string(command->second.arguments) +
                               " arguments"};
        return command->second.run(words);
    }

private:
    struct Command {
        std::size_t arguments;
        std::function<Lines(const std::vector<std::string>&)> run;
    };

    static DWORD Milliseconds(const std::string& word) {
        try {
            return static_cast<DWORD>(std::stoul(word));
        } catch (const std::exception&) {
            throw CommandError{"not a number of milliseconds: " + word};
        }
    }

    const UpdaterProcess& Process() const {
        if (!process_)
            throw CommandError{"not attached"};
        return *process_;
    }

    HWND MainWindow() const {
        const HWND window = FindMainWindow(Process().Id(), caption_);
        if (!window)
            throw CommandError{"no main window"};
        return window;
    }

    HWND MessageBoxNow() const {
        const HWND box = FindMessageBox(Process().Id());
        if (!box)
            throw CommandError{"no message box"};
        return box;
    }

    Lines Attach(const std::string& imagePath, const std::string& caption, DWORD timeoutMs) {
        process_ = PollFor(timeoutMs, [&] { return UpdaterProcess::FindByImagePath(ToWide(imagePath)); });
        if (!process_)
            throw CommandError{"no process runs " + imagePath};
        caption_ = caption;
        if (!PollFor(timeoutMs, [&] { return FindMainWindow(process_->Id(), caption_); }))
            throw CommandError{"no main window with that caption"};
        return {ReportBuilder("attached").Add("pid", process_->Id()).Line()};
    }

    Lines WaitForMessageBox(DWORD timeoutMs) const {
        const DWORD processId = Process().Id();
        const HWND box = PollFor(timeoutMs, [&] { return FindMessageBox(processId); });
        if (!box)
            return {"nobox"};
        return {DescribeMessageBox(box)};
    }

    Lines Answer(const std::string& answer, DWORD timeoutMs) const {
        static const std::map<std::string, int> kButtonIds = {{"yes", IDYES}, {"no", IDNO}, {"ok", IDOK}};
        const auto id = kButtonIds.find(answer);
        if (id == kButtonIds.end())
            throw CommandError{"no such answer: " + answer};
        const HWND box = MessageBoxNow();
        const HWND button = FindButtonById(box, id->second);
        if (!button)
            throw CommandError{"the box has no button " + answer};
        PostMessageW(button, BM_CLICK, 0, 0);
        if (!WaitUntilGone(box, timeoutMs))
            throw CommandError{"the box is still open"};
        return {"answered"};
    }

    Lines ClickCancel() const {
        const HWND button = FindButtonByText(MainWindow(), texts::kButtonCancel);
        if (!button)
            throw CommandError{"no Cancel button"};
        // Posted, not sent: the click handler shows a modal box and returns
        // only once it has been answered.
        PostMessageW(button, BM_CLICK, 0, 0);
        return {"clicked"};
    }

    Lines Close(DWORD timeoutMs) const {
        const HWND window = MainWindow();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &ignored);
        const bool gone = WaitUntilGone(window, timeoutMs) || Process().WaitForEnd(0).has_value();
        return {ReportBuilder("close").Add("present", gone ? 0 : 1).Line()};
    }

    Lines Ended(DWORD timeoutMs) const {
        const auto exitCode = Process().WaitForEnd(timeoutMs);
        ReportBuilder report("process");
        report.Add("ended", exitCode ? 1 : 0);
        if (exitCode)
            report.Add("code", *exitCode);
        return {report.Line()};
    }

    Lines Ping(DWORD timeoutMs) const {
        const HWND window = MainWindow();
        LARGE_INTEGER frequency{};
        LARGE_INTEGER start{};
        LARGE_INTEGER stop{};
        QueryPerformanceFrequency(&frequency);
        wchar_t text[256] = {};
        DWORD_PTR copied = 0;
        QueryPerformanceCounter(&start);
        const bool answered = SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text),
                                                  SMTO_ABORTIFHUNG, timeoutMs, &copied) != 0;
        QueryPerformanceCounter(&stop);
        const long long micros = (stop.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
        return {ReportBuilder("ping").Add("answered", answered ? 1 : 0).Add("micros", micros).Line()};
    }

    std::optional<UpdaterProcess> process_;
    std::string caption_;
    const std::map<std::string, Command> commands_ = {
        {"attach", {3, [this](const auto& w) { return Attach(w[1], w[2], Milliseconds(w[3])); }}},
        {"box", {1, [this](const auto& w) { return WaitForMessageBox(Milliseconds(w[1])); }}},
        {"answer", {2, [this](const auto& w) { return Answer(w[1], Milliseconds(w[2])); }}},
        {"window", {0, [this](const auto&) { return DescribeMainWindow(MainWindow()); }}},
        {"progress", {0, [this](const auto&) { return Lines{DescribeProgress(MainWindow())}; }}},
        {"cancel", {0, [this](const auto&) { return ClickCancel(); }}},
        {"close", {1, [this](const auto& w) { return Close(Milliseconds(w[1])); }}},
        {"ended", {1, [this](const auto& w) { return Ended(Milliseconds(w[1])); }}},
        {"ping", {1, [this](const auto& w) { return Ping(Milliseconds(w[1])); }}},
    };
};

std::vector<std::string> SplitCommand(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream stream(line);
    for (std::string word; stream >> word;) {
        const auto value = UnescapeValue(word);
        if (!value)
            throw CommandError{"badly escaped argument " + word};
        words.push_back(*value);
    }
    return words;
}

void Reply(const Lines& lines) {
    for (const std::string& line : lines)
        std::cout << line << '\n';
    std::cout << "end\n" << std::flush;
}

} // namespace
} // namespace qx::driver

int main() {
    using namespace qx::driver;
    // The harness reads exact bytes: no CR LF translation on output.
    _setmode(_fileno(stdout), _O_BINARY);
    Driver driver;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        try {
            const auto words = SplitCommand(line);
            if (words.empty())
                throw CommandError{"empty command"};
            if (words[0] == "quit") {
                Reply({"bye"});
                return 0;
            }
            Reply(driver.Run(words));
        } catch (const CommandError& error) {
            Reply({ReportBuilder("error").Add("message", error.message).Line()});
        }
    }
    return 0;
}
