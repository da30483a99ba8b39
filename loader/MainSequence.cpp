#include "MainSequence.h"

#include "loaderlog/BoundedText.h"
#include "CommandLineStep.h"
#include "CustomParams.h"
#include "DeleteKeyIfEmpty.h"
#include "loaderlog/FileOps.h"
#include "Launch.h"
#include "loaderlog/LoaderLog.h"
#include "PrivateFolder.h"
#include "SelfDeletion.h"
#include "payload/ExtractPayload.h"

#include <string.h>
#include <windows.h>

namespace loader {
namespace {

char g_loaderFileName[kPathChars];
char g_logFileName[kPathChars];

constexpr char kFallbackLogFileName[] = "loader.log";
// GetTempFileNameA's room for what it adds to its folder: the longest folder it takes is
// MAX_PATH less this.
constexpr int kTempFileNameRoom = 14;
// Removed at the end of a run when an earlier installation left it empty.
constexpr char kFormerVendorKey[] = "Software/Brightholm";

// The system temp path, or, when GetTempPathA fails or its answer does not fit the buffer,
// the Windows folder's Temp folder. Returns the error to log, or kNoErrorCode.
long QuerySystemTempPath(char (&path)[kPathChars])
{
    DWORD length = GetTempPathA(kPathChars, path);
    if (length != 0 && length < (DWORD)kPathChars)
        return kNoErrorCode;
    long error = length == 0 ? (long)GetLastError() : (long)ERROR_INSUFFICIENT_BUFFER;
    char windows[kPathChars];
    UINT windowsLength = GetWindowsDirectoryA(windows, kPathChars);
    path[0] = '\0';
    if (windowsLength != 0 && windowsLength < (UINT)kPathChars)
        TextJoin(path, windows, windows[windowsLength - 1] == '\\' ? "Temp\\" : "\\Temp\\");
    return error;
}

// Characters that no file name may hold. The ANSI code page turns characters it cannot carry
// into "?", and full-width forms into their plain look-alikes ('"', '<', ':' and so on).
bool HoldsCharacterNotAllowedInNames(const char* text)
{
    return strpbrk(text, "?*\"<>|:/") != nullptr;
}

void LogFormatted(LoaderRun& run, const char* format, const char* a, long errorCode = kNoErrorCode)
{
    wsprintfA(run.messageText, format, a);
    WriteLoaderLog(run.messageText, errorCode);
}

void MakeMainTempFolder(LoaderRun& run, const PrivateFolderAccess& access)
{
    wsprintfA(run.buildFolderName, "Qx_%ld\\", (long)kBuildNumber);
    if (!TextAppend(run.mainTempPath, run.buildFolderName)) {
        // The joined name would not fit the path buffer: the folder cannot be named.
        wsprintfA(run.messageText, "CreateDirectory(%s%s) failed, must use system temp path.",
                  run.systemTempPath, run.buildFolderName);
        WriteLoaderLog("Trying to create/find our main temp folder.");
        WriteLoaderLog(run.messageText, ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    WriteLoaderLog("Trying to create/find our main temp folder.");

    if (access.MakeFolder(run.mainTempPath))
        return;
    long error = (long)GetLastError();
    // Every run's log ends up here, so a folder found in its place is reused only when no one
    // but this user, SYSTEM or Administrators chose where it is.
    if (error == ERROR_ALREADY_EXISTS) {
        error = access.CheckExistingFolder(run.mainTempPath);
        if (error == 0)
            return;
    }
    LogFormatted(run, "CreateDirectory(%s) failed, must use system temp path.", run.mainTempPath,
                 error);
    TextCopy(run.mainTempPath, run.systemTempPath);
}

// Leaves the temp log path at the main temp path after logging why no folder was made; the
// error is kept as the reason why no installer is extracted.
void KeepMainTempPathForLogs(LoaderRun& run, const char* line, long error)
{
    LogFormatted(run, line, run.tempLogPath, error);
    TextCopy(run.tempLogPath, run.mainTempPath);
    run.tempLogFolderError = error;
}

// The installer is extracted into this folder too, so it is made with the protected
// descriptor and never taken over from someone else: CreateDirectoryA fails when the name
// exists.
void MakeTempLogFolder(LoaderRun& run, const PrivateFolderAccess& access)
{
    WriteLoaderLog("Trying to create temp log folder.");
    run.tempLogFolderCreated = false;

    // GetTempFileNameA takes folders of at most MAX_PATH - 14 characters; with a longer one
    // the name it makes would not fit the path buffer (some implementations write past it).
    bool folderFits = TextLength(run.mainTempPath) <= (size_t)(kPathChars - kTempFileNameRoom);
    if (!folderFits || !GetTempFileNameA(run.mainTempPath, kTempLogPrefix, 0, run.tempLogPath)) {
        run.tempLogPath[0] = '\0';
        KeepMainTempPathForLogs(run, "GetTempFileName() failed, must use main temp path.",
                                folderFits ? (long)GetLastError() : (long)ERROR_BUFFER_OVERFLOW);
        return;
    }
    DeleteFileA(run.tempLogPath);
    if (!access.MakeFolder(run.tempLogPath)) {
        KeepMainTempPathForLogs(run, "CreateDirectory(%s) failed, must use main temp path.",
                                (long)GetLastError());
        return;
    }
    // Held from now on, so that no folder of someone else's can take its place; one that did
    // in the moment before is refused, and only an empty folder is removed.
    run.tempLogFolderLock.reset(access.HoldNewFolder(run.tempLogPath));
    if (!run.tempLogFolderLock) {
        long error = (long)GetLastError();
        RemoveDirectoryA(run.tempLogPath);
        KeepMainTempPathForLogs(run, "CreateDirectory(%s) failed, must use main temp path.", error);
        return;
    }
    if (!TextAppend(run.tempLogPath, "\\")) {
        // The folder's name fills the path buffer: no room for its backslash.
        ReleaseTempLogFolder(run);
        RemoveDirectoryA(run.tempLogPath);
        KeepMainTempPathForLogs(run, "CreateDirectory(%s) failed, must use main temp path.",
                                ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    run.tempLogFolderCreated = true;
    run.tempLogFolderError = 0;
}

}  // namespace

void NameLoaderLog(LoaderRun& run)
{
    DWORD length = GetModuleFileNameA(nullptr, run.modulePath, kPathChars);
    run.modulePath[kPathChars - 1] = '\0';
    run.modulePathComplete = length != 0 && length < (DWORD)kPathChars;

    TextCopy(g_loaderFileName, FileNamePart(run.modulePath));
    if (!MakeLogFileName(g_loaderFileName, g_logFileName, sizeof(g_logFileName)))
        TextCopy(g_logFileName, kFallbackLogFileName);

    // A name the ANSI code page cannot carry comes back with "?" (or a full-width character's
    // plain look-alike) in it, and no file of that name can be made: the whole log would be
    // lost. Name the log after the file's short name instead, or, where there is none, use a
    // fixed name.
    if (!HoldsCharacterNotAllowedInNames(g_logFileName))
        return;
    char shortPath[kPathChars];
    DWORD shortLength = GetShortPathNameA(run.modulePath, shortPath, kPathChars);
    if (shortLength == 0 || shortLength >= (DWORD)kPathChars ||
        HoldsCharacterNotAllowedInNames(FileNamePart(shortPath)) ||
        !MakeLogFileName(FileNamePart(shortPath), g_logFileName, sizeof(g_logFileName)))
        TextCopy(g_logFileName, kFallbackLogFileName);
}

void PrepareTempFolders(LoaderRun& run)
{
    long tempPathError = QuerySystemTempPath(run.systemTempPath);
    TextCopy(run.mainTempPath, run.systemTempPath);
    SetLoaderLogPath(run.systemTempPath, g_logFileName);
    DeleteFileA(LoaderLogPath());

    WriteLoaderLog("Preparing loader...");
    if (tempPathError != kNoErrorCode)
        LogFormatted(run, "GetTempPath() failed, must use %s as system temp path.",
                     run.systemTempPath, tempPathError);

    {
        PrivateFolderAccess access;
        MakeMainTempFolder(run, access);
        MakeTempLogFolder(run, access);
    }

    WriteLoaderLog("Path creation is complete.");
    LogFormatted(run, "Using %s as main temp path.", run.mainTempPath);
    LogFormatted(run, "Using %s as temp log path.", run.tempLogPath);

    MoveFileOrDelay(run.systemTempPath, run.tempLogPath, g_logFileName, nullptr, false);
    PointLoaderLogAt(run.tempLogPath, g_logFileName);
}

namespace {

// Extracts the installer into this run's own folder and keeps it held, checked, until it is
// started. Returns 0, or the error that keeps it from being started.
long ExtractInstaller(LoaderRun& run)
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
        LogFormatted(run, "%sSetup.exe is too long a path for the installer.", run.tempLogPath,
                     ERROR_FILENAME_EXCED_RANGE);
        return ERROR_FILENAME_EXCED_RANGE;
    }
    WriteLoaderLog(run.installerPath);
    if (payload::ExtractPayload(kPayloadResourceId, run.installerPath, 1,
                                run.installerLock.out()) != 0)
        return (long)GetLastError();
    WriteLoaderLog("Success!");
    return 0;
}

}  // namespace

int RunMainSequence(LoaderRun& run, int argc, char** argv)
{
    NameLoaderLog(run);
    PrepareTempFolders(run);

    WriteLoaderLog("Starting loader...");
    LogFormatted(run, "We are running from '%s'.", run.modulePath);
    run.installerError = ExtractInstaller(run);

    BuildInstallerCommandLine(run, argc, argv);
    // The custom parameters must be in the registry before the installer starts.
    PersistCustomParams(run.customParams);
    RunInstallerAndCleanUp(run);
    // Only a loader started with arguments deletes itself, and not in a silent install.
    if (argc > 1 && !IsSilentInstall(argc, argv))
        ScheduleSelfDeletion(run.systemTempPath, run.modulePath, run.modulePathComplete);

    DKIE(VoString(kFormerVendorKey));
    WriteLoaderLog("Exiting loader...");
    return 0;
}

}  // namespace loader
