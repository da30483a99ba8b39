#include "TempRecord.h"

namespace e2e_hooks {

bool Setting(const char* name, char (&value)[MAX_PATH])
{
    DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH;
}

bool IsSet(const char* name)
{
    char value[MAX_PATH];
    return Setting(name, value);
}

bool IsInstallerFile(const char* path)
{
    size_t length = lstrlenA(path);
    return length >= 10 && lstrcmpiA(path + length - 10, "\\Setup.exe") == 0;
}

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
    WriteFile(file, first ? first : "", lstrlenA(first), &done, nullptr);
    WriteFile(file, "|", 1, &done, nullptr);
    WriteFile(file, second ? second : "", lstrlenA(second), &done, nullptr);
    WriteFile(file, "\r\n", 2, &done, nullptr);
    CloseHandle(file);
}

}  // namespace e2e_hooks
