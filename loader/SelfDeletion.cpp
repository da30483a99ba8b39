#include "SelfDeletion.h"

#include "CommandLine.h"
#include "Launch.h"
#include "LoaderRun.h"
#include "SelfDeletionBatch.h"
#include "VoFoundation/VoOwners.h"
#include "VoFoundation/VoSystem.h"
#include "loaderlog/BoundedText.h"
#include "loaderlog/LoaderLog.h"

#include <string.h>
#include <windows.h>

namespace loader {

payload::WriteFileFunction g_writeBatchFile = &WriteFile;

namespace {

constexpr char kBatchNameFormat[] = "%s~VO%05x.bat";
constexpr size_t kBatchNameChars = 12;      // "~VO", five hex digits, ".bat"
constexpr DWORD kBatchNameLimit = 0xFFFFF;  // counters 0 to 0xFFFFE are tried
constexpr DWORD kBatchFileAttributes = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
constexpr size_t kBatchCommandChars = 1024;

// Errors that every other counter would meet as well: the folder, not the name, is at fault.
bool IsFolderError(DWORD error)
{
    return error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_PATHNAME;
}

// Why the module path cannot be handed to del, or null when it can.
const char* ModulePathProblem(const char* modulePath, bool modulePathComplete)
{
    if (!modulePath || !modulePath[0])
        return "Self-deletion skipped: the loader's path is unknown.";
    // GetModuleFileNameA reports a path cut at the buffer's end; 259 characters are whole.
    if (!modulePathComplete || strnlen(modulePath, kPathChars) >= (size_t)kPathChars)
        return "Self-deletion skipped: the loader's path fills the path buffer and may be cut short.";
    if (strpbrk(modulePath, "?*"))
        return "Self-deletion skipped: the loader's path holds '?' or '*' and would match other files.";
    // The path stands in double quotes in the batch, which runs elevated: a quote of its own
    // would end them and let the rest of the name be read as commands.
    if (strchr(modulePath, '"'))
        return "Self-deletion skipped: the loader's path holds '\"' and would break the batch's quoting.";
    // The system reports its module's path in full form. The ANSI code page turns full-width
    // backslashes, slashes, colons and full stops into plain ones, and the path then names
    // another file (through "..", say), which the elevated batch would delete instead.
    char fullPath[kPathChars];
    DWORD fullLength = GetFullPathNameA(modulePath, kPathChars, fullPath, nullptr);
    if (fullLength == 0 || fullLength >= (DWORD)kPathChars || strcmp(fullPath, modulePath) != 0 ||
        strchr(modulePath + 2, ':'))
        return "Self-deletion skipped: the loader's path is not in full form and may name another file.";
    return nullptr;
}

// Creates the first batch name that does not exist yet; false after logging when none can be.
bool CreateBatchFile(const char* systemTempPath, char (&batchPath)[kPathChars],
                     VoUniqueHandle& file)
{
    DWORD error = ERROR_SUCCESS;
    for (DWORD counter = 0; counter < kBatchNameLimit; ++counter) {
        wsprintfA(batchPath, kBatchNameFormat, systemTempPath, counter);
        // CREATE_NEW: an existing file of that name is never overwritten.
        file.reset(CreateFileA(batchPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               kBatchFileAttributes, nullptr));
        if (file)
            return true;
        error = GetLastError();
        if (IsFolderError(error))
            break;
    }
    WriteLoaderLog("Could not create batch file.", (long)error);
    return false;
}

}  // namespace

bool IsSilentInstall(int argc, char** argv)
{
    if (argc < 4 || !argv || !argv[1] || !argv[2])
        return false;
    if (strncmp(argv[1], "-s", 2) != 0 || strncmp(argv[2], "-a", 2) != 0)
        return false;
    WriteLoaderLog("### silent install detected ###");
    return true;
}

void ScheduleSelfDeletion(const char* systemTempPath, const char* modulePath,
                          bool modulePathComplete)
{
    if (const char* problem = ModulePathProblem(modulePath, modulePathComplete)) {
        WriteLoaderLog(problem);
        return;
    }
    if (!systemTempPath || TextLength(systemTempPath) + kBatchNameChars >= (size_t)kPathChars) {
        WriteLoaderLog("Could not create batch file.", ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    // The interpreter and the ping used for waiting are taken from the system folder by full
    // path, never found by name, so a program planted beside the loader is never run.
    char interpreterPath[kPathChars];
    char pingPath[kPathChars];
    if (!VoSystemFilePath("cmd.exe", interpreterPath, kPathChars) ||
        !VoSystemFilePath("ping.exe", pingPath, kPathChars)) {
        WriteLoaderLog("Could not create batch process.", (long)GetLastError());
        return;
    }
    // Every batch name has the same length, so a text that fits for one fits for all.
    char batchPath[kPathChars];
    char batchText[kBatchTextChars];
    wsprintfA(batchPath, kBatchNameFormat, systemTempPath, 0u);
    if (!ComposeSelfDeletionBatch(batchText, sizeof(batchText), modulePath, batchPath, pingPath)) {
        WriteLoaderLog("Self-deletion skipped: the batch text would not fit its buffer.");
        return;
    }

    VoUniqueHandle file;
    if (!CreateBatchFile(systemTempPath, batchPath, file))
        return;
    ComposeSelfDeletionBatch(batchText, sizeof(batchText), modulePath, batchPath, pingPath);
    // A batch cut short could stop anywhere, even inside a path: it is never started.
    DWORD length = (DWORD)TextLength(batchText);
    DWORD written = 0;
    BOOL wrote = g_writeBatchFile(file.get(), batchText, length, &written, nullptr);
    // A write that succeeds short of the length has run out of room.
    DWORD writeError = wrote ? (DWORD)ERROR_DISK_FULL : GetLastError();
    file.reset();
    if (!wrote || written != length) {
        DeleteFileA(batchPath);
        WriteLoaderLog("Could not write batch file.", (long)writeError);
        return;
    }

    // "cmd" /d /s /c ""batch"": /d keeps the AutoRun commands of the registry from running
    // with the batch; the outer quotes are removed, the batch path keeps its own.
    char command[kBatchCommandChars];
    bool commandFits = StartCommandLineWithProgram(command, sizeof(command), interpreterPath) &&
                       TextAppend(command, " /d /s /c \"\"") && TextAppend(command, batchPath) &&
                       TextAppend(command, "\"\"");

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    BOOL created = commandFits && g_createProcess(interpreterPath, command, nullptr, nullptr, FALSE,
                                                  CREATE_SUSPENDED | IDLE_PRIORITY_CLASS, nullptr,
                                                  "\\", &startup, &process);
    if (!created) {
        DWORD error = commandFits ? GetLastError() : (DWORD)ERROR_FILENAME_EXCED_RANGE;
        DeleteFileA(batchPath);
        WriteLoaderLog("Could not create batch process.", (long)error);
        return;
    }
    VoUniqueHandle batchProcess(process.hProcess);
    VoUniqueHandle batchThread(process.hThread);
    // The batch may run only once the loader is done: it idles while the loader runs high.
    SetThreadPriority(batchThread.get(), THREAD_PRIORITY_IDLE);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    batchProcess.reset();
    ResumeThread(batchThread.get());
}

}  // namespace loader
