#include "Launch.h"

#include "rules/BoundedText.h"
#include "loaderlog/FileOps.h"
#include "loaderlog/LoaderLog.h"
#include "PrivateFolder.h"
#include "loader/CannotStartBox.h"
#include "VoFoundation/VoSystemCalls.h"

#include <string.h>
#include <windows.h>

namespace loader {

namespace {

// Waits for the installer, then logs how it ended: its exit code is the one record of its
// result that a run nobody watches leaves. Codes with a severity bit set (an NTSTATUS such as
// an unhandled exception's 0xC0000005, an HRESULT) are read in hexadecimal, so they are given
// so as well.
void WaitAndLogExitCode(HANDLE installer)
{
    constexpr DWORD kSeverityBits = 0xC0000000;
    DWORD code = 0;
    if (WaitForSingleObject(installer, INFINITE) == WAIT_FAILED ||
        !GetExitCodeProcess(installer, &code)) {
        WriteLoaderLog("Could not get the installer's exit code.", (long)GetLastError());
        return;
    }
    WriteLoaderLogF(kNoErrorCode,
                    (code & kSeverityBits) != 0 ? "The installer exited with code %lu (0x%08lX)."
                                                : "The installer exited with code %lu.",
                    code, code);
}

void StartAndWait(LoaderRun& run)
{
    // Only what this run wrote into its own folder, holds and has checked is ever started;
    // otherwise the file at the installer path may be anyone's.
    if (!run.installerLock) {
        WriteLoaderLog("Could not create process.", run.installerError);
        ShowCannotStartBox();
        return;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // The program is named separately, so the system never guesses it from a path with
    // blanks (C:\Documents.exe and the like); the command line quotes it for the installer.
    BOOL created = VoCalls().createProcessA(run.installerPath, run.commandLine, nullptr, nullptr,
                                            FALSE, 0, nullptr, nullptr, &startup, &process);
    DWORD error = GetLastError();
    run.installerLock.reset();  // the started installer's image is the file we checked

    if (!created) {
        WriteLoaderLog("Could not create process.", (long)error);
        ShowCannotStartBox();
        return;
    }
    VoUniqueHandle installer(process.hProcess);
    VoUniqueHandle installerThread(process.hThread);
    WaitAndLogExitCode(installer.get());
    installer.reset();
}

// The log and the per-run folder are reached through the handles held on them: the log moves
// by its handle into the main temp folder (held, or the system temp folder, where it is then
// written through that handle), and the folder is deleted through the hold it had from its
// making. Only this run's own folder is ever scheduled for removal at the next reboot.
void MoveLogAndRemoveTempLogFolder(LoaderRun& run)
{
    WriteLoaderLog("Moving log files to main temp folder...");
    MoveLoaderLogOrDelay(run.mainTempPath);

    DWORD error = RemoveHeldFolder(run.tempLogFolderLock);
    if (error == 0)
        return;
    run.tempLogFolderLock.reset();
    WriteLoaderLogF(error, "Failed to remove directory '%s'.", run.tempLogPath);
    DelayUntilReboot(run.tempLogPath, nullptr, "It will be marked for deletion at next reboot.",
                     "We are unable to mark it for deletion at next reboot on this OS.");
}

}  // namespace

void RunInstallerAndCleanUp(LoaderRun& run)
{
    StartAndWait(run);
    VoCalls().sleep(kPauseAfterInstallerMs);

    WriteLoaderLog("Deleting extracted EXEs...");
    // The installer lies in the temp log folder: when it cannot be deleted now, its deletion
    // at the next reboot is registered before the folder's, which can succeed only after it.
    if (run.installerPath[0])
        DeleteFileOrDelay(run.installerPath, true);

    if (run.tempLogFolderCreated)
        MoveLogAndRemoveTempLogFolder(run);
}

}  // namespace loader
