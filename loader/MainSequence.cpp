#include "MainSequence.h"

#include "rules/BoundedText.h"
#include "CommandLineStep.h"
#include "CustomParams.h"
#include "DeleteKeyIfEmpty.h"
#include "loaderlog/FileOps.h"
#include "Launch.h"
#include "loaderlog/LoaderLog.h"
#include "PrivateFolder.h"
#include "SelfDeletion.h"
#include "VoFoundation/VoSystem.h"
#include "payload/ExtractPayload.h"

#include <string.h>
#include "VoFoundation/VoSystemCalls.h"

#include <windows.h>

#include <ntsecapi.h>

namespace loader {
namespace {

char g_loaderFileName[kPathChars];
char g_logFileName[kPathChars];

constexpr char kFallbackLogFileName[] = "loader.log";
constexpr char kSystemSid[] = "S-1-5-18";
// A random per-run folder name is tried this many times before the run gives up on a folder.
constexpr int kRunFolderTries = 16;
// Removed at the end of a run when an earlier installation left it empty.
constexpr char kFormerVendorKey[] = "Software/Brightholm";

// SYSTEM's own temp folder, which only SYSTEM may enter, in both forms, where the system has
// one; 0 elsewhere. Looked up at run time: older systems do not have the call. The ANSI form
// is the wide one as the code page gives it, and is checked as any other.
unsigned long SystemTempPath2(char (&ansi)[kPathChars], wchar_t (&wide)[kPathChars])
{
    typedef DWORD(WINAPI * GetTempPath2WFn)(DWORD, LPWSTR);
    auto getWide = reinterpret_cast<GetTempPath2WFn>(reinterpret_cast<void*>(
        VoCalls().getProcAddress(GetModuleHandleA("kernel32.dll"), "GetTempPath2W")));
    DWORD length = getWide ? getWide(kPathChars, wide) : 0;
    return length != 0 && length < (DWORD)kPathChars
               ? (DWORD)WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, kPathChars, nullptr, nullptr)
               : 0;
}

// A folder path as both forms of a call give it: the ANSI form, unless it names another folder
// than the wide one (see VoAnsiNameOf). Returns 0 or the error.
DWORD CheckedFolderPath(char (&path)[kPathChars], DWORD length, wchar_t (&wide)[kPathChars],
                        DWORD wideLength)
{
    if (length == 0 || wideLength == 0)
        return GetLastError();
    if (length >= (DWORD)kPathChars || wideLength >= (DWORD)kPathChars)
        return ERROR_INSUFFICIENT_BUFFER;
    return VoAnsiNameOf(wide, path, kPathChars) ? 0 : ERROR_NO_UNICODE_TRANSLATION;
}

// The system temp path: for a SYSTEM run the system's own temp folder for SYSTEM where there
// is one, otherwise GetTempPathA's; when that fails, does not fit the buffer or cannot be
// named in the ANSI code page, the Windows folder's Temp folder (judged and used as any temp
// folder is). Returns the error to log, or 0.
DWORD QuerySystemTempPath(char (&path)[kPathChars], bool systemRun)
{
    wchar_t wide[kPathChars];
    DWORD length = systemRun ? SystemTempPath2(path, wide) : 0;
    if (length != 0 && length < (DWORD)kPathChars && VoAnsiNameOf(wide, path, kPathChars))
        return 0;
    DWORD wideLength = GetTempPathW(kPathChars, wide);
    DWORD error = CheckedFolderPath(path, GetTempPathA(kPathChars, path), wide, wideLength);
    if (error == 0)
        return 0;
    char windows[kPathChars];
    wideLength = GetWindowsDirectoryW(wide, kPathChars);
    UINT windowsLength = GetWindowsDirectoryA(windows, kPathChars);
    path[0] = '\0';
    if (CheckedFolderPath(windows, windowsLength, wide, wideLength) == 0)
        TextJoin(path, windows, windows[TextLength(windows) - 1] == '\\' ? "Temp\\" : "\\Temp\\");
    return error;
}

// Characters that no file name may hold. The ANSI code page turns characters it cannot carry
// into "?", and full-width forms into their plain look-alikes ('"', '<', ':' and so on).
bool HoldsCharacterNotAllowedInNames(const char* text)
{
    return strpbrk(text, "?*\"<>|:/") != nullptr;
}

// Makes this run's own folder, held from its making, inside the folder held by parent (whose
// path is folder): the installer is extracted into it. Its name is random, so that no one can
// take up the names beforehand. 0, or the error; *noName tells that no name could be had.
DWORD MakeRunFolder(LoaderRun& run, const PrivateFolderAccess& access, void* parent,
                    const char* folder, bool* noName)
{
    *noName = false;
    size_t longestFile = TextLength(g_logFileName);
    if (longestFile < sizeof(kInstallerFileName) - 1)
        longestFile = sizeof(kInstallerFileName) - 1;
    DWORD error = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < kRunFolderTries && error == ERROR_ALREADY_EXISTS; ++attempt) {
        unsigned long random = 0;
        char name[kRunFolderNameChars];
        if (!RtlGenRandom(&random, sizeof(random))) {
            *noName = true;
            return ERROR_GEN_FAILURE;
        }
        MakeRunFolderName(name, random);
        // Room for the folder, its backslash and the longer of the installer's and the log's
        // names: a folder that cannot hold them is of no use.
        if (!TextJoin(run.tempLogPath, folder, name) ||
            TextLength(run.tempLogPath) + 1 + longestFile >= (size_t)kPathChars) {
            run.tempLogPath[0] = '\0';
            *noName = true;
            return ERROR_BUFFER_OVERFLOW;
        }
        error = access.HoldFolder(parent, run.tempLogPath, true, run.tempLogFolderLock);
    }
    if (error != 0) {
        *noName = error == ERROR_ALREADY_EXISTS;
        return error;
    }
    TextAppend(run.tempLogPath, "\\");
    run.tempLogFolderCreated = true;
    run.tempLogFolderError = 0;
    return 0;
}

