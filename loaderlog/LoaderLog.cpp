#include "loaderlog/LoaderLog.h"

#include "VoFoundation/VoLimits.h"
#include "VoFoundation/VoOwners.h"
#include "loaderlog/BoundedText.h"

#include <windows.h>

namespace loader {
namespace {

char g_logPath[kVoPathChars];

constexpr int kLineBufferChars = 256;
constexpr char kLogExtension[] = ".log";

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

    // Readers are let in: one that holds the log (a scanner, a tool collecting it) and lets it
    // be written would otherwise cost every line until it lets go. Writers are not.
    VoUniqueHandle file(CreateFileA(g_logPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return;

    // wsprintfA answers with the length it wrote.
    char prefix[kLineBufferChars];
    int prefixLength = wsprintfA(prefix, "(%lX, %lu) - ", GetCurrentProcessId(), GetTickCount());
    int length = lstrlenA(text);
    bool ok = WriteAll(file.get(), prefix, (DWORD)prefixLength);
    if (ok)
        ok = WriteAll(file.get(), text, (DWORD)length);
    // An empty text still ends its line, so every call leaves exactly one prefixed line.
    if (ok && (length == 0 || text[length - 1] != '\n'))
        ok = WriteAll(file.get(), "\r\n", 2);
    if (ok && errorCode != kNoErrorCode) {
        char errorLine[kLineBufferChars];
        int errorLength = wsprintfA(
            errorLine, "GetLastError() returned %ld for the preceeding failure!\r\n", errorCode);
        WriteAll(file.get(), errorLine, (DWORD)errorLength);
    }
}

bool SetLoaderLogPath(const char* folder, const char* logFileName)
{
    return TextJoin(g_logPath, folder, logFileName);
}

const char* LoaderLogPath()
{
    return g_logPath;
}

void PointLoaderLogAt(const char* folder, const char* logFileName)
{
    if (SetLoaderLogPath(folder, logFileName))
        return;
    // Room for the fixed text and any folder the log path could have held.
    char message[kVoPathChars + 64];
    wsprintfA(message, "Log path in '%.259s' is too long, the log stays where it is.", folder);
    WriteLoaderLog(message, ERROR_FILENAME_EXCED_RANGE);
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
