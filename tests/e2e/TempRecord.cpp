#include "TempRecord.h"

#include <windows.h>

namespace e2e_hooks {

void AppendToTempRecord(const char* fileName, const char* first, const char* second)
{
    char path[MAX_PATH + 32];
    DWORD length = GetTempPathA(MAX_PATH, path);
    if (length == 0 || length >= MAX_PATH || lstrlenA(fileName) >= 32)
        return;
    lstrcatA(path, fileName);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD done;
    WriteFile(file, first, lstrlenA(first), &done, nullptr);
    WriteFile(file, "|", 1, &done, nullptr);
    WriteFile(file, second, lstrlenA(second), &done, nullptr);
    WriteFile(file, "\r\n", 2, &done, nullptr);
    CloseHandle(file);
}

}  // namespace e2e_hooks
