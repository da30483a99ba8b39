#include "LoaderLog.h"

#include "BoundedText.h"
#include "LoaderRun.h"

#include <windows.h>

namespace loader {
namespace {

char g_logPath[kPathChars];

constexpr int kLineBufferChars = 256;

bool WriteAll(HANDLE file, const char* bytes, DWORD count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

}  // namespace

void WriteLoaderLog(const char* text, long errorCode)
{
    if (!text)
        return;

    HANDLE file = CreateFileA(g_logPath, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        CloseHandle(file);
        return;
    }

    char prefix[kLineBufferChars];
    wsprintfA(prefix, "(%lX, %lu) - ", GetCurrentProcessId(), GetTickCount());
    bool ok = WriteAll(file, prefix, (DWORD)lstrlenA(prefix));
    if (ok)
        ok = WriteAll(file, text, (DWORD)lstrlenA(text));
    // An empty text still ends its line, so every call leaves exactly one prefixed line.
    int length = lstrlenA(text);
    if (ok && (length == 0 || text[length - 1] != '\n'))
        ok = WriteAll(file, "\r\n", 2);
    if (ok && errorCode != kNoErrorCode) {
        char errorLine[kLineBufferChars];
        wsprintfA(errorLine, "GetLastError() returned %ld for the preceeding failure!\r\n",
                  errorCode);
        WriteAll(file, errorLine, (DWORD)lstrlenA(errorLine));
    }
    CloseHandle(file);
}

bool SetLoaderLogPath(const char* folder, const char* logFileName)
{
    return TextJoin(g_logPath, folder, logFileName);
}

const char* LoaderLogPath()
{
    return g_logPath;
}

bool MakeLogFileName(const char* loaderFileName, char* out, unsigned outCapacity)
{
    size_t stem = 0;
    size_t length = TextLength(loaderFileName);
    while (stem < length && loaderFileName[stem] != '.')
        ++stem;
    if (stem + sizeof(kLogExtension) > outCapacity)
        return false;
    char* end = out;
    for (size_t i = 0; i < stem; ++i)
        *end++ = loaderFileName[i];
    for (const char* e = kLogExtension; *e; ++e)
        *end++ = *e;
    *end = '\0';
    return true;
}

}  // namespace loader
