#include "platform/Window.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/Application.h"
#include "platform/Resource.h"
#include "platform/Win32_win.h"
#include "updater/Texts.h"
#include "updater/Unit1Layout.h"

namespace qx {

namespace {

using layout::ControlKind;
using layout::ControlLayout;

constexpr wchar_t kFormClassName[] = L"TForm1";
// A single fixed border and a title bar with the system menu and the close
// button only.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = 0;
// Far above anything an update writes; the default of 30,000 characters would
// make a long status log stop early.
constexpr LPARAM kMemoTextLimit = 0x7FFFFFFE;

// Where the font of the stored layout is missing, a Japanese UI font of the
// system takes its place; the last one is the proportional Gothic of the IPA
// fonts, which is what a Linux system running the program under Wine has.
constexpr const wchar_t* kFallbackFaces[] = {L"MS UI Gothic", L"Meiryo UI", L"Yu Gothic UI", L"IPAPGothic"};

int Scale(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), layout::kDesignDpi);
}

const ControlLayout* FindLayout(int id) {
    for (const ControlLayout& control : layout::kControls) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

const wchar_t* ClassNameOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label:
        return WC_STATICW;
    case ControlKind::Edit:
    case ControlKind::Memo:
        return WC_EDITW;
    case ControlKind::ProgressBar:
        return PROGRESS_CLASSW;
    case ControlKind::Button:
        return WC_BUTTONW;
    }
    return WC_STATICW;
}

DWORD StyleOf(const ControlLayout& control) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (control.kind) {
    case ControlKind::Label:
        return child | SS_NOPREFIX | (control.rightAligned ? SS_RIGHT : SS_LEFTNOWORDWRAP);
    case ControlKind::Edit:
        return child | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL;
    case ControlKind::Memo:
        return child | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
               ES_AUTOVSCROLL;
    case ControlKind::ProgressBar:
        // No WS_TABSTOP, and a progress bar does not take the focus on a click.
        return child | PBS_SMOOTH;
    case ControlKind::Button:
        return child | WS_TABSTOP | BS_PUSHBUTTON;
    }
    return child;
}

bool IsEditKind(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::Memo;
}

