#include "WineSession.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>

namespace qx::e2e {
namespace {

constexpr auto kDisplayStartBound = std::chrono::seconds(20);
// wineboot of a fresh prefix takes about ten seconds.
constexpr auto kPrefixBound = std::chrono::seconds(180);
constexpr auto kServerStopBound = std::chrono::seconds(20);

std::string EnvironmentOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

constexpr auto kRegistryBound = std::chrono::seconds(30);
constexpr char kX11DriverKey[] = "HKCU\\Software\\Wine\\X11 Driver";

// The exit status; none when the program did not end within `bound`.
std::optional<int> StatusOf(const std::vector<std::string>& arguments, std::chrono::milliseconds bound) {
    ChildProcess child({arguments, {}, {}, false});
    return child.WaitForExit(bound);
}

void RunToEnd(const std::vector<std::string>& arguments, std::chrono::milliseconds bound) {
    const auto status = StatusOf(arguments, bound);
    if (!status)
        throw std::runtime_error(arguments.at(0) + " did not finish in time");
    if (*status != 0)
        throw std::runtime_error(arguments.at(0) + " failed with status " + std::to_string(*status));
}

// Reads the display number that Xvfb writes once it accepts connections.
std::string ReadDisplayNumber(int fd, std::chrono::milliseconds bound) {
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (number.empty() || number.back() != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd watched{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&watched, 1, static_cast<int>(left.count())) <= 0)
            throw std::runtime_error("Xvfb did not start");
        char buffer[32];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            throw std::runtime_error("Xvfb ended before it started");
        number.append(buffer, static_cast<std::size_t>(got));
    }
    number.pop_back();
    return number;
}

} // namespace

WineSession::WineSession()
    : prefix_(EnvironmentOr("WINEPREFIX", std::string(QX_SOURCE_DIR) + "/build/wineprefix")) {
    // A driver that died must fail its scenario, not end the whole run.
    signal(SIGPIPE, SIG_IGN);
    // Every Wine program of the tests inherits these.
    setenv("WINEPREFIX", prefix_.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    setenv("LANG", "ja_JP.UTF-8", 1);
    if (EnvironmentOr("DISPLAY", "").empty())
        StartDisplay();
    PreparePrefix();
    // Should this process die without its clean-up, the server still ends
    // on its own once the prefix has been idle for a while.
    server_ =
        std::make_unique<ChildProcess>(ChildOptions{{"wineserver", "--foreground", "-p30"}, {}, {}, false});
    LeaveWindowManagementToWine();
}

WineSession::~WineSession() {
    if (windowManagementSet_)
        StatusOf({"wine", "reg", "delete", kX11DriverKey, "/v", "Managed", "/f"}, kRegistryBound);
    // Ends every process of the prefix, the updaters a failed test left
    // behind included, and the server with them.
    ChildProcess killer({{"wineserver", "--kill"}, {}, {}, false});
    killer.WaitForExit(kServerStopBound);
    if (server_)
        server_->WaitForExit(kServerStopBound);
}

// The test display has no window manager. Unless Wine manages the windows
// itself, it waits two seconds for one each time a window is hidden (every
// message box that closes), and the window answers no message meanwhile. The
// setting holds for this run only, and a prefix that has one of its own keeps
// it.
void WineSession::LeaveWindowManagementToWine() {
    if (StatusOf({"wine", "reg", "query", kX11DriverKey, "/v", "Managed"}, kRegistryBound) == 0)
        return;
    RunToEnd({"wine", "reg", "add", kX11DriverKey, "/v", "Managed", "/d", "N", "/f"}, kRegistryBound);
    windowManagementSet_ = true;
}

void WineSession::StartDisplay() {
    // Xvfb picks a free display itself and writes its number to standard
    // output (descriptor 1) once it is ready.
    display_ = std::make_unique<ChildProcess>(ChildOptions{
        {"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, {}, true});
    setenv("DISPLAY", (":" + ReadDisplayNumber(display_->OutputFd(), kDisplayStartBound)).c_str(), 1);
}

// The prefix, and the Japanese locale that gives Wine code page 932, are
// made by the same helpers as the test command uses.
void WineSession::PreparePrefix() {
    RunToEnd({"bash", "-c", "source \"$0\" && qx_ensure_japanese_locale && qx_ensure_wine_prefix",
              std::string(QX_SOURCE_DIR) + "/tools/setup.sh"},
             kPrefixBound);
}

std::string WindowsPath(const std::filesystem::path& path) {
    std::string windows = "Z:" + std::filesystem::absolute(path).lexically_normal().string();
    for (char& c : windows)
        if (c == '/')
            c = '\\';
    return windows;
}

} // namespace qx::e2e
