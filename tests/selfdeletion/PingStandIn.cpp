// Stands in for ping.exe when a test runs the self-deletion batch: instead of waiting about a
// second, it appends its command-line arguments as one line to %TEMP%\ping-calls.txt and
// returns at once. When %TEMP%\release.txt names a file and a call count, the call of that
// count clears the file's read-only attribute, as a file that becomes deletable at last.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

namespace {

// The command line after the program, which may be quoted.
const char* Arguments(const char* line)
{
    if (*line == '"') {
        line = strchr(line + 1, '"');
        line = line ? line + 1 : "";
    } else {
        while (*line && *line != ' ')
            ++line;
    }
    while (*line == ' ')
        ++line;
    return line;
}

// Appends one line and answers how many lines the file holds now.
int AppendCall(const char* path, const char* arguments)
{
    HANDLE file = CreateFileA(path, GENERIC_READ | FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    char content[16384];
    DWORD got = 0;
    int lines = 0;
    if (ReadFile(file, content, sizeof(content), &got, nullptr)) {
        for (DWORD i = 0; i < got; ++i)
            lines += content[i] == '\n';
    }
    DWORD written;
    WriteFile(file, arguments, (DWORD)strlen(arguments), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
    return lines + 1;
}

}  // namespace

int main()
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH - 16, temp);
    if (length == 0 || length >= MAX_PATH - 16)
        return 1;
    char calls[MAX_PATH], release[MAX_PATH];
    lstrcpyA(calls, temp);
    lstrcatA(calls, "ping-calls.txt");
    lstrcpyA(release, temp);
    lstrcatA(release, "release.txt");

    int count = AppendCall(calls, Arguments(GetCommandLineA()));

    // release.txt: "<call count> <path>"
    HANDLE file = CreateFileA(release, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    char text[MAX_PATH + 16] = "";
    DWORD got = 0;
    ReadFile(file, text, sizeof(text) - 1, &got, nullptr);
    CloseHandle(file);
    text[got] = '\0';
    char* path = nullptr;
    long at = strtol(text, &path, 10);
    if (at == count && path && *path == ' ')
        SetFileAttributesA(path + 1, FILE_ATTRIBUTE_NORMAL);
    return 0;
}
