#pragma once

#include <string>

#include "platform/HttpClient.h"
#include "platform/System.h"
#include "platform/Window.h"

namespace qx::bench {

// A window with no screen behind it: what the update logic shows costs
// nothing, so that a measurement sees only the logic and the transfer. It
// keeps nothing, so its memory stays flat however long the run.
class QuietWindow : public Window {
public:
    void SetCaption(const std::string&) override {}
    void ShowForm() override {}
    void SetUrlText(const std::string&) override {}
    void ClearStatusLog() override {}
    void AppendStatusLine(const std::string&) override {}
    void AppendErrorLine(const std::string&) override {}
    BoxAnswer ShowMessageBox(BoxStyle, const std::string&) override { return BoxAnswer::Yes; }
    void ProcessMessages() override {}
    void SetProgressPosition(std::int32_t) override {}
    void SetReceivedSizeText(const std::string&) override {}

protected:
    void ApplyProgressMax(std::int32_t) override {}
};

// A connected system whose file services succeed without touching a disk.
class QuietSystem : public System {
public:
    std::string ReadProfileString(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    void WriteProfileString(const std::string&, const std::string&, const std::string&,
                            const std::string&) override {}
    LocalTime CurrentLocalTime() override { return {}; }
    void ShellOpen(const std::string&) override {}
    bool CopyFileOver(const std::string&, const std::string&) override { return true; }
    void RemoveFile(const std::string&) override {}
    bool InternetConnected() override { return true; }
    std::string ExecutablePath() override { return "C:\\qx\\qxntupd.exe"; }
};

// A download that does nothing and succeeds at once.
class IdleHttpClient : public HttpClient {
public:
    void Get(const std::string&) override {}
    void Cancel() override {}
};

} // namespace qx::bench
