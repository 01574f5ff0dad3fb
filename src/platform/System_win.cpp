#include "platform/System.h"

#include <windows.h>

#include <shellapi.h>
#include <wininet.h>

#include "platform/Application.h"
#include "platform/Cp932.h"
#include "platform/Win32_win.h"

namespace qx {

namespace {

// The private-profile functions are given buffers of 261 characters, so that
// a value comes back with at most 260 of them; the program sees at most 260
// bytes, as with a 261-byte buffer of the ANSI function.
constexpr DWORD kProfileBufferLength = 261;
constexpr std::size_t kProfileValueMaxBytes = 260;
constexpr int kShowNormalActivated = 5;

std::wstring DirectoryOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring(L".") : path.substr(0, separator + 1);
}

// What CopyFile itself refuses to overwrite: a directory, and a file that is
// read-only, hidden or a system file. Checked before anything is written,
// because replacing by a rename would let some of them through.
bool CanReplace(const std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    constexpr DWORD refused =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((attributes & refused) == 0)
        return true;
    SetLastError(ERROR_ACCESS_DENIED);
    win32::LogLastError(L"CopyFileOver", target);
    return false;
}

// An empty file with a unique name in the target's directory: a rename from
// there never crosses volumes, so it swaps the whole file in at once. Fails,
// creating nothing, when the directory is missing.
std::wstring CreateTemporaryBeside(const std::wstring& target) {
    const std::wstring directory = DirectoryOf(target);
    wchar_t temporary[MAX_PATH] = L"";
    if (GetTempFileNameW(directory.c_str(), L"qxu", 0, temporary) == 0) {
        win32::LogLastError(L"GetTempFileNameW", directory);
        return {};
    }
    return temporary;
}

// The new content must be on the disk before the rename makes it the
// installed file.
bool CopyAndFlush(const std::wstring& source, const std::wstring& temporary) {
    if (!CopyFileW(source.c_str(), temporary.c_str(), FALSE)) {
        win32::LogLastError(L"CopyFileW", source);
        return false;
    }
    const win32::UniqueHandle file = win32::OwnFileHandle(CreateFileW(
        temporary.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        win32::LogLastError(L"CreateFileW", temporary);
        return false;
    }
    if (!FlushFileBuffers(file.get())) {
        win32::LogLastError(L"FlushFileBuffers", temporary);
        return false;
    }
    return true;
}

// The installed file is the old one whole until the rename, and the new one
// whole after it. A target in use refuses the rename and stays as it was.
bool SwapIn(const std::wstring& temporary, const std::wstring& target) {
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    win32::LogLastError(L"MoveFileExW", target);
    return false;
}

class Win32System final : public System {
public:
    explicit Win32System(Application& application) : application_(application) {}

    std::string ReadProfileString(const std::string& section, const std::string& key,
                                  const std::string& path) override {
        std::wstring value(kProfileBufferLength, L'\0');
        value.resize(GetPrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(), L"",
                                              value.data(), kProfileBufferLength,
                                              win32::Widen(path).c_str()));
        return std::string(Cp932Prefix(win32::Narrow(value), kProfileValueMaxBytes));
    }

    void WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                            const std::string& path) override {
        const std::wstring widePath = win32::Widen(path);
        if (!WritePrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(),
                                        win32::Widen(value).c_str(), widePath.c_str()))
            win32::LogLastError(L"WritePrivateProfileStringW", widePath);
    }

    LocalTime CurrentLocalTime() override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return LocalTime{now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    }

    void ShellOpen(const std::string& file) override {
        const std::wstring wideFile = win32::Widen(file);
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(static_cast<HWND>(application_.MainWindow()), L"open", wideFile.c_str(), nullptr,
                          nullptr, kShowNormalActivated));
        if (result <= 32)
            win32::LogLastError(L"ShellExecuteW", wideFile);
    }

    bool CopyFileOver(const std::string& source, const std::string& target) override {
        const std::wstring wideSource = win32::Widen(source);
        const std::wstring wideTarget = win32::Widen(target);
        if (!CanReplace(wideTarget))
            return false;
        const std::wstring temporary = CreateTemporaryBeside(wideTarget);
        if (temporary.empty())
            return false;
        if (CopyAndFlush(wideSource, temporary) && SwapIn(temporary, wideTarget))
            return true;
        if (!DeleteFileW(temporary.c_str()))
            win32::LogLastError(L"DeleteFileW", temporary);
        return false;
    }

    void RemoveFile(const std::string& path) override {
        const std::wstring widePath = win32::Widen(path);
        if (!DeleteFileW(widePath.c_str()))
            win32::LogLastError(L"DeleteFileW", widePath);
    }

    bool InternetConnected() override {
        DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) != FALSE;
    }

    std::string ExecutablePath() override { return application_.ExeName(); }

private:
    Application& application_;
};

} // namespace

std::unique_ptr<System> CreateSystem(Application& application) {
    return std::make_unique<Win32System>(application);
}

} // namespace qx