// The main temp folder, judged once and held until the run ends: every run's log ends up
// here, so a folder found in its place is used only when no one but SYSTEM and Administrators
// (or the user of a run without privileges) chose where it is or can change it, and only when
// this run can make its own folder in it.
void MakeMainTempFolder(LoaderRun& run, const PrivateFolderAccess& access, void* systemTemp,
                        DWORD systemTempError)
{
    wsprintfA(run.buildFolderName, "Qx_%ld\\", (long)kBuildNumber);
    if (!TextAppend(run.mainTempPath, run.buildFolderName)) {
        // The joined name would not fit the path buffer: the folder cannot be named.
        WriteLoaderLog("Trying to create/find our main temp folder.");
        WriteLoaderLogF(ERROR_FILENAME_EXCED_RANGE,
                        "CreateDirectory(%s%s) failed, must use system temp path.",
                        run.systemTempPath, run.buildFolderName);
        return;
    }
    WriteLoaderLog("Trying to create/find our main temp folder.");

    DWORD error = systemTempError != 0 ? systemTempError
                                       : access.HoldFolder(systemTemp, run.mainTempPath, false,
                                                           run.mainTempFolderLock);
    if (error == 0) {
        bool noName = false;
        error = MakeRunFolder(run, access, run.mainTempFolderLock.get(), run.mainTempPath, &noName);
        if (error == 0)
            return;
        run.mainTempFolderLock.reset();
    }
    WriteLoaderLogF(error, "CreateDirectory(%s) failed, must use system temp path.",
                    run.mainTempPath);
    TextCopy(run.mainTempPath, run.systemTempPath);
}

// Leaves the temp log path at the main temp path after logging why no folder was made; the
// error is kept as the reason why no installer is extracted.
void KeepMainTempPathForLogs(LoaderRun& run, const char* line, DWORD error)
{
    WriteLoaderLogF(error, line, run.tempLogPath);
    TextCopy(run.tempLogPath, run.mainTempPath);
    run.tempLogFolderError = error;
}

// The installer is extracted into this folder too, so it is made with the protected
// descriptor and held from its making; it may have been made in the main temp folder already.
void MakeTempLogFolder(LoaderRun& run, const PrivateFolderAccess& access, void* systemTemp,
                       DWORD systemTempError)
{
    WriteLoaderLog("Trying to create temp log folder.");
    if (run.tempLogFolderCreated)
        return;
    bool noName = false;
    DWORD error = systemTempError;
    if (error == 0)
        error = MakeRunFolder(run, access, systemTemp, run.mainTempPath, &noName);
    if (error == 0)
        return;
    if (noName)
        run.tempLogPath[0] = '\0';
    if (systemTempError != 0)
        TextCopy(run.tempLogPath, run.mainTempPath);
    KeepMainTempPathForLogs(run,
                            noName ? "GetTempFileName() failed, must use main temp path."
                                   : "CreateDirectory(%s) failed, must use main temp path.",
                            error);
}

// From here on the log is a file: in the run's own folder, or else a new file of this run's own
// in the system temp folder (the main temp folder is not kept without a folder of the run's own).
void StartLog(LoaderRun& run)
{
    bool inRunFolder = run.tempLogFolderCreated && SetLoaderLogPath(run.tempLogPath, g_logFileName);
    StartLoaderLogFile(inRunFolder);
}

}  // namespace

