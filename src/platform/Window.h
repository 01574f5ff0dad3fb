#pragma once

#include <cstdint>
#include <functional>
#include <memory>
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

class Application;

// What the window reports to its owner: an attempt to close (the close button,
// the system menu, Alt+F4, a shut-down or log-off request), the close itself,
// and a click on Button3.
struct FormEvents {
    std::function<void(bool& canClose)> CloseQuery;
    std::function<void()> Close;
    std::function<void()> CancelClick;
};

// `Form1` on the build platform: a fixed-size top-level window with the
// controls of the stored layout, created hidden, and the application's main
// window from its creation on.
class Form final : public Window {
public:
    explicit Form(Application& application);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    void SetEvents(FormEvents events);
    // As the close button: the close query, and when it allows, the close
    // event and the window's destruction.
    void Close();

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

protected:
    void ApplyProgressMax(std::int32_t max) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace qx
