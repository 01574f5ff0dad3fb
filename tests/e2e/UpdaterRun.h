#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ServerProcess.h"
#include "WindowDriver.h"

namespace qx::e2e {

enum class BoxKind {
    Question,      // Yes and No, question icon
    Information,   // OK, information icon
    CancelConfirm, // Yes and No, exclamation icon
};

struct ExpectedBox {
    BoxKind kind;
    std::string text;
    std::string answer;
};

// Files by path relative to a folder, with '/' between folders.
using FileTree = std::map<std::string, std::string>;

// Section and key names in lower case, values as the private-profile
// functions read them.
using IniContent = std::map<std::string, std::map<std::string, std::string>>;

// One start of the real qxntupd.exe under Wine: a fresh install folder with
// the exe, the mascot stand-in and a qxntupd.ini; a loopback server of its own;
// the updater started with the install folder as its current directory; and
// the window driver attached to it. Texts given to it may hold "{url}" (the
// server's "http://127.0.0.1:<port>") and "{dir}" (the install folder as the
// updater sees it, with its final backslash); Expand replaces them.
class UpdaterRun {
public:
    struct Setup {
        std::string ini;
        ServerSetup server;
        FileTree installed;
    };

    UpdaterRun(const std::string& name, const Setup& setup);
    ~UpdaterRun();
    UpdaterRun(const UpdaterRun&) = delete;
    UpdaterRun& operator=(const UpdaterRun&) = delete;

    std::string Expand(std::string text) const;
    WindowDriver& Driver() { return *driver_; }
    ServerProcess& Server() { return *server_; }
    const std::filesystem::path& Folder() const { return folder_; }
    const std::filesystem::path& InstallFolder() const { return install_; }
    const std::string& IniBefore() const { return iniBefore_; }

    // Waits for the next message box and checks its caption, text, buttons
    // and icon, and that the main window is disabled while it is open; then
    // answers it. Gives the window as it was while the box was open.
    WindowReport ExpectBoxAndAnswer(const ExpectedBox& box);
    // Checks that no message box opens within `bound`.
    void ExpectNoBox(Milliseconds bound);
    // Closes the window that the run left open; it must go, and the process
    // end.
    void CloseWindow();
    // The updater's process ends by itself: the application was started.
    void ExpectEndedByItself();
    // Kills the updater's process at once (SIGKILL), as a crash or a power
    // cut would end it, and waits until it is gone.
    void KillUpdater();
    // The marker file of the program named by STARTAPP appears, or not.
    void ExpectApplicationStarted(bool started);

    // The window once its error log holds at least `count` lines.
    WindowReport WaitForErrorLines(std::size_t count);
    // What Edit1 shows.
    std::string UrlShown(const WindowReport& window) const;
    // Both logs of the window, as lines.
    std::vector<std::string> StatusLog(const WindowReport& window) const;
    std::vector<std::string> ErrorLog(const WindowReport& window) const;
    // The messages of the error log after their time stamps; each stamp must
    // have the shape "[M/D h:m:s] " and a time within this run.
    std::vector<std::string> ErrorMessages(const WindowReport& window) const;

    // The install folder without the updater, the mascot stand-in and its
    // marker file, and the settings file.
    FileTree InstalledFiles() const;
    std::string IniAfter() const;

private:
    std::filesystem::path folder_;
    std::filesystem::path install_;
    std::string iniBefore_;
    std::time_t started_;
    Deadline deadline_;
    std::unique_ptr<ServerProcess> server_;
    std::unique_ptr<ChildProcess> updater_;
    std::unique_ptr<WindowDriver> driver_;
};

// A program of the windows preset's build folder, by its path there; a
// missing one fails the test.
std::filesystem::path WindowsBuildFile(const std::string& relative);

// The control of the report at this position of the client area.
const ControlReport& ControlAt(const WindowReport& window, int left, int top);
IniContent ParseIni(const std::string& bytes);
// The lines of a memo's text.
std::vector<std::string> SplitLines(const std::string& text);

} // namespace qx::e2e