class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() { ReleaseDC(nullptr, dc_); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

class FontSelected {
public:
    FontSelected(HDC dc, HFONT font) : dc_(dc), previous_(SelectObject(dc, font)) {}
    ~FontSelected() { SelectObject(dc_, previous_); }
    FontSelected(const FontSelected&) = delete;
    FontSelected& operator=(const FontSelected&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

win32::UniqueFont CreateFace(int height, const std::wstring& face) {
    win32::UniqueFont font(CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    if (!font)
        win32::LogLastError(L"CreateFontW", face);
    return font;
}

std::wstring FaceOf(HFONT font) {
    const ScreenDc screen;
    const FontSelected selected(screen.Get(), font);
    wchar_t face[LF_FACESIZE] = L"";
    GetTextFaceW(screen.Get(), LF_FACESIZE, face);
    return face;
}

// The font mapper gives a substitute for a face that is missing; that shows as
// another face name on the realised font. When no candidate is there by its
// own name, the mapper's choice for the stored face, in the Shift-JIS
// character set, is kept.
win32::UniqueFont CreateFormFont(UINT dpi) {
    const int height = Scale(layout::kFontHeight, dpi);
    const std::wstring storedFace = win32::Widen(texts::kFontName);
    win32::UniqueFont stored = CreateFace(height, storedFace);
    if (stored && FaceOf(stored.get()) == storedFace)
        return stored;
    for (const wchar_t* face : kFallbackFaces) {
        win32::UniqueFont fallback = CreateFace(height, face);
        if (fallback && FaceOf(fallback.get()) == face)
            return fallback;
    }
    return stored;
}

SIZE TextSize(HWND control, HFONT font) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
    const ScreenDc screen;
    const FontSelected selected(screen.Get(), font);
    SIZE size{0, 0};
    GetTextExtentPoint32W(screen.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.Get(), &metrics);
    size.cy = metrics.tmHeight;
    return size;
}

void Place(HWND window, int left, int top, int width, int height, UINT flags) {
    if (!SetWindowPos(window, nullptr, left, top, width, height, flags | SWP_NOZORDER | SWP_NOACTIVATE))
        win32::LogLastError(L"SetWindowPos");
}

void SetText(HWND control, const std::string& text) {
    if (!SetWindowTextW(control, win32::Widen(text).c_str()))
        win32::LogLastError(L"SetWindowTextW");
}

// Appending at the end through the selection costs the same at the 10,000th
// line as at the first; setting the whole text again would not.
void AppendLine(HWND memo, const std::string& line) {
    const std::wstring text = win32::Widen(line) + L"\r\n";
    const auto length = static_cast<std::size_t>(GetWindowTextLengthW(memo));
    const auto limit = static_cast<std::size_t>(SendMessageW(memo, EM_GETLIMITTEXT, 0, 0));
    // A full memo takes no further lines: a line goes in whole or not at all.
    if (text.size() > limit || length > limit - text.size())
        return;
    SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

} // namespace

struct Form::Impl {
    explicit Impl(Application& app) : application(app) {}

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static ATOM RegisterFormClass();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void ApplyDpi(UINT newDpi);
    void SizeLabelToText(const ControlLayout& control);
    void ResizeForClientArea();
    void PlaceOnDesktop();
    bool AskClose();
    void RequestClose();
    LRESULT StaticColors(HDC dc, HWND control);
    HWND Control(int id) const { return GetDlgItem(window, id); }

    Application& application;
    FormEvents events;
    HWND window = nullptr;
    UINT dpi = layout::kDesignDpi;
    win32::UniqueFont font;
    HWND lastFocus = nullptr;
    bool placed = false;
};

ATOM Form::Impl::RegisterFormClass() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Impl::Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(QX_MAIN_ICON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(QX_MAIN_ICON), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kFormClassName;
    const ATOM atom = RegisterClassExW(&windowClass);
    if (atom == 0)
        win32::LogLastError(L"RegisterClassExW", kFormClassName);
    return atom;
}

LRESULT CALLBACK Form::Impl::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* impl = static_cast<Impl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        impl->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
    }
    auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (impl == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    // No exception may unwind through the system's frames: one raised by a
    // handler is shown by the default exception display, and the program goes
    // on.
    try {
        return impl->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
        impl->application.ShowException(error);
        return 0;
    }
}

LRESULT Form::Impl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        RequestClose();
        return 0;
    case WM_QUERYENDSESSION:
        return AskClose() ? TRUE : FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == layout::IdButton3 && HIWORD(wParam) == BN_CLICKED && events.CancelClick)
            events.CancelClick();
        return 0;
    case DM_GETDEFID:
        // Enter presses the button that has the focus, as in a dialog box.
        return GetFocus() == Control(layout::IdButton3) ? MAKELRESULT(layout::IdButton3, DC_HASDEFID) : 0;
    case WM_CTLCOLORSTATIC:
        return StaticColors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window, focus))
                lastFocus = focus;
        }
        break;
    case WM_SETFOCUS:
        SetFocus(lastFocus != nullptr ? lastFocus : Control(layout::IdButton3));
        return 0;
    case WM_DPICHANGED: {
        ApplyDpi(HIWORD(wParam));
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        Place(window, suggested.left, suggested.top, suggested.right - suggested.left,
              suggested.bottom - suggested.top, 0);
        return 0;
    }
    case WM_DESTROY:
        if (application.MainWindow() == window) {
            application.SetMainWindow(nullptr);
            PostQuitMessage(0);
        }
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        window = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The read-only edits keep the window colour of an editable one, so that the
// logs read as text fields; the labels take the window's button face.
LRESULT Form::Impl::StaticColors(HDC dc, HWND control) {
    const ControlLayout* controlLayout = FindLayout(GetDlgCtrlID(control));
    const int background =
        controlLayout != nullptr && IsEditKind(controlLayout->kind) ? COLOR_WINDOW : COLOR_BTNFACE;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(background));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
}

// Created in tab order, so that the order of the children is the tab order.
void Form::Impl::CreateControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ControlLayout& control : layout::kControls) {
        const DWORD exStyle = IsEditKind(control.kind) ? WS_EX_CLIENTEDGE : 0;
        const HWND created = CreateWindowExW(
            exStyle, ClassNameOf(control.kind), win32::Widen(control.text).c_str(), StyleOf(control), 0, 0, 0,
            0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
        if (created == nullptr) {
            win32::LogLastError(L"CreateWindowExW", win32::Widen(control.name));
            continue;
        }
        if (IsEditKind(control.kind))
            SendMessageW(created, EM_SETLIMITTEXT, static_cast<WPARAM>(kMemoTextLimit), 0);
        if (control.kind == ControlKind::ProgressBar)
            SendMessageW(created, PBM_SETRANGE32, 0, layout::kProgressDesignMax);
    }
    lastFocus = Control(layout::IdButton3);
}

// Positions and sizes of the stored layout, and the font, scaled from 96 dots
// per inch to the window's.
void Form::Impl::ApplyDpi(UINT newDpi) {
    dpi = newDpi;
    win32::UniqueFont newFont = CreateFormFont(dpi);
    for (const ControlLayout& control : layout::kControls) {
        const HWND child = Control(control.id);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(newFont.get()), FALSE);
        Place(child, Scale(control.left, dpi), Scale(control.top, dpi), Scale(control.width, dpi),
              Scale(control.height, dpi), 0);
    }
    font = std::move(newFont);
    for (const ControlLayout& control : layout::kControls) {
        if (control.kind == ControlKind::Label)
            SizeLabelToText(control);
    }
    InvalidateRect(window, nullptr, TRUE);
}

// A label is as high as its font and as wide as its text. One with a stored
// width keeps it while the text fits; a right-aligned one whose text is wider
// (another font than the designed one) grows to the left, its right edge
// staying where the layout puts it, so that the text is never cut or wrapped.
void Form::Impl::SizeLabelToText(const ControlLayout& control) {
    const HWND label = Control(control.id);
    const SIZE text = TextSize(label, font.get());
    int left = Scale(control.left, dpi);
    int width = text.cx;
    if (control.width != 0) {
        const int storedWidth = Scale(control.width, dpi);
        width = std::max(storedWidth, width);
        if (control.rightAligned)
            left -= width - storedWidth;
    }
    Place(label, left, Scale(control.top, dpi), width, text.cy, 0);
    InvalidateRect(label, nullptr, TRUE);
}

