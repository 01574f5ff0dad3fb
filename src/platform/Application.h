#pragma once

#include <exception>
#include <string>

#include "platform/Window.h"

namespace qx {

// The text of the default exception display: the message, with "." added when
// it is not empty and its last byte sorts after "." (a message that already
// ends in ".", "!", a blank or the like is left as it is).
std::string ExceptionDisplayText(std::string message);

// A top-level window as the platform knows it (an HWND on Windows).
using WindowHandle = void*;

// The application object: the program's title, its main window, the message
// loop and the modal boxes. One per program, on the user-interface thread.
class Application {
public:
    explicit Application(std::string title);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The text of the program's task-bar entry and the caption of every box.
    const std::string& Title() const { return title_; }

    // The window that owns the message boxes and the programs started through
    // the shell, and whose keyboard navigation (Tab, Enter, Space) the message
    // loops handle. Its destruction ends the message loop.
    void SetMainWindow(WindowHandle window) { mainWindow_ = window; }
    WindowHandle MainWindow() const { return mainWindow_; }

    // Modal: every window of the program is disabled while the box is shown.
    BoxAnswer ShowMessageBox(BoxStyle style, const std::string& text);
    // The default exception display: the title as caption, the stop icon and
    // an OK button.
    void ShowException(const std::exception& error);

    // Handles every pending message and returns when the queue is empty.
    void ProcessMessages();
    // Runs until the main window has been destroyed.
    void Run();

    // The executable's full path.
    std::string ExeName() const;

private:
    std::string title_;
    WindowHandle mainWindow_ = nullptr;
    bool comInitialized_ = false;
};

} // namespace qx