void NameLoaderLog(LoaderRun& run)
{
    DWORD length = GetModuleFileNameA(nullptr, run.modulePath, kPathChars);
    run.modulePath[kPathChars - 1] = '\0';
    wchar_t wide[kPathChars];
    DWORD wideLength = GetModuleFileNameW(nullptr, wide, kPathChars);
    run.modulePathComplete = length != 0 && length < (DWORD)kPathChars;
    // The path the loader acts on (its log's name, the file its self-deletion deletes) must
    // name its own file: a best-fit look-alike may be someone else's.
    run.modulePathNamed = run.modulePathComplete && wideLength != 0 &&
                          wideLength < (DWORD)kPathChars &&
                          VoAnsiNameOf(wide, run.modulePath, kPathChars);

    TextCopy(g_loaderFileName, FileNamePart(run.modulePath));
    // A name that still holds "?" (or a full-width character's plain look-alike) cannot be a
    // file's: the log gets a fixed name rather than none.
    if (HoldsCharacterNotAllowedInNames(g_loaderFileName) ||
        !MakeLogFileName(g_loaderFileName, g_logFileName, sizeof(g_logFileName)))
        TextCopy(g_logFileName, kFallbackLogFileName);
}

void PrepareTempFolders(LoaderRun& run)
{
    // Until the run has a folder of its own, the log is kept in memory: nothing is written by
    // name into the system temp folder, where others may have put a file or a link of theirs.
    // (The access object reads the run's user first: a SYSTEM run has a temp folder of its own.)
    PrivateFolderAccess access;
    DWORD tempPathError =
        QuerySystemTempPath(run.systemTempPath, lstrcmpA(access.userSid(), kSystemSid) == 0);
    TextCopy(run.mainTempPath, run.systemTempPath);
    SetLoaderLogPath(run.systemTempPath, g_logFileName);
    KeepLoaderLogInMemory();
    // Only opened to find the old log and to make folders inside: the folders are judged, not
    // the one above.
    VoUniqueHandle systemTemp;
    DWORD systemTempError = OpenParentFolder(run.systemTempPath, systemTemp);
    DeleteOldLoaderLog(systemTemp.get());

    WriteLoaderLog("Preparing loader...");
    if (tempPathError != 0)
        WriteLoaderLogF(tempPathError, "GetTempPath() failed, must use %s as system temp path.",
                        run.systemTempPath);

    run.tempLogFolderCreated = false;
    MakeMainTempFolder(run, access, systemTemp.get(), systemTempError);
    MakeTempLogFolder(run, access, systemTemp.get(), systemTempError);
    systemTemp.reset();

    WriteLoaderLog("Path creation is complete.");
    WriteLoaderLogF(kNoErrorCode, "Using %s as main temp path.", run.mainTempPath);
    WriteLoaderLogF(kNoErrorCode, "Using %s as temp log path.", run.tempLogPath);
    StartLog(run);
}

namespace {

// Extracts the installer into this run's own folder and keeps it held, checked, until it is
// started. Returns 0, or the error that keeps it from being started.
DWORD ExtractInstaller(LoaderRun& run)
{
    run.installerPath[0] = '\0';
    run.installerLock.reset();
    WriteLoaderLog("Extracting data for...");
    // Anywhere else, a file or a DLL beside it could have been placed by someone else.
    if (!run.tempLogFolderCreated) {
        WriteLoaderLog("The installer is not extracted: this run has no folder of its own.");
        return run.tempLogFolderError;
    }
    if (!TextJoin(run.installerPath, run.tempLogPath, kInstallerFileName)) {
        WriteLoaderLogF(ERROR_FILENAME_EXCED_RANGE,
                        "%sSetup.exe is too long a path for the installer.", run.tempLogPath);
        return ERROR_FILENAME_EXCED_RANGE;
    }
    WriteLoaderLog(run.installerPath);
    // Quiet: a file that cannot be made or written is told once, by the failed start's box.
    DWORD error = payload::ExtractPayloadFile(kPayloadResourceId, run.installerPath, true,
                                              run.installerLock.out());
    if (error == 0)
        WriteLoaderLog("Success!");
    return error;
}

}  // namespace

int RunMainSequence(LoaderRun& run, int argc, char** argv)
{
    NameLoaderLog(run);
    PrepareTempFolders(run);

    WriteLoaderLog("Starting loader...");
    WriteLoaderLogF(kNoErrorCode, "We are running from '%s'.", run.modulePath);
    run.installerError = ExtractInstaller(run);

    BuildInstallerCommandLine(run, argc, argv);
    // The custom parameters must be in the registry before the installer starts.
    PersistCustomParams(run.customParams);
    RunInstallerAndCleanUp(run);
    // Only a loader started with arguments deletes itself, and not in a silent install.
    if (argc > 1 && !IsSilentInstall(argc, argv))
        ScheduleSelfDeletion(run.systemTempPath, run.modulePath, run.modulePathComplete,
                             run.modulePathNamed);

    DKIE(VoString(kFormerVendorKey));
    WriteLoaderLog("Exiting loader...");
    return 0;
}

}  // namespace loader
