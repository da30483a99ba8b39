#include "loaderlog/LoaderLog.h"

#include "VoFoundation/VoLimits.h"
#include "VoFoundation/VoOwners.h"
#include "rules/BoundedText.h"

#include <windows.h>

namespace loader {
namespace {

char g_logPath[kVoPathChars];

// Where the lines go: by name to the file at the log path, into memory, or through g_logFile.
enum class LogTarget { Path, Memory, Handle };
LogTarget g_target = LogTarget::Path;
HANDLE g_logFile = INVALID_HANDLE_VALUE;  // held until the process ends

char g_early[kEarlyLogBytes];
unsigned g_earlyLength;
unsigned long g_earlyDropped;

constexpr int kLineBufferChars = 256;
constexpr char kLogExtension[] = ".log";

void ReleaseLogFile()
{
    if (g_logFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_logFile);
    g_logFile = INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, const char* bytes, DWORD count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

// One line as the log holds it: the prefix, the text, its line break unless the text has one,
// and the last-error line unless the code is kNoErrorCode.
struct LogLine {
    char prefix[kLineBufferChars];
    char errorLine[kLineBufferChars];
    const char* text;
    DWORD prefixLength, textLength, breakLength, errorLength;

    LogLine(const char* line, long errorCode) : text(line)
    {
        // wsprintfA answers with the length it wrote.
        prefixLength =
            (DWORD)wsprintfA(prefix, "(%lX, %lu) - ", GetCurrentProcessId(), GetTickCount());
        textLength = (DWORD)lstrlenA(text);
        // An empty text still ends its line, so every call leaves exactly one prefixed line.
        breakLength = textLength == 0 || text[textLength - 1] != '\n' ? 2 : 0;
        errorLength = errorCode == kNoErrorCode
                          ? 0
                          : (DWORD)wsprintfA(errorLine,
                                             "GetLastError() returned %ld for the preceeding "
                                             "failure!\r\n",
                                             errorCode);
    }

    // Each part only when the one before it was written: to the file, or else into memory,
    // where the line is kept whole or not at all.
    void writeTo(HANDLE file) const
    {
        if (!file) {
            DWORD total = prefixLength + textLength + breakLength + errorLength;
            if (textLength >= kEarlyLogBytes || total > kEarlyLogBytes - g_earlyLength) {
                ++g_earlyDropped;
                return;
            }
        }
        if (Put(file, prefix, prefixLength) && Put(file, text, textLength) &&
            Put(file, "\r\n", breakLength))
            Put(file, errorLine, errorLength);
    }

    static bool Put(HANDLE file, const char* bytes, DWORD count)
    {
        if (file)
            return count == 0 || WriteAll(file, bytes, count);
        CopyMemory(g_early + g_earlyLength, bytes, count);
        g_earlyLength += count;
        return true;
    }
};

// True when the file was opened where path names it, in the folder held by folder: some
// systems follow a link even when asked to open it as itself, and the handle then leads to the
// link's target, elsewhere.
bool OpenedWhereNamed(HANDLE file, HANDLE folder, const char* path)
{
    char opened[kVoPathChars + 8];
    char expected[kVoPathChars + 8];
    DWORD length = GetFinalPathNameByHandleA(file, opened, sizeof(opened), 0);
    DWORD folderLength = GetFinalPathNameByHandleA(folder, expected, sizeof(expected), 0);
    if (length == 0 || length >= sizeof(opened) || folderLength == 0 ||
        folderLength >= sizeof(expected) - 1)
        return false;
    if (expected[folderLength - 1] != '\\')
        TextAppend(expected, "\\");
    return TextAppend(expected, FileNamePart(path)) && lstrcmpiA(opened, expected) == 0;
}

}  // namespace

void WriteLoaderLog(const char* text, long errorCode)
{
    if (!text)
        return;
    const LogLine line(text, errorCode);
    if (g_target != LogTarget::Path) {
        line.writeTo(g_target == LogTarget::Memory ? nullptr : g_logFile);
        return;
    }
    // Readers are let in: one that holds the log (a scanner, a tool collecting it) and lets it
    // be written would otherwise cost every line until it lets go. Writers are not.
    VoUniqueHandle file(CreateFileA(g_logPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return;
    line.writeTo(file.get());
}

void WriteLoaderLog(const char* text)
{
    WriteLoaderLog(text, kNoErrorCode);
}

void KeepLoaderLogInMemory()
{
    g_target = LogTarget::Memory;
    g_earlyLength = 0;
    g_earlyDropped = 0;
}

bool StartLoaderLogFile(bool inPrivateFolder)
{
    // Outside a private folder: new, and nothing that a link could lead elsewhere.
    HANDLE file = inPrivateFolder
                      ? CreateFileA(g_logPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)
                      : CreateFileA(g_logPath, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ,
                                    nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool made = file != INVALID_HANDLE_VALUE;
    if (made)
        WriteAll(file, g_early, g_earlyLength);
    g_earlyLength = 0;
    if (inPrivateFolder) {
        if (made)
            CloseHandle(file);
        g_target = LogTarget::Path;
    } else {
        ReleaseLogFile();
        g_logFile = file;
        g_target = LogTarget::Handle;
    }
    if (g_earlyDropped != 0)
        WriteLoaderLogF(kNoErrorCode, "%lu earlier lines of this log were lost.", g_earlyDropped);
    return made;
}

unsigned long MoveLoaderLogTo(const char* folder)
{
    char target[kVoPathChars];
    struct {
        FILE_RENAME_INFO info;
        WCHAR room[kVoPathChars];
    } rename = {};
    if (!TextJoin(target, folder, FileNamePart(g_logPath)))
        return ERROR_FILENAME_EXCED_RANGE;
    int length = MultiByteToWideChar(CP_ACP, 0, target, -1, rename.info.FileName, kVoPathChars);
    if (length <= 1)
        return GetLastError();
    rename.info.ReplaceIfExists = TRUE;
    rename.info.FileNameLength = DWORD(length - 1) * sizeof(WCHAR);
    // Written by name until now, in the run's own folder. Held from here on, the log can be
    // neither replaced nor moved by anyone else; it can be read once the run has ended.
    VoUniqueHandle file(CreateFileA(g_logPath, FILE_APPEND_DATA | DELETE | SYNCHRONIZE,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file || !SetFileInformationByHandle(file.get(), FileRenameInfo, &rename, sizeof(rename)))
        return GetLastError();
    TextCopy(g_logPath, target);
    ReleaseLogFile();
    g_logFile = file.release();
    g_target = LogTarget::Handle;
    return ERROR_SUCCESS;
}

void DeleteOldLoaderLog(void* folder)
{
    VoUniqueHandle file(CreateFileA(g_logPath, DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !OpenedWhereNamed(file.get(), folder, g_logPath))
        return;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

bool SetLoaderLogPath(const char* folder, const char* logFileName)
{
    if (!TextJoin(g_logPath, folder, logFileName))
        return false;
    ReleaseLogFile();
    g_target = LogTarget::Path;
    return true;
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
