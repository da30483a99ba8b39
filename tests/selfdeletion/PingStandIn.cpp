// Stands in for ping.exe when a test runs the self-deletion batch: instead of waiting about a
// second, it appends its command-line arguments as one line to %TEMP%\ping-calls.txt and
// returns at once.
#include <windows.h>

#include <string.h>

int main()
{
    // The arguments follow the program, which may be quoted.
    const char* arguments = GetCommandLineA();
    if (*arguments == '"') {
        arguments = strchr(arguments + 1, '"');
        arguments = arguments ? arguments + 1 : "";
    } else {
        arguments += strcspn(arguments, " ");
    }
    arguments += strspn(arguments, " ");

    char path[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH - 16, path);
    if (length == 0 || length >= MAX_PATH - 16)
        return 1;
    lstrcatA(path, "ping-calls.txt");
    // Appends are shared, and a file still held by the run before (its close not yet seen by
    // everyone) is tried again for up to ten seconds (a loaded machine), so that no call goes
    // unrecorded.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 1000 && file == INVALID_HANDLE_VALUE; ++tries) {
        file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            Sleep(10);
    }
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written;
    WriteFile(file, arguments, (DWORD)strlen(arguments), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
    return 0;
}
