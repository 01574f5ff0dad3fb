#include "UpdaterRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "WineSession.h"
#include "updater/Texts.h"

namespace qx::e2e {
namespace {

namespace fs = std::filesystem;

// Generous: a scenario takes a few seconds, most of it Wine starting up.
constexpr Milliseconds kScenarioBound(90000);
constexpr Milliseconds kAttachBound(30000);
constexpr Milliseconds kBoxBound(20000);
constexpr Milliseconds kAnswerBound(5000);
constexpr Milliseconds kEndBound(15000);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

constexpr char kUpdaterExe[] = "qxntupd.exe";
// The demo's stand-in for the mascot, named in STARTAPP, leaves this file.
constexpr char kMarkerExe[] = "qxdemo_mascot.exe";
constexpr char kMarkerFile[] = "mascot_started.txt";

// The settings file, the error log and the status log by their places in
// the layout.
constexpr int kEdit1Left = 20, kEdit1Top = 20;
constexpr int kMemo2Left = 18, kMemo2Top = 64;
constexpr int kErrLogMemoLeft = 18, kErrLogMemoTop = 236;

WineSession& Session() {
    static WineSession session;
    return session;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file.flush())
        throw std::runtime_error("cannot write " + path.string());
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

struct BoxLook {
    const char* buttons;
    const char* icon;
};

BoxLook LookOf(BoxKind kind) {
    switch (kind) {
    case BoxKind::Question:
        return {"yes,no", "question"};
    case BoxKind::Information:
        return {"ok", "information"};
    case BoxKind::CancelConfirm:
        return {"yes,no", "exclamation"};
    }
    return {"", ""};
}

// A decimal number without leading zeros, up to `limit`.
std::optional<int> ReadStampNumber(const std::string& line, std::size_t& at, int limit) {
    const std::size_t start = at;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])))
        ++at;
    const std::size_t length = at - start;
    if (length == 0 || length > 2 || (length == 2 && line[start] == '0'))
        return std::nullopt;
    const int value = std::stoi(line.substr(start, length));
    return value <= limit ? std::optional<int>(value) : std::nullopt;
}

// "[M/D h:m:s] " at the start of `line`: the time it stands for, this year.
std::optional<std::time_t> ReadStamp(const std::string& line, std::time_t reference, std::size_t& end) {
    struct Part {
        char before;
        int limit;
    };
    const Part parts[] = {{'[', 12}, {'/', 31}, {' ', 23}, {':', 59}, {':', 59}};
    int values[5] = {};
    std::size_t at = 0;
    for (int i = 0; i < 5; ++i) {
        if (at >= line.size() || line[at] != parts[i].before)
            return std::nullopt;
        const auto value = ReadStampNumber(line, ++at, parts[i].limit);
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    if (line.compare(at, 2, "] ") != 0)
        return std::nullopt;
    end = at + 2;
    std::tm time{};
    localtime_r(&reference, &time);
    time.tm_mon = values[0] - 1;
    time.tm_mday = values[1];
    time.tm_hour = values[2];
    time.tm_min = values[3];
    time.tm_sec = values[4];
    time.tm_isdst = -1;
    return std::mktime(&time);
}

} // namespace

fs::path WindowsBuildFile(const std::string& relative) {
    const fs::path path = fs::path(QX_WINDOWS_BUILD_DIR) / relative;
    if (!fs::is_regular_file(path))
        throw std::runtime_error(path.string() + " is missing: build the windows preset first");
    return path;
}

UpdaterRun::UpdaterRun(const std::string& name, const Setup& setup)
    : folder_(fs::path(QX_E2E_WORK_DIR) / name), install_(folder_ / "install"), started_(std::time(nullptr)),
      deadline_(kScenarioBound) {
    const fs::path updaterExe = WindowsBuildFile("src/app/qxntupd.exe");
    const fs::path driverExe = WindowsBuildFile("tests/driver/qx_window_driver.exe");
    const fs::path markerExe = WindowsBuildFile("demo/programs/qxdemo_mascot.exe");
    Session();

    fs::remove_all(folder_);
    fs::create_directories(install_);
    server_ = std::make_unique<ServerProcess>(folder_ / "server", setup.server.script);
    for (const auto& [file, bytes] : setup.server.files)
        server_->Serve(file, Expand(bytes));

    fs::copy_file(updaterExe, install_ / kUpdaterExe);
    fs::copy_file(markerExe, install_ / kMarkerExe);
    iniBefore_ = Expand(setup.ini);
    WriteFile(install_ / texts::kIniFileName, iniBefore_);
    for (const auto& [file, bytes] : setup.installed)
        WriteFile(install_ / file, bytes);

    updater_ = std::make_unique<ChildProcess>(ChildOptions{{"wine", (install_ / kUpdaterExe).string()},
                                                           install_.string(),
                                                           (folder_ / "updater.out").string(),
                                                           false});
    driver_ = std::make_unique<WindowDriver>(driverExe, folder_ / "driver.out", deadline_);
    driver_->Attach(install_ / kUpdaterExe, kAttachBound);
}

UpdaterRun::~UpdaterRun() = default;

std::string UpdaterRun::Expand(std::string text) const {
    ReplaceAll(text, "{url}", server_->BaseUrl());
    ReplaceAll(text, "{dir}", WindowsPath(install_) + "\\");
    return text;
}