void Form::Impl::ResizeForClientArea() {
    RECT frame{0, 0, Scale(layout::kClientWidth, dpi), Scale(layout::kClientHeight, dpi)};
    if (!AdjustWindowRectExForDpi(&frame, kFormStyle, FALSE, kFormExStyle, dpi))
        win32::LogLastError(L"AdjustWindowRectExForDpi");
    Place(window, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE);
}

// Centred on the whole desktop, all monitors together. When the centre lies on
// a monitor of another resolution, the window is scaled for it and centred
// again.
void Form::Impl::PlaceOnDesktop() {
    const auto centre = [this] {
        RECT bounds{};
        GetWindowRect(window, &bounds);
        const int width = bounds.right - bounds.left;
        const int height = bounds.bottom - bounds.top;
        const int left =
            GetSystemMetrics(SM_XVIRTUALSCREEN) + (GetSystemMetrics(SM_CXVIRTUALSCREEN) - width) / 2;
        const int top =
            GetSystemMetrics(SM_YVIRTUALSCREEN) + (GetSystemMetrics(SM_CYVIRTUALSCREEN) - height) / 2;
        Place(window, left, top, 0, 0, SWP_NOSIZE);
    };
    centre();
    const UINT monitorDpi = GetDpiForWindow(window);
    if (monitorDpi != 0 && monitorDpi != dpi) {
        ApplyDpi(monitorDpi);
        ResizeForClientArea();
        centre();
    }
}

bool Form::Impl::AskClose() {
    bool canClose = true;
    if (events.CloseQuery)
        events.CloseQuery(canClose);
    return canClose;
}

void Form::Impl::RequestClose() {
    if (!AskClose())
        return;
    if (events.Close)
        events.Close();
    if (window != nullptr && !DestroyWindow(window))
        win32::LogLastError(L"DestroyWindow");
}

Form::Form(Application& application) : impl_(std::make_unique<Impl>(application)) {
    static const ATOM formClass = Impl::RegisterFormClass();
    if (formClass == 0)
        throw std::runtime_error("The window class could not be registered");
    CreateWindowExW(kFormExStyle, kFormClassName, win32::Widen(application.Title()).c_str(), kFormStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                    GetModuleHandleW(nullptr), impl_.get());
    if (impl_->window == nullptr) {
        win32::LogLastError(L"CreateWindowExW", kFormClassName);
        throw std::runtime_error("The window could not be created");
    }
    impl_->CreateControls();
    impl_->ApplyDpi(GetDpiForWindow(impl_->window));
    impl_->ResizeForClientArea();
    application.SetMainWindow(impl_->window);
}

Form::~Form() {
    impl_->events = {};
    if (impl_->window != nullptr)
        DestroyWindow(impl_->window);
}

void Form::SetEvents(FormEvents events) {
    impl_->events = std::move(events);
}

void Form::Close() {
    if (impl_->window != nullptr)
        SendMessageW(impl_->window, WM_CLOSE, 0, 0);
}

void Form::SetCaption(const std::string& caption) {
    SetText(impl_->window, caption);
}

void Form::ShowForm() {
    if (!impl_->placed) {
        impl_->PlaceOnDesktop();
        impl_->placed = true;
    }
    ShowWindow(impl_->window, SW_SHOW);
    SetForegroundWindow(impl_->window);
    impl_->lastFocus = impl_->Control(layout::IdButton3);
    SetFocus(impl_->lastFocus);
}

void Form::SetUrlText(const std::string& text) {
    SetText(impl_->Control(layout::IdEdit1), text);
}

void Form::ClearStatusLog() {
    SetText(impl_->Control(layout::IdMemo2), "");
}

void Form::AppendStatusLine(const std::string& line) {
    AppendLine(impl_->Control(layout::IdMemo2), line);
}

void Form::AppendErrorLine(const std::string& line) {
    AppendLine(impl_->Control(layout::IdErrLogMemo), line);
}

BoxAnswer Form::ShowMessageBox(BoxStyle style, const std::string& text) {
    return impl_->application.ShowMessageBox(style, text);
}

void Form::ProcessMessages() {
    impl_->application.ProcessMessages();
}

void Form::ApplyProgressMax(std::int32_t max) {
    SendMessageW(impl_->Control(layout::IdProgressBar1), PBM_SETRANGE32, 0, max);
}

void Form::SetProgressPosition(std::int32_t position) {
    SendMessageW(impl_->Control(layout::IdProgressBar1), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Form::SetReceivedSizeText(const std::string& text) {
    SetText(impl_->Control(layout::IdLblRecvSize), text);
    if (const ControlLayout* label = FindLayout(layout::IdLblRecvSize))
        impl_->SizeLabelToText(*label);
}

} // namespace qx
