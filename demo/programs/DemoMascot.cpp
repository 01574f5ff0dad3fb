// qxdemo_mascot.exe: the stand-in for the mascot application that the demo's
// qxntupd.ini names in STARTAPP. It shows nothing; it leaves the file
// mascot_started.txt beside itself, so that the demo can tell that the updater
// started it.

#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    path.replace(path.find_last_of(L'\\') + 1, std::wstring::npos, L"mascot_started.txt");
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(file);
    return 0;
}
