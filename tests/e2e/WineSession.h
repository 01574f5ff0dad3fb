#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "ChildProcess.h"

namespace qx::e2e {

// What one run of the end-to-end tests shares: an X display (an Xvfb of its
// own when there is none), the Wine prefix (prepared when missing) and one
// persistent wineserver, so that each Wine program starts quickly. Ended at
// the end of the run: every Wine process of the prefix, then the server, then
// the display.
class WineSession {
public:
    WineSession();
    ~WineSession();
    WineSession(const WineSession&) = delete;
    WineSession& operator=(const WineSession&) = delete;

    const std::filesystem::path& Prefix() const { return prefix_; }

private:
    void StartDisplay();
    void PreparePrefix();
    void LeaveWindowManagementToWine();

    std::filesystem::path prefix_;
    std::unique_ptr<ChildProcess> display_;
    std::unique_ptr<ChildProcess> server_;
    bool windowManagementSet_ = false;
};

// "Z:" followed by the absolute path with backslashes: how a Wine program
// sees a file of this machine.
std::string WindowsPath(const std::filesystem::path& path);

} // namespace qx::e2e