WindowReport UpdaterRun::ExpectBoxAndAnswer(const ExpectedBox& expected) {
    const auto box = driver_->WaitForMessageBox(kBoxBound);
    if (!box)
        throw std::runtime_error("no message box appeared; expected: " + expected.text);
    const BoxLook look = LookOf(expected.kind);
    EXPECT_EQ(box->caption, texts::kAppTitle);
    EXPECT_EQ(WithoutCarriageReturns(box->text), Expand(expected.text));
    EXPECT_EQ(box->buttons, look.buttons) << expected.text;
    EXPECT_EQ(box->icon, look.icon) << expected.text;
    WindowReport window = driver_->Window();
    EXPECT_EQ(window.flags.count("enabled"), 0u) << "the main window is enabled while a box is open";
    driver_->Answer(expected.answer, kAnswerBound);
    return window;
}

void UpdaterRun::ExpectNoBox(Milliseconds bound) {
    const auto box = driver_->WaitForMessageBox(bound);
    EXPECT_FALSE(box.has_value()) << "unexpected box: " << box->text;
}

void UpdaterRun::CloseWindow() {
    EXPECT_FALSE(driver_->CloseWindow(kEndBound)) << "the window did not close after the run";
    EXPECT_TRUE(driver_->WaitForEnd(kEndBound).has_value())
        << "the updater did not end after its window closed";
}

void UpdaterRun::ExpectEndedByItself() {
    EXPECT_TRUE(driver_->WaitForEnd(kEndBound).has_value()) << "the updater did not end by itself";
}

void UpdaterRun::KillUpdater() {
    kill(-updater_->Pid(), SIGKILL);
    EXPECT_TRUE(updater_->WaitForExit(kEndBound).has_value()) << "the killed updater did not go";
}

void UpdaterRun::ExpectApplicationStarted(bool started) {
    const fs::path marker = install_ / kMarkerFile;
    if (!started) {
        EXPECT_FALSE(fs::exists(marker)) << "STARTAPP was started";
        return;
    }
    const auto until = std::chrono::steady_clock::now() + deadline_.Clamp(kEndBound);
    while (!fs::exists(marker) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(kPollInterval);
    EXPECT_TRUE(fs::exists(marker)) << "STARTAPP was not started";
}

WindowReport UpdaterRun::WaitForErrorLines(std::size_t count) {
    const auto until = std::chrono::steady_clock::now() + deadline_.Clamp(kBoxBound);
    for (;;) {
        WindowReport window = driver_->Window();
        if (ErrorLog(window).size() >= count || std::chrono::steady_clock::now() >= until)
            return window;
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string UpdaterRun::UrlShown(const WindowReport& window) const {
    return ControlAt(window, kEdit1Left, kEdit1Top).text.value_or("");
}

std::vector<std::string> UpdaterRun::StatusLog(const WindowReport& window) const {
    return SplitLines(ControlAt(window, kMemo2Left, kMemo2Top).text.value_or(""));
}

std::vector<std::string> UpdaterRun::ErrorLog(const WindowReport& window) const {
    return SplitLines(ControlAt(window, kErrLogMemoLeft, kErrLogMemoTop).text.value_or(""));
}

std::vector<std::string> UpdaterRun::ErrorMessages(const WindowReport& window) const {
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> messages;
    for (const std::string& line : ErrorLog(window)) {
        std::size_t end = 0;
        const auto stamp = ReadStamp(line, now, end);
        if (!stamp) {
            ADD_FAILURE() << "error line without a time stamp \"[M/D h:m:s] \": " << line;
            messages.push_back(line);
            continue;
        }
        EXPECT_GE(*stamp, started_ - 1) << line;
        EXPECT_LE(*stamp, now + 1) << line;
        messages.push_back(line.substr(end));
    }
    return messages;
}

FileTree UpdaterRun::InstalledFiles() const {
    EXPECT_EQ(ReadFile(install_ / kUpdaterExe), ReadFile(WindowsBuildFile("src/app/qxntupd.exe")));
    FileTree files;
    for (const auto& entry : fs::recursive_directory_iterator(install_)) {
        const std::string name = entry.path().lexically_relative(install_).generic_string();
        if (name == kUpdaterExe || name == kMarkerExe || name == kMarkerFile || name == texts::kIniFileName)
            continue;
        files[entry.is_directory() ? name + "/" : name] = entry.is_directory() ? "" : ReadFile(entry.path());
    }
    return files;
}

std::string UpdaterRun::IniAfter() const {
    return ReadFile(install_ / texts::kIniFileName);
}

const ControlReport& ControlAt(const WindowReport& window, int left, int top) {
    for (const ControlReport& control : window.controls)
        if (control.left == left && control.top == top)
            return control;
    std::string present;
    for (const ControlReport& control : window.controls)
        present += " " + control.className + "@" + std::to_string(control.left) + "," +
                   std::to_string(control.top) + "(" + std::to_string(control.width) + "x" +
                   std::to_string(control.height) + ")";
    throw std::runtime_error("no control at " + std::to_string(left) + "," + std::to_string(top) +
                             "; the window has:" + present);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string TrimBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One pair of enclosing quotes, double or single, is dropped.
std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

IniContent ParseIni(const std::string& bytes) {
    IniContent content;
    std::string section;
    for (std::string line : SplitLines(bytes)) {
        line = TrimBlanks(line);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = Lower(TrimBlanks(line.substr(1, line.size() - 2)));
            content[section];
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        content[section][Lower(TrimBlanks(line.substr(0, equals)))] =
            Unquoted(TrimBlanks(line.substr(equals + 1)));
    }
    return content;
}

} // namespace qx::e2e
