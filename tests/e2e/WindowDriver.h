#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "driver/LineProtocol.h"

namespace qx::e2e {

using Milliseconds = std::chrono::milliseconds;

// The time bound of one scenario: every wait of the scenario ends by then, so
// that a hung updater fails its own scenario instead of hanging the run.
class Deadline {
public:
    explicit Deadline(Milliseconds bound) : end_(std::chrono::steady_clock::now() + bound) {}
    // `bound`, cut to what is left; throws once the deadline has passed.
    Milliseconds Clamp(Milliseconds bound) const;

private:
    std::chrono::steady_clock::time_point end_;
};

struct MessageBoxReport {
    std::string caption;
    std::string text;
    std::string buttons;
    std::string icon;
};

struct ControlReport {
    std::string className;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::set<std::string> flags;
    std::optional<std::string> text;
    long min = 0;
    long max = 0;
    long pos = 0;

    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
};

struct WindowReport {
    std::map<std::string, std::string> fields;
    std::set<std::string> flags;
    std::vector<ControlReport> controls;

    int Number(const std::string& field) const { return std::stoi(fields.at(field)); }
};

struct ProgressReport {
    long min = 0;
    long max = 0;
    long pos = 0;
    std::string label;
};

// The window driver, qx_window_driver.exe, running under Wine for one
// scenario (tests/driver/README.md gives its protocol).
class WindowDriver {
public:
    WindowDriver(const std::filesystem::path& driverExe, const std::filesystem::path& logPath,
                 const Deadline& deadline);
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    // Waits for the updater started from `exe` and its main window.
    void Attach(const std::filesystem::path& exe, Milliseconds bound);
    std::optional<MessageBoxReport> WaitForMessageBox(Milliseconds bound);
    void Answer(const std::string& button, Milliseconds bound);
    WindowReport Window();
    ProgressReport Progress();
    void ClickCancel();
    // Asks the window to close; true when it is still there after `bound`.
    bool CloseWindow(Milliseconds bound);
    // The exit code once the updater's process has ended within `bound`.
    std::optional<long> WaitForEnd(Milliseconds bound);
    // Whether the window answered a WM_GETTEXT within `bound`.
    bool Ping(Milliseconds bound);

private:
    std::vector<driver::ReportLine> Command(const std::string& line, Milliseconds waitInDriver);
    driver::ReportLine Single(const std::string& line, Milliseconds waitInDriver, const std::string& kind);
    std::string ReadLine(std::chrono::steady_clock::time_point until);

    const Deadline& deadline_;
    ChildProcess process_;
    std::string pending_;
};

} // namespace qx::e2e
