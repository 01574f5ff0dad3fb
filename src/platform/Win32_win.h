#pragma once

// Helpers shared by the Win32 implementations of the platform interfaces:
// code page 932 text to and from the wide-character API, owned handles, and
// the debug log of failed Win32 calls.

#include <windows.h>

// windows.h maps this name to WriteProfileStringW, which would rename the
// member of the System interface in every file that sees both.
#undef WriteProfileString

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace qx::win32 {

// The program's byte strings are code page 932 whatever the system's ANSI code
// page is; the window, the message boxes and the file system get them through
// the W API, converted with code page 932 explicitly.
std::wstring Widen(std::string_view cp932);
std::string Narrow(std::wstring_view text);

// Writes "qxntupd: <call>(<subject>) failed: <code> <system text>" for the
// calling thread's last error to the debugger output (OutputDebugStringW:
// DebugView on Windows, WINEDEBUG=warn+seh under Wine 8). The program reports
// its own failures in its window as the update rules say; this log is for the
// developer who needs to know why a system call refused.
void LogLastError(std::wstring_view call, std::wstring_view subject = {});

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// CreateFileW reports failure as INVALID_HANDLE_VALUE, not as null.
inline UniqueHandle OwnFileHandle(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

} // namespace qx::win32
