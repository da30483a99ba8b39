#include "SelfDeletion.h"

#include "rules/CommandLine.h"
#include "Launch.h"
#include "LoaderRun.h"
#include "PrivateFolder.h"
#include "rules/SelfDeletionBatch.h"
#include "VoFoundation/VoDescriptorTrust.h"
#include "VoFoundation/VoOwners.h"
#include "VoFoundation/VoSystem.h"
#include "VoFoundation/VoSystemCalls.h"
#include "rules/BoundedText.h"
#include "loaderlog/LoaderLog.h"

#include <string.h>
#include <wchar.h>
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace loader {

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

// "Self-deletion skipped: <reason>"; a reason that begins with a blank is about the loader's
// path: "Self-deletion skipped: the loader's path<reason>".
void LogSkipped(const char* reason)
{
    WriteLoaderLogF(kNoErrorCode, "Self-deletion skipped: %s%s",
                    reason[0] == ' ' ? "the loader's path" : "", reason);
}

// Why the module path cannot be handed to del (see LogSkipped), or null when it can.
const char* ModulePathProblem(const char* modulePath, bool modulePathComplete, bool modulePathNamed)
{
    if (!modulePath || !modulePath[0])
        return " is unknown.";
    // GetModuleFileNameA reports a path cut at the buffer's end; 259 characters are whole.
    if (!modulePathComplete || strnlen(modulePath, kPathChars) >= (size_t)kPathChars)
        return " fills the path buffer and may be cut short.";
    // Its ANSI form names another file, or none, and it has no plain short name.
    if (!modulePathNamed)
        return " has no name in the ANSI code page.";
    if (strpbrk(modulePath, "?*"))
        return " holds '?' or '*' and would match other files.";
    // The path stands in double quotes in the batch, which runs elevated: a quote of its own
    // would end them and let the rest of the name be read as commands.
    if (strchr(modulePath, '"'))
        return " holds '\"' and would break the batch's quoting.";
    // The system reports its module's path in full form. The ANSI code page turns full-width
    // backslashes, slashes, colons and full stops into plain ones, and the path then names
    // another file (through "..", say), which the elevated batch would delete instead.
    char fullPath[kPathChars];
    DWORD fullLength = GetFullPathNameA(modulePath, kPathChars, fullPath, nullptr);
    if (fullLength == 0 || fullLength >= (DWORD)kPathChars || strcmp(fullPath, modulePath) != 0 ||
        strchr(modulePath + 2, ':'))
        return " is not in full form and may name another file.";
    return nullptr;
}

// True when someone but SYSTEM and Administrators (or TrustedInstaller) could change a folder
// on the loader's path, so as to turn it into a link elsewhere or put another in its place, or
// when that cannot be told: a deletion by this path with raised rights could then delete some
// other file.
bool FolderOnPathMayBeChanged(const char* modulePath)
{
    char folder[kPathChars];
    if (!TextCopy(folder, modulePath))
        return true;
    for (char* slash; (slash = strrchr(folder, '\\')) != nullptr;) {
        bool root = slash == folder + 2 && folder[1] == ':';
        slash[root ? 1 : 0] = '\0';  // "C:\" stays a root
        VoUniqueLocal descriptor;
        char* sddl = nullptr;
        const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        if (GetNamedSecurityInfoA(folder, SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr, nullptr,
                                  descriptor.out()) != ERROR_SUCCESS ||
            !ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.get(), SDDL_REVISION_1,
                                                                  parts, &sddl, nullptr))
            return true;
        VoUniqueLocal sddlBlock(sddl);
        if (VoJudgeDescriptor(sddl, nullptr, false, kVoPathWriteRights) != kVoTrusted)
            return true;
        if (root)
            return false;
    }
    return true;
}

// The command interpreter reads a batch in the OEM code page, not the ANSI one: a path goes into
// the batch in that code page, or, where it has no form there, as its short name where that is
// plain ASCII. False when it has neither.
bool OemPath(const char* ansiPath, char (&oem)[kPathChars])
{
    wchar_t wide[kPathChars];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansiPath, -1, wide, kPathChars) == 0)
        return false;
    if (WideCharToMultiByte(CP_OEMCP, 0, wide, -1, oem, kPathChars, nullptr, nullptr) == 0)
        oem[0] = '\0';
    return VoNameInCodePage(CP_OEMCP, wide, oem, kPathChars);
}

