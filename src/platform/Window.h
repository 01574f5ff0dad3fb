#pragma once

#include <cstdint>
#include <string>

namespace qx {

enum class BoxStyle {
    Question,      // Yes and No, question icon
    Information,   // OK, information icon
    CancelConfirm, // Yes and No, exclamation icon
};

enum class BoxAnswer { Yes, No, Ok };

// What the update logic needs of the window `Form1` and of the application
// object. All texts are byte strings in code page 932.
class Window {
public:
    virtual ~Window() = default;

    virtual void SetCaption(const std::string& caption) = 0;
    // Visible, centred on the desktop, active, focus on Button3.
    virtual void ShowForm() = 0;
    // Edit1.
    virtual void SetUrlText(const std::string& text) = 0;
    // Memo2.
    virtual void ClearStatusLog() = 0;
    virtual void AppendStatusLine(const std::string& line) = 0;
    // ErrLogMemo.
    virtual void AppendErrorLine(const std::string& line) = 0;
    // Modal, caption "Network Updator for Tavi"; every window of the program
    // is disabled while it is shown.
    virtual BoxAnswer ShowMessageBox(BoxStyle style, const std::string& text) = 0;
    // Handles every pending window message and returns when the queue is empty.
    virtual void ProcessMessages() = 0;

    // ProgressBar1. Its minimum is 0, and like any progress bar it refuses a
    // maximum below its minimum: that raises Exception.
    void SetProgressMax(std::int32_t max);
    virtual void SetProgressPosition(std::int32_t position) = 0;
    // lblRecvSize.
    virtual void SetReceivedSizeText(const std::string& text) = 0;

protected:
    virtual void ApplyProgressMax(std::int32_t max) = 0;
};

} // namespace qx
