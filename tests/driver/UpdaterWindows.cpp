#include "UpdaterWindows.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdint>
#include <type_traits>
#include <utility>

#include "LineProtocol.h"

namespace qx::driver {
namespace {

constexpr UINT kCodePage932 = 932;

std::string ToCp932(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(kCodePage932, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                         0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kCodePage932, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

std::optional<LRESULT> SendBounded(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

std::wstring ImagePathOf(HANDLE process) {
    std::wstring path(MAX_PATH * 4, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &size))
        return {};
    path.resize(size);
    return path;
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

std::vector<HWND> VisibleTopLevelWindowsOf(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            if (ProcessOf(window) == s.processId && IsWindowVisible(window))
                s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

constexpr char kDialogClass[] = "#32770";

// A window's own caption: for a top-level window Windows keeps it outside
// the window, so it can be read even while the owner thread is busy.
std::string CaptionOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return ToCp932(text);
}

POINT ClientOrigin(HWND window) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return origin;
}

struct Flag {
    bool set;
    const char* name;
};

std::string JoinFlags(std::initializer_list<Flag> flags) {
    std::string joined;
    for (const Flag& flag : flags) {
        if (!flag.set)
            continue;
        if (!joined.empty())
            joined += ',';
        joined += flag.name;
    }
    return joined;
}

HWND FocusedWindowOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::string ControlFlags(HWND control, const std::string& className, HWND focus) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
    const bool edit = className == "Edit";
    const bool label = className == "Static";
    return JoinFlags({
        {(style & WS_VISIBLE) != 0, "visible"},
        {(style & WS_DISABLED) == 0, "enabled"},
        {(style & WS_TABSTOP) != 0, "tabstop"},
        {control == focus, "focus"},
        {(style & WS_HSCROLL) != 0, "hscroll"},
        {(style & WS_VSCROLL) != 0, "vscroll"},
        {edit && (style & ES_READONLY) != 0, "readonly"},
        {edit && (style & ES_MULTILINE) != 0, "multiline"},
        {label && (style & SS_TYPEMASK) == SS_RIGHT, "right"},
        {className == PROGRESS_CLASSA && (style & PBS_SMOOTH) != 0, "smooth"},
    });
}

void AddProgressFields(ReportBuilder& report, HWND bar) {
    report.Add("min", SendBounded(bar, PBM_GETRANGE, TRUE).value_or(-1))
        .Add("max", SendBounded(bar, PBM_GETRANGE, FALSE).value_or(-1))
        .Add("pos", SendBounded(bar, PBM_GETPOS).value_or(-1));
}

RECT RectInClient(HWND control, HWND parent) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string DescribeControl(HWND control, HWND parent, HWND focus) {
    const std::string className = ClassNameOf(control);
    const RECT rect = RectInClient(control, parent);
    ReportBuilder report("control");
    report.Add("class", className)
        .Add("id", GetDlgCtrlID(control))
        .Add("left", rect.left)
        .Add("top", rect.top)
        .Add("width", rect.right - rect.left)
        .Add("height", rect.bottom - rect.top)
        .Add("flags", ControlFlags(control, className, focus));
    if (className == PROGRESS_CLASSA)
        AddProgressFields(report, control);
    else if (const auto text = WindowText(control))
        report.Add("text", *text);
    return report.Line();
}

HWND FindChildOfClass(HWND parent, const std::string& className) {
    for (HWND child : ChildWindows(parent))
        if (ClassNameOf(child) == className)
            return child;
    return nullptr;
}

// The byte-count label stands on the bar's row, right of the bar.
HWND FindLabelRightOf(HWND parent, HWND bar) {
    const RECT barRect = RectInClient(bar, parent);
    HWND nearest = nullptr;
    LONG nearestLeft = 0;
    for (HWND child : ChildWindows(parent)) {
        if (ClassNameOf(child) != "Static")
            continue;
        const RECT rect = RectInClient(child, parent);
        const bool sameRow = rect.top < barRect.bottom && rect.bottom > barRect.top;
        if (sameRow && rect.left >= barRect.right && (!nearest || rect.left < nearestLeft)) {
            nearest = child;
            nearestLeft = rect.left;
        }
    }
    return nearest;
}

const char* ButtonName(int id) {
    switch (id) {
    case IDOK:
        return "ok";
    case IDCANCEL:
        return "cancel";
    case IDYES:
        return "yes";
    case IDNO:
        return "no";
    case IDABORT:
        return "abort";
    case IDRETRY:
        return "retry";
    case IDIGNORE:
        return "ignore";
    default:
        return "other";
    }
}

bool IsIconStatic(HWND control) {
    return ClassNameOf(control) == "Static" &&
           (GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct ObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using UniqueObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, ObjectDeleter>;

// A 32-bit top-down bitmap of `width` x `height` pixels whose bits can be read
// directly, selected into a memory device context.
class PixelCanvas {
public:
    PixelCanvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const std::uint32_t*>(bits);
        SelectObject(dc_.get(), bitmap_.get());
    }

    HDC Dc() const { return dc_.get(); }
    std::vector<std::uint32_t> Pixels() const {
        GdiFlush();
        return bits_ ? std::vector<std::uint32_t>(bits_, bits_ + width_ * height_)
                     : std::vector<std::uint32_t>{};
    }
    void Fill(COLORREF colour) {
        RECT all{0, 0, width_, height_};
        const UniqueObject brush(CreateSolidBrush(colour));
        FillRect(dc_.get(), &all, static_cast<HBRUSH>(brush.get()));
    }

private:
    int width_;
    int height_;
    UniqueDc dc_;
    UniqueObject bitmap_;
    const std::uint32_t* bits_ = nullptr;
};

std::vector<std::uint32_t> ScreenPixels(const RECT& rect) {
    PixelCanvas canvas(rect.right - rect.left, rect.bottom - rect.top);
    const HDC screen = GetDC(nullptr);
    BitBlt(canvas.Dc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top,
           SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas.Pixels();
}

std::vector<std::uint32_t> IconPixelsOn(HICON icon, int width, int height, COLORREF background) {
    PixelCanvas canvas(width, height);
    canvas.Fill(background);
    DrawIconEx(canvas.Dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    return canvas.Pixels();
}

bool CloseColours(std::uint32_t a, std::uint32_t b) {
    constexpr int kTolerance = 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (difference > kTolerance || difference < -kTolerance)
            return false;
    }
    return true;
}

// The share of the icon's opaque pixels (those that come out the same on a
// black and on a white background) that the screen shows in their colour.
double IconMatch(const std::vector<std::uint32_t>& screen, HICON icon, int width, int height) {
    const auto onBlack = IconPixelsOn(icon, width, height, RGB(0, 0, 0));
    const auto onWhite = IconPixelsOn(icon, width, height, RGB(255, 255, 255));
    if (screen.size() != onBlack.size() || onBlack.size() != onWhite.size())
        return 0;
    std::size_t opaque = 0;
    std::size_t matching = 0;
    for (std::size_t i = 0; i < screen.size(); ++i) {
        if (!CloseColours(onBlack[i], onWhite[i]))
            continue;
        ++opaque;
        matching += CloseColours(onBlack[i], screen[i]) ? 1 : 0;
    }
    return opaque == 0 ? 0 : static_cast<double>(matching) / static_cast<double>(opaque);
}

// Icon handles belong to the process that loaded them, so the box's icon is
// recognised by its picture: the system icon that best matches what the
// screen shows in the icon control.
std::optional<std::string> RecogniseIcon(HWND iconControl) {
    // The question and the information icon share their round blue body and
    // differ in about an eighth of their pixels, so the bar lies well above
    // what one of them scores against the other.
    constexpr double kRequiredMatch = 0.97;
    RECT rect{};
    GetClientRect(iconControl, &rect);
    MapWindowPoints(iconControl, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const auto screen = ScreenPixels(rect);
    const std::pair<LPCWSTR, const char*> known[] = {
        {IDI_QUESTION, "question"},
        {IDI_INFORMATION, "information"},
        {IDI_WARNING, "exclamation"},
        {IDI_ERROR, "stop"},
    };
    std::optional<std::string> best;
    double bestMatch = kRequiredMatch;
    for (const auto& [id, name] : known) {
        const double match = IconMatch(screen, LoadIconW(nullptr, id), width, height);
        if (match >= bestMatch) {
            best = name;
            bestMatch = match;
        }
    }
    return best;
}

constexpr DWORD kIconPaintTimeoutMs = 2000;

// The box may not have painted its icon yet when it is first seen, so the
// screen is looked at until the picture is recognised or a time bound passes.
std::string IconNameOf(HWND iconControl) {
    if (!iconControl || !SendBounded(iconControl, STM_GETICON).value_or(0))
        return "none";
    return PollFor(kIconPaintTimeoutMs, [&] { return RecogniseIcon(iconControl); }).value_or("unknown");
}

} // namespace

std::optional<std::string> WindowText(HWND window, UINT timeoutMs) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &length))
        return std::nullopt;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, timeoutMs, &copied))
        return std::nullopt;
    text.resize(copied);
    return ToCp932(text);
}

