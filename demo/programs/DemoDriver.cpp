// qxdemo_driver.exe: plays the user of qxntupd.exe in the demo when there is
// no display to show it on. Run in the same Wine prefix as the updater, with
// the updater's full Windows path as its argument, it finds the updater's
// process by that path and then, until the process ends:
// - answers each message box of the updater (a dialog box of that process
//   with the caption "Network Updator for Tavi") Yes, or OK where there is no
//   Yes, and prints its text;
// - prints "midupdate LEFT TOP WIDTH HEIGHT" (the window's screen rectangle)
//   once, while a download is half done, so that the caller can take a
//   screenshot;
// - keeps the texts of both logs, read through WM_GETTEXT, and prints them
//   when the updater has ended.
// Output is UTF-8. Exit code 0 when the updater ended within the time bound,
// 1 otherwise (the updater is then ended), 2 for bad arguments.

#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "updater/Texts.h"
#include "updater/Unit1Layout.h"

namespace {

constexpr DWORD kTimeBoundMs = 120000;
constexpr DWORD kPollMs = 20;
constexpr UINT kMessageTimeoutMs = 5000;
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageBoxTextId = 0xFFFF;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::wstring FromCodePage(UINT codePage, const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(
        static_cast<std::size_t>(MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                                     wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

std::string ToUtf8(const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

void PrintLine(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::optional<LRESULT> SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

std::optional<std::wstring> TextOf(HWND window) {
    const std::optional<LRESULT> length = SendBounded(window, WM_GETTEXTLENGTH, 0, 0);
    if (!length)
        return std::nullopt;
    std::wstring text(static_cast<std::size_t>(*length) + 1, L'\0');
    const std::optional<LRESULT> copied =
        SendBounded(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (!copied)
        return std::nullopt;
    text.resize(static_cast<std::size_t>(*copied));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::optional<DWORD> FindProcessByImagePath(const std::wstring& imagePath) {
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        const UniqueHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process)
            continue;
        std::wstring path(32768, L'\0');
        DWORD length = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameW(process.get(), 0, path.data(), &length)) {
            path.resize(length);
            if (CompareStringOrdinal(path.c_str(), -1, imagePath.c_str(), -1, TRUE) == CSTR_EQUAL)
                return entry.th32ProcessID;
        }
    }
    return std::nullopt;
}

struct WindowQuery {
    DWORD processId;
    bool dialog;
    HWND found;
};

// A visible top-level window of the updater with the program's title: the
// main window, or a dialog box (a message box) when `dialog` is set.
HWND FindUpdaterWindow(DWORD processId, bool dialog) {
    WindowQuery query{processId, dialog, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& query = *reinterpret_cast<WindowQuery*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != query.processId || !IsWindowVisible(window) ||
                (ClassOf(window) == kDialogClass) != query.dialog ||
                TextOf(window) != FromCodePage(932, qx::texts::kAppTitle))
                return TRUE;
            query.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

struct Logs {
    std::wstring status;
    std::wstring errors;
};

void ReadLogs(HWND mainWindow, Logs& logs) {
    if (const auto status = TextOf(GetDlgItem(mainWindow, qx::layout::IdMemo2)))
        logs.status = *status;
    if (const auto errors = TextOf(GetDlgItem(mainWindow, qx::layout::IdErrLogMemo)))
        logs.errors = *errors;
}

bool DownloadHalfDone(HWND mainWindow) {
    const HWND bar = GetDlgItem(mainWindow, qx::layout::IdProgressBar1);
    const std::optional<LRESULT> position = SendBounded(bar, PBM_GETPOS, 0, 0);
    const std::optional<LRESULT> maximum = SendBounded(bar, PBM_GETRANGE, FALSE, 0);
    return position && maximum && *position * 2 >= *maximum && *position < *maximum;
}

void ReportMidUpdate(HWND mainWindow) {
    RECT bounds{};
    GetWindowRect(mainWindow, &bounds);
    PrintLine("midupdate " + std::to_string(bounds.left) + " " + std::to_string(bounds.top) + " " +
              std::to_string(bounds.right - bounds.left) + " " + std::to_string(bounds.bottom - bounds.top));
}

// Yes where the box has it, OK otherwise; returns when the box is gone.
void Answer(HWND box, ULONGLONG deadline) {
    const std::wstring text = TextOf(GetDlgItem(box, kMessageBoxTextId)).value_or(L"");
    const int button = GetDlgItem(box, IDYES) != nullptr ? IDYES : IDOK;
    std::wstring shown = text;
    for (wchar_t& c : shown)
        c = c == L'\n' ? L' ' : c;
    PrintLine("box: " + ToUtf8(shown) + (button == IDYES ? "  -> Yes" : "  -> OK"));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    while (IsWindow(box) && IsWindowVisible(box) && GetTickCount64() < deadline)
        Sleep(kPollMs);
}

void PrintLog(const char* heading, const std::wstring& text) {
    PrintLine(heading);
    std::wstring withoutCarriageReturns;
    for (wchar_t c : text) {
        if (c != L'\r')
            withoutCarriageReturns += c;
    }
    std::fputs(ToUtf8(withoutCarriageReturns).c_str(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: qxdemo_driver.exe UPDATER_EXE_WINDOWS_PATH\n", stderr);
        return 2;
    }
    const std::wstring imagePath = FromCodePage(CP_ACP, argv[1]);
    const ULONGLONG deadline = GetTickCount64() + kTimeBoundMs;

    std::optional<DWORD> processId;
    while (!(processId = FindProcessByImagePath(imagePath)) && GetTickCount64() < deadline)
        Sleep(kPollMs);
    const UniqueHandle process(processId ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, *processId)
                                         : nullptr);
    if (!process) {
        PrintLine("the updater's process was not found");
        return 1;
    }

    Logs logs;
    bool midUpdateReported = false;
    while (WaitForSingleObject(process.get(), kPollMs) == WAIT_TIMEOUT) {
        if (GetTickCount64() >= deadline) {
            PrintLine("the updater did not end in time; ending it");
            TerminateProcess(process.get(), 1);
            return 1;
        }
        const HWND mainWindow = FindUpdaterWindow(*processId, false);
        if (mainWindow == nullptr)
            continue;
        ReadLogs(mainWindow, logs);
        if (!midUpdateReported && DownloadHalfDone(mainWindow)) {
            ReportMidUpdate(mainWindow);
            midUpdateReported = true;
        }
        if (const HWND box = FindUpdaterWindow(*processId, true))
            Answer(box, deadline);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    PrintLine("the updater ended with exit code " + std::to_string(exitCode));
    PrintLog("--- status log ---", logs.status);
    PrintLog("--- error log ---", logs.errors);
    return 0;
}
