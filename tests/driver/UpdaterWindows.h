#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx::driver {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Every cross-process message is bounded, so that a hung updater makes a
// command fail instead of hanging the driver.
inline constexpr UINT kMessageTimeoutMs = 5000;

// Short waits between two looks at the windows: the tests never guess how
// long something takes, they look again until a time bound has passed.
inline constexpr DWORD kPollIntervalMs = 10;

// Calls `look` until it gives a value or `timeoutMs` has passed.
template <typename Look> auto PollFor(DWORD timeoutMs, Look look) -> decltype(look()) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (auto result = look())
            return result;
        if (GetTickCount64() >= deadline)
            return {};
        Sleep(kPollIntervalMs);
    }
}

// A window's text through the W API, converted to code page 932, the code
// page of the updater's own texts. Nothing when the window did not answer.
std::optional<std::string> WindowText(HWND window, UINT timeoutMs = kMessageTimeoutMs);
std::string ClassNameOf(HWND window);
// The direct children of `parent`, in Z-order (the order of tab stops).
std::vector<HWND> ChildWindows(HWND parent);

// The updater's process, found by the full path of its image.
class UpdaterProcess {
public:
    static std::optional<UpdaterProcess> FindByImagePath(const std::wstring& imagePath);

    DWORD Id() const { return id_; }
    // The exit code once the process has ended within `timeoutMs`.
    std::optional<DWORD> WaitForEnd(DWORD timeoutMs) const;

private:
    UpdaterProcess(DWORD id, UniqueHandle handle) : id_(id), handle_(std::move(handle)) {}

    DWORD id_;
    UniqueHandle handle_;
};

// The visible top-level window of the process with this caption that is not a
// dialog box.
HWND FindMainWindow(DWORD processId, const std::string& caption);
// A visible dialog box (class #32770) of the process, whatever its caption.
HWND FindMessageBox(DWORD processId);

// The report lines of a message box: its caption, text, buttons and icon.
std::string DescribeMessageBox(HWND box);
// The report lines of the main window and of each of its controls.
std::vector<std::string> DescribeMainWindow(HWND window);
// One line with the progress bar and the byte-count label only.
std::string DescribeProgress(HWND window);

// The visible push button of `parent` with this control id, or null.
HWND FindButtonById(HWND parent, int id);
// The child button with this text, or null.
HWND FindButtonByText(HWND parent, const std::string& text);

} // namespace qx::driver
