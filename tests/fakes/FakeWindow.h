#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace qx::fakes {

struct MessageBox {
    BoxStyle style;
    std::string text;
    bool operator==(const MessageBox& other) const { return style == other.style && text == other.text; }
};

// Everything the logic shows, in order.
struct WindowEvent {
    enum class Kind { Caption, Show, UrlText, ClearStatus, Status, Error, Box };
    Kind kind;
    std::string text;
    BoxStyle style = BoxStyle::Information;
};

// The window: records every line and box, answers the Yes/No boxes from a
// script, and runs posted messages (clicks, close requests) when the logic
// processes its pending messages. An information box is answered OK without
// taking a scripted answer.
class FakeWindow : public Window {
public:
    void SetCaption(const std::string& caption) override;
    void ShowForm() override;
    void SetUrlText(const std::string& text) override;
    void ClearStatusLog() override;
    void AppendStatusLine(const std::string& line) override;
    void AppendErrorLine(const std::string& line) override;
    BoxAnswer ShowMessageBox(BoxStyle style, const std::string& text) override;
    void ProcessMessages() override;
    void SetProgressPosition(std::int32_t position) override;
    void SetReceivedSizeText(const std::string& text) override;

    // The answer to the next Yes/No box; `whileOpen` runs while that box is
    // shown, before it is answered.
    void ScriptAnswer(BoxAnswer answer, std::function<void()> whileOpen = {});
    std::size_t UnusedAnswers() const { return answers_.size(); }
    // A message that waits in the queue until the next ProcessMessages.
    void PostMessage(std::function<void()> handler);

    const std::vector<WindowEvent>& Events() const { return events_; }
    // Memo2 as it stands.
    const std::vector<std::string>& StatusLog() const { return statusLog_; }
    std::vector<std::string> ErrorLines() const;
    std::vector<MessageBox> Boxes() const;

    std::string caption;
    std::string urlText;
    int processMessagesCalls = 0;
    // ProgressBar1 starts with its designed range 0 to 100.
    std::int32_t progressMax = 100;
    std::int32_t progressPosition = 0;
    // lblRecvSize starts empty.
    std::string receivedSizeText;
    std::vector<std::int32_t> progressMaxHistory;
    std::vector<std::int32_t> positionHistory;
    std::vector<std::string> receivedSizeHistory;

protected:
    void ApplyProgressMax(std::int32_t max) override;

private:
    struct ScriptedAnswer {
        BoxAnswer answer;
        std::function<void()> whileOpen;
    };
    std::vector<WindowEvent> events_;
    std::vector<std::string> statusLog_;
    std::deque<ScriptedAnswer> answers_;
    std::deque<std::function<void()>> pending_;
};

} // namespace qx::fakes
