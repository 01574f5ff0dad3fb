// qx_file_holder.exe FILE MARKER: holds FILE open for reading and writing
// without sharing, as another program busy with it would, until it is ended.
// MARKER is created once FILE is held, so that a test knows when to go on.
// Exit code 1 when FILE cannot be opened, 2 on bad arguments.

#include <windows.h>

#include "platform/Win32_win.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 2;
    const qx::win32::UniqueHandle file = qx::win32::OwnFileHandle(CreateFileW(
        argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 1;
    const qx::win32::UniqueHandle marker = qx::win32::OwnFileHandle(
        CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!marker)
        return 1;
    Sleep(INFINITE);
    return 0;
}