std::string ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return ToCp932(std::wstring(name, static_cast<std::size_t>(length)));
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::optional<UpdaterProcess> UpdaterProcess::FindByImagePath(const std::wstring& imagePath) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        snapshot.release();
        return std::nullopt;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        UniqueHandle process(
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (process && SameText(ImagePathOf(process.get()), imagePath))
            return UpdaterProcess(entry.th32ProcessID, std::move(process));
    }
    return std::nullopt;
}

std::optional<DWORD> UpdaterProcess::WaitForEnd(DWORD timeoutMs) const {
    if (WaitForSingleObject(handle_.get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD exitCode = 0;
    GetExitCodeProcess(handle_.get(), &exitCode);
    return exitCode;
}

HWND FindMainWindow(DWORD processId, const std::string& caption) {
    for (HWND window : VisibleTopLevelWindowsOf(processId))
        if (ClassNameOf(window) != kDialogClass && CaptionOf(window) == caption)
            return window;
    return nullptr;
}

HWND FindMessageBox(DWORD processId) {
    for (HWND window : VisibleTopLevelWindowsOf(processId))
        if (ClassNameOf(window) == kDialogClass)
            return window;
    return nullptr;
}

std::string DescribeMessageBox(HWND box) {
    std::string text;
    std::string buttons;
    HWND iconControl = nullptr;
    for (HWND child : ChildWindows(box)) {
        if (!IsWindowVisible(child))
            continue;
        const std::string className = ClassNameOf(child);
        if (className == "Button") {
            buttons += (buttons.empty() ? "" : ",");
            buttons += ButtonName(GetDlgCtrlID(child));
        } else if (IsIconStatic(child)) {
            iconControl = child;
        } else if (className == "Static") {
            text += WindowText(child).value_or("");
        }
    }
    return ReportBuilder("box")
        .Add("caption", CaptionOf(box))
        .Add("text", text)
        .Add("buttons", buttons)
        .Add("icon", IconNameOf(iconControl))
        .Line();
}

std::vector<std::string> DescribeMainWindow(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    RECT client{};
    GetClientRect(window, &client);
    const POINT origin = ClientOrigin(window);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    std::vector<std::string> lines;
    lines.push_back(ReportBuilder("window")
                        .Add("caption", CaptionOf(window))
                        .Add("left", frame.left)
                        .Add("top", frame.top)
                        .Add("width", frame.right - frame.left)
                        .Add("height", frame.bottom - frame.top)
                        .Add("clientleft", origin.x)
                        .Add("clienttop", origin.y)
                        .Add("clientwidth", client.right)
                        .Add("clientheight", client.bottom)
                        .Add("screenwidth", GetSystemMetrics(SM_CXSCREEN))
                        .Add("screenheight", GetSystemMetrics(SM_CYSCREEN))
                        .Add("flags", JoinFlags({
                                          {(style & WS_SYSMENU) != 0, "sysmenu"},
                                          {(style & WS_MINIMIZEBOX) != 0, "minbox"},
                                          {(style & WS_MAXIMIZEBOX) != 0, "maxbox"},
                                          {(style & WS_THICKFRAME) != 0, "sizebox"},
                                          {(style & WS_CAPTION) == WS_CAPTION, "caption"},
                                          {IsWindowEnabled(window) != FALSE, "enabled"},
                                          {GetForegroundWindow() == window, "foreground"},
                                      }))
                        .Line());
    const HWND focus = FocusedWindowOf(window);
    for (HWND control : ChildWindows(window))
        lines.push_back(DescribeControl(control, window, focus));
    return lines;
}

std::string DescribeProgress(HWND window) {
    ReportBuilder report("progress");
    const HWND bar = FindChildOfClass(window, PROGRESS_CLASSA);
    if (!bar)
        return report.Line();
    AddProgressFields(report, bar);
    if (const HWND label = FindLabelRightOf(window, bar))
        report.Add("label", WindowText(label).value_or(""));
    return report.Line();
}

HWND FindButtonById(HWND parent, int id) {
    for (HWND child : ChildWindows(parent))
        if (IsWindowVisible(child) && GetDlgCtrlID(child) == id && ClassNameOf(child) == "Button")
            return child;
    return nullptr;
}

HWND FindButtonByText(HWND parent, const std::string& text) {
    for (HWND child : ChildWindows(parent))
        if (ClassNameOf(child) == "Button" && WindowText(child) == text)
            return child;
    return nullptr;
}

} // namespace qx::driver
