#include "platform/Application.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <vector>

#include "platform/Win32_win.h"

namespace qx {

namespace {

HWND AsHwnd(WindowHandle window) {
    return static_cast<HWND>(window);
}

// While a box is up, every other enabled window of this thread is disabled as
// well, not only the box's owner, so that no window of the program takes input
// behind the box; each is enabled again afterwards.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND owner) : owner_(owner) {
        EnumThreadWindows(GetCurrentThreadId(), &OtherWindowsDisabled::DisableOne,
                          reinterpret_cast<LPARAM>(this));
    }
    ~OtherWindowsDisabled() {
        for (HWND window : disabled_)
            EnableWindow(window, TRUE);
    }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK DisableOne(HWND window, LPARAM self) {
        auto& that = *reinterpret_cast<OtherWindowsDisabled*>(self);
        if (window != that.owner_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            that.disabled_.push_back(window);
        }
        return TRUE;
    }

    HWND owner_;
    std::vector<HWND> disabled_;
};

// The owner itself is disabled by the box, which also gives it back the
// activation when it closes.
int ShowModalBox(HWND owner, const std::string& caption, const std::string& text, UINT style) {
    const OtherWindowsDisabled others(owner);
    const int answer = MessageBoxW(owner, win32::Widen(text).c_str(), win32::Widen(caption).c_str(),
                                   style | MB_SETFOREGROUND);
    if (answer == 0)
        win32::LogLastError(L"MessageBoxW");
    return answer;
}

UINT BoxStyleFlags(BoxStyle style) {
    switch (style) {
    case BoxStyle::Question:
        return MB_YESNO | MB_ICONQUESTION;
    case BoxStyle::Information:
        return MB_OK | MB_ICONINFORMATION;
    case BoxStyle::CancelConfirm:
        return MB_YESNO | MB_ICONEXCLAMATION;
    }
    return MB_OK;
}

} // namespace

Application::Application(std::string title) : title_(std::move(title)) {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                       ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    if (!InitCommonControlsEx(&classes))
        win32::LogLastError(L"InitCommonControlsEx");
    // The shell may hand a start request to an extension that needs COM on
    // the calling thread.
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

Application::~Application() {
    if (comInitialized_)
        CoUninitialize();
}

BoxAnswer Application::ShowMessageBox(BoxStyle style, const std::string& text) {
    switch (ShowModalBox(AsHwnd(mainWindow_), title_, text, BoxStyleFlags(style))) {
    case IDYES:
        return BoxAnswer::Yes;
    case IDNO:
        return BoxAnswer::No;
    default:
        return BoxAnswer::Ok;
    }
}

void Application::ShowException(const std::exception& error) {
    ShowModalBox(AsHwnd(mainWindow_), title_, ExceptionDisplayText(error.what()), MB_OK | MB_ICONSTOP);
}

namespace {

void Dispatch(HWND mainWindow, MSG& message) {
    if (mainWindow != nullptr && IsDialogMessageW(mainWindow, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

} // namespace

void Application::ProcessMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the message loop, which ends on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(AsHwnd(mainWindow_), message);
    }
}

void Application::Run() {
    MSG message;
    for (;;) {
        const BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0)
            return;
        if (result == -1) {
            win32::LogLastError(L"GetMessageW");
            return;
        }
        Dispatch(AsHwnd(mainWindow_), message);
    }
}

std::string Application::ExeName() const {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            win32::LogLastError(L"GetModuleFileNameW");
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return win32::Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

} // namespace qx
