#include "platform/Win32_win.h"

#include <iterator>

namespace qx::win32 {

namespace {

constexpr UINT kCodePage932 = 932;

} // namespace

std::wstring Widen(std::string_view cp932) {
    if (cp932.empty())
        return {};
    const int length =
        MultiByteToWideChar(kCodePage932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
    if (length == 0) {
        LogLastError(L"MultiByteToWideChar");
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(kCodePage932, 0, cp932.data(), static_cast<int>(cp932.size()), wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(kCodePage932, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length == 0) {
        LogLastError(L"WideCharToMultiByte");
        return {};
    }
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(kCodePage932, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                        nullptr, nullptr);
    return bytes;
}

void LogLastError(std::wstring_view call, std::wstring_view subject) {
    const DWORD error = GetLastError();
    wchar_t systemText[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, systemText,
                   static_cast<DWORD>(std::size(systemText)), nullptr);
    std::wstring line = L"qxntupd: ";
    line.append(call).append(L"(").append(subject).append(L") failed: ");
    line.append(std::to_wstring(error)).append(L" ").append(systemText);
    if (line.back() != L'\n')
        line += L'\n';
    OutputDebugStringW(line.c_str());
}

} // namespace qx::win32
