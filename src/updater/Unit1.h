#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/HttpClient.h"
#include "platform/StringList.h"
#include "platform/System.h"
#include "platform/Window.h"

namespace qx {

// Copies one field of a command line, starting at `position`, into
// `destination`: up to the next ',' or ';' or the end of the line, at most
// capacity - 1 bytes. A field cut at that limit passes over the rest of the
// line up to the next ';'. Returns the position just after the delimiter where
// reading stopped, or the end of the line.
std::size_t ReadInstructionField(std::string& destination, std::string_view line, std::size_t position,
                                 std::size_t capacity);

// The updater: the one window, all the state of an update run, and the run
// itself. It reaches the platform only through the window, the system services
// and the HTTP client component handed to it, which outlive it.
class TForm1 {
public:
    TForm1(Window& window, System& system, HttpClient& http);
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Window handlers.
    void FormCreate();
    void FormCloseQuery(bool& canClose);
    void FormClose();
    void Button3Click();

    // HTTP client component handlers.
    void NMHTTP1PacketRecvd();
    void NMHTTP1Failure(CmdType cmd);
    void NMHTTP1Redirect(bool& handled);

    void RunUpdate();
    void WriteErrorLog(unsigned code);
    void ReadUpdateKey(const StringList& list);
    void ExecuteInstructions(const StringList& list);
    bool DownloadDocument(const std::string& url);
    bool IsInternetConnected();

    // The state of the update run.
    StringList InstructionList;
    bool LaunchRequested = false;
    bool Downloading = false;
    bool Cancelled = false;
    bool UpdateRunning = false;
    bool HttpFailed = false;
    std::string ExeDir;
    std::string IniPath;
    std::string InstructionUrl;
    std::string SavedUpdateKey;
    std::string NewUpdateKey;
    std::string StartApp;
    std::string BasePath;
    std::string CurrentUrl;
    int UpdatedCount = 0;
    int FailedCount = 0;
    std::int32_t ProgressMax = 0;

private:
    // One `Get` command whose fields start at `position` of `line`; returns
    // false when its download failed, which ends the walk of the commands.
    bool ExecuteGet(std::string_view line, std::size_t position);

    Window& window_;
    System& system_;
    HttpClient& NMHTTP1;
};

} // namespace qx
