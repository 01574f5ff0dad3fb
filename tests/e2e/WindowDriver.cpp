#include "WindowDriver.h"

#include <poll.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>

#include "WineSession.h"
#include "updater/Texts.h"

namespace qx::e2e {
namespace {

using driver::EscapeValue;
using driver::ReportLine;

// Beyond its own wait, a command may take this long: Wine's message passing,
// and the driver's bounded messages to a busy window.
constexpr Milliseconds kDriverMargin(15000);
constexpr Milliseconds kQuitBound(3000);

std::string Ms(Milliseconds bound) {
    return std::to_string(bound.count());
}

std::set<std::string> SplitFlags(const std::string& joined) {
    std::set<std::string> flags;
    std::istringstream stream(joined);
    for (std::string flag; std::getline(stream, flag, ',');)
        flags.insert(flag);
    return flags;
}

long NumberField(const ReportLine& line, const std::string& name) {
    const auto field = line.fields.find(name);
    return field == line.fields.end() ? 0 : std::stol(field->second);
}

ControlReport ToControl(const ReportLine& line) {
    ControlReport control;
    control.className = line.fields.at("class");
    control.left = static_cast<int>(NumberField(line, "left"));
    control.top = static_cast<int>(NumberField(line, "top"));
    control.width = static_cast<int>(NumberField(line, "width"));
    control.height = static_cast<int>(NumberField(line, "height"));
    control.flags = SplitFlags(line.fields.at("flags"));
    if (const auto text = line.fields.find("text"); text != line.fields.end())
        control.text = text->second;
    control.min = NumberField(line, "min");
    control.max = NumberField(line, "max");
    control.pos = NumberField(line, "pos");
    return control;
}

} // namespace

Milliseconds Deadline::Clamp(Milliseconds bound) const {
    const auto left = std::chrono::duration_cast<Milliseconds>(end_ - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        throw std::runtime_error("the scenario's time bound has passed");
    return std::min(bound, left);
}

WindowDriver::WindowDriver(const std::filesystem::path& driverExe, const std::filesystem::path& logPath,
                           const Deadline& deadline)
    : deadline_(deadline), process_({{"wine", driverExe.string()}, {}, logPath.string(), true}) {}

WindowDriver::~WindowDriver() {
    const std::string quit = "quit\n";
    if (write(process_.InputFd(), quit.data(), quit.size()) == static_cast<ssize_t>(quit.size()))
        process_.WaitForExit(kQuitBound);
}

std::string WindowDriver::ReadLine(std::chrono::steady_clock::time_point until) {
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<Milliseconds>(until - std::chrono::steady_clock::now());
        pollfd watched{process_.OutputFd(), POLLIN, 0};
        if (left.count() <= 0 || poll(&watched, 1, static_cast<int>(left.count())) <= 0)
            throw std::runtime_error("the window driver did not answer in time");
        char buffer[4096];
        const ssize_t got = read(process_.OutputFd(), buffer, sizeof buffer);
        if (got <= 0) {
            const auto status = process_.WaitForExit(kQuitBound);
            throw std::runtime_error("the window driver has ended, status " +
                                     (status ? std::to_string(*status) : std::string("unknown")));
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

std::vector<ReportLine> WindowDriver::Command(const std::string& line, Milliseconds waitInDriver) {
    const std::string request = line + "\n";
    if (write(process_.InputFd(), request.data(), request.size()) != static_cast<ssize_t>(request.size()))
        throw std::runtime_error("cannot write to the window driver");
    const auto until = std::chrono::steady_clock::now() + deadline_.Clamp(waitInDriver + kDriverMargin);
    std::vector<ReportLine> reports;
    for (std::string answer = ReadLine(until); answer != "end"; answer = ReadLine(until)) {
        auto report = driver::ParseReportLine(answer);
        if (!report)
            throw std::runtime_error("the window driver answered: " + answer);
        if (report->kind == "error")
            throw std::runtime_error(line + ": " + report->fields["message"]);
        reports.push_back(std::move(*report));
    }
    return reports;
}

ReportLine WindowDriver::Single(const std::string& line, Milliseconds waitInDriver, const std::string& kind) {
    auto reports = Command(line, waitInDriver);
    if (reports.size() != 1 || reports[0].kind != kind)
        throw std::runtime_error(line + ": expected one report " + kind);
    return reports[0];
}

void WindowDriver::Attach(const std::filesystem::path& exe, Milliseconds bound) {
    bound = deadline_.Clamp(bound);
    Single("attach " + EscapeValue(WindowsPath(exe)) + " " + EscapeValue(texts::kAppTitle) + " " + Ms(bound),
           bound, "attached");
}

std::optional<MessageBoxReport> WindowDriver::WaitForMessageBox(Milliseconds bound) {
    bound = deadline_.Clamp(bound);
    const auto reports = Command("box " + Ms(bound), bound);
    if (reports.size() == 1 && reports[0].kind == "nobox")
        return std::nullopt;
    if (reports.size() != 1 || reports[0].kind != "box")
        throw std::runtime_error("box: expected one report");
    const auto& fields = reports[0].fields;
    return MessageBoxReport{fields.at("caption"), fields.at("text"), fields.at("buttons"), fields.at("icon")};
}

void WindowDriver::Answer(const std::string& button, Milliseconds bound) {
    bound = deadline_.Clamp(bound);
    Single("answer " + button + " " + Ms(bound), bound, "answered");
}

WindowReport WindowDriver::Window() {
    const auto reports = Command("window", Milliseconds(0));
    if (reports.empty() || reports[0].kind != "window")
        throw std::runtime_error("window: no window report");
    WindowReport window;
    window.fields = reports[0].fields;
    window.flags = SplitFlags(window.fields.at("flags"));
    for (std::size_t i = 1; i < reports.size(); ++i)
        window.controls.push_back(ToControl(reports[i]));
    return window;
}

ProgressReport WindowDriver::Progress() {
    const auto report = Single("progress", Milliseconds(0), "progress");
    const auto label = report.fields.find("label");
    return {NumberField(report, "min"), NumberField(report, "max"), NumberField(report, "pos"),
            label == report.fields.end() ? std::string() : label->second};
}

void WindowDriver::ClickCancel() {
    Single("cancel", Milliseconds(0), "clicked");
}

bool WindowDriver::CloseWindow(Milliseconds bound) {
    bound = deadline_.Clamp(bound);
    return Single("close " + Ms(bound), bound, "close").fields.at("present") == "1";
}

std::optional<long> WindowDriver::WaitForEnd(Milliseconds bound) {
    bound = deadline_.Clamp(bound);
    const auto report = Single("ended " + Ms(bound), bound, "process");
    if (report.fields.at("ended") != "1")
        return std::nullopt;
    return NumberField(report, "code");
}

bool WindowDriver::Ping(Milliseconds bound) {
    return Single("ping " + Ms(bound), bound, "ping").fields.at("answered") == "1";
}

} // namespace qx::e2e