// Creates the first batch name that does not exist yet, with the batch's own descriptor; false
// after logging when none can be.
bool CreateBatchFile(const char* systemTempPath, char (&batchPath)[kPathChars],
                     SECURITY_ATTRIBUTES* security, VoUniqueHandle& file)
{
    DWORD error = ERROR_SUCCESS;
    for (DWORD counter = 0; counter < kBatchNameLimit; ++counter) {
        wsprintfA(batchPath, kBatchNameFormat, systemTempPath, counter);
        // CREATE_NEW: an existing file of that name is never overwritten.
        file.reset(CreateFileA(batchPath, GENERIC_WRITE, 0, security, CREATE_NEW,
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

// The user's own token, not elevated, for a run elevated through the user's consent: the
// linked token, as a primary token. 0 or the error (none where the run is SYSTEM's, or an
// administrator's without a split token).
unsigned long LinkedUserToken(void** token)
{
    *token = nullptr;
    VoUniqueHandle own;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD length = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.out()) ||
        !VoCalls().getTokenInformation(own.get(), TokenElevationType, &type, sizeof(type), &length))
        return GetLastError();
    if (type != TokenElevationTypeFull)
        return ERROR_NO_SUCH_LOGON_SESSION;
    if (!VoCalls().getTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof(linked),
                                       &length))
        return GetLastError();
    VoUniqueHandle linkedToken(linked.LinkedToken);
    return DuplicateTokenEx(linkedToken.get(),
                            TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY |
                                TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID,
                            nullptr, SecurityImpersonation, TokenPrimary, token)
               ? (DWORD)ERROR_SUCCESS
               : GetLastError();
}

void ScheduleSelfDeletion(const char* systemTempPath, const char* modulePath,
                          bool modulePathComplete, bool modulePathNamed)
{
    if (const char* problem = ModulePathProblem(modulePath, modulePathComplete, modulePathNamed)) {
        LogSkipped(problem);
        return;
    }
    if (!systemTempPath || TextLength(systemTempPath) + kBatchNameChars >= (size_t)kPathChars) {
        WriteLoaderLog("Could not create batch file.", ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    // The batch deletes by name, after the loader has ended. It has no more power than the
    // user who could delete the file anyway: run elevated through the user's consent, it runs
    // with the user's own token; with no such token, it runs with the loader's rights only
    // where no one else can re-point the path.
    char userSid[kSidChars] = "";
    DWORD error = ReadUserSid(userSid);
    VoUniqueHandle userToken;
    if (error == ERROR_SUCCESS && IsPrivilegedRun(userSid) &&
        LinkedUserToken(userToken.out()) != ERROR_SUCCESS && FolderOnPathMayBeChanged(modulePath)) {
        LogSkipped("others may change a folder on the loader's path.");
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
    char batchPath[kPathChars];
    // Made new with a descriptor of its own: no one but SYSTEM and Administrators can rewrite
    // it while it waits for the loader to end.
    char sddl[kPrivateFolderSddlChars];
    VoUniqueLocal descriptor;
    if (error == ERROR_SUCCESS && (!ComposeBatchSddl(sddl, sizeof(sddl), userSid) ||
                                   !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                       sddl, SDDL_REVISION_1, descriptor.out(), nullptr)))
        error = GetLastError() != ERROR_SUCCESS ? GetLastError() : (DWORD)ERROR_INVALID_SID;
    if (error != ERROR_SUCCESS) {
        WriteLoaderLog("Could not create batch file.", (long)error);
        return;
    }
    SECURITY_ATTRIBUTES security = {sizeof(security), descriptor.get(), FALSE};
    VoUniqueHandle file;
    if (!CreateBatchFile(systemTempPath, batchPath, &security, file))
        return;
    char oemModule[kPathChars], oemBatch[kPathChars], oemPing[kPathChars];
    char batchText[kBatchTextChars];
    const char* problem = nullptr;
    if (!OemPath(modulePath, oemModule) || !OemPath(batchPath, oemBatch) ||
        !OemPath(pingPath, oemPing))
        problem = "a path of the batch has no name in the OEM code page.";
    else if (!ComposeSelfDeletionBatch(batchText, sizeof(batchText), oemModule, oemBatch, oemPing))
        problem = "the batch text would not fit its buffer.";
    if (problem) {
        file.reset();
        DeleteFileA(batchPath);
        LogSkipped(problem);
        return;
    }
    // A batch cut short could stop anywhere, even inside a path: it is never started.
    DWORD length = (DWORD)TextLength(batchText);
    DWORD written = 0;
    BOOL wrote = VoCalls().writeFile(file.get(), batchText, length, &written, nullptr);
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
    const DWORD flags = CREATE_SUSPENDED | IDLE_PRIORITY_CLASS;
    BOOL created =
        commandFits &&
        (userToken ? VoCalls().createProcessAsUserA(userToken.get(), interpreterPath, command,
                                                    nullptr, nullptr, FALSE, flags, nullptr, "\\",
                                                    &startup, &process)
                   : VoCalls().createProcessA(interpreterPath, command, nullptr, nullptr, FALSE,
                                              flags, nullptr, "\\", &startup, &process));
    if (!created) {
        error = commandFits ? GetLastError() : (DWORD)ERROR_FILENAME_EXCED_RANGE;
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
