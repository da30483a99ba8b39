// Linked into a test copy of the loader (loader-hooked). Every CreateProcessA the loader makes
// is recorded in %TEMP%\processes.txt (program|command line) before it is made, so that a
// scenario can tell exactly what was started, or that nothing was.
// Two environment variables of the scenario act on the installer file through the seam that
// creates it and opens it for the hold:
//   ORVA_HOOK_PLANT=<program>  just before the loader creates its installer file, the program
//                              is copied there, made read-only and kept open without write
//                              sharing until the loader ends, as someone else's file would be;
//   ORVA_HOOK_SWAP=<program>   between the end of the writing and the hold, the written file
//                              is replaced by the program.
// And on the folders the run holds:
//   ORVA_HOOK_FOLDER_SDDL=<s>  a folder found in place reads as this descriptor (Wine keeps only
//                              what its Unix mode bits can say, and every owner is the user);
//   ORVA_HOOK_UNPRIVILEGED     the run has no privileges;
//   ORVA_HOOK_TAKEN=<n>        the first n names tried for the per-run folder are taken;
//   ORVA_HOOK_SWAP_FOLDERS     once each folder is held, it is renamed away and another folder
//                              made in its place; %TEMP%\swaps.txt records each try;
//   ORVA_HOOK_SYSTEM           the run is SYSTEM's, and ORVA_HOOK_TEMP2=<folder> is the
//                              system's temp folder for SYSTEM alone.
#include "TempRecord.h"
#include "loader/Launch.h"
#include "loader/MainSequence.h"
#include "loader/PrivateFolder.h"
#include "loader/SelfDeletion.h"
#include "payload/ExtractPayload.h"

#include <stdlib.h>
#include <windows.h>

namespace {

bool Setting(const char* name, char (&value)[MAX_PATH])
{
    DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH;
}

bool IsInstallerFile(const char* path)
{
    size_t length = lstrlenA(path);
    return length >= 10 && lstrcmpiA(path + length - 10, "\\Setup.exe") == 0;
}

int __stdcall RecordProcess(const char* program, char* commandLine, _SECURITY_ATTRIBUTES* ps,
                            _SECURITY_ATTRIBUTES* ts, int inherit, unsigned long flags,
                            void* environment, const char* folder, _STARTUPINFOA* startup,
                            _PROCESS_INFORMATION* process)
{
    e2e_hooks::AppendToTempRecord("processes.txt", program ? program : "",
                                  commandLine ? commandLine : "");
    return CreateProcessA(program, commandLine, ps, ts, inherit, flags, environment, folder,
                          startup, process);
}

// Started with the user's own token: recorded as the others are, and in as-user.txt.
int __stdcall RecordProcessAsUser(void* token, const char* program, char* commandLine,
                                  _SECURITY_ATTRIBUTES* ps, _SECURITY_ATTRIBUTES* ts, int inherit,
                                  unsigned long flags, void* environment, const char* folder,
                                  _STARTUPINFOA* startup, _PROCESS_INFORMATION* process)
{
    e2e_hooks::AppendToTempRecord("processes.txt", program ? program : "",
                                  commandLine ? commandLine : "");
    e2e_hooks::AppendToTempRecord("as-user.txt", program ? program : "", "");
    return CreateProcessAsUserA(token, program, commandLine, ps, ts, inherit, flags, environment,
                                folder, startup, process);
}

void* __stdcall ActOnInstallerFile(const char* path, unsigned long access, unsigned long share,
                                   _SECURITY_ATTRIBUTES* security, unsigned long disposition,
                                   unsigned long attributes, void* templateFile)
{
    char program[MAX_PATH];
    if (IsInstallerFile(path) && access == GENERIC_WRITE && Setting("ORVA_HOOK_PLANT", program) &&
        CopyFileA(program, path, FALSE)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY);
        // Left open on purpose: the loader's process ends it.
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (IsInstallerFile(path) && access == GENERIC_READ && Setting("ORVA_HOOK_SWAP", program))
        CopyFileA(program, path, FALSE);
    return CreateFileA(path, access, share, security, disposition, attributes, templateFile);
}

unsigned long ReadSddlSetting(void*, char** sddl)
{
    char value[MAX_PATH];
    if (!Setting("ORVA_HOOK_FOLDER_SDDL", value))
        return ERROR_INVALID_DATA;
    *sddl = static_cast<char*>(LocalAlloc(LMEM_FIXED, lstrlenA(value) + 1));
    lstrcpyA(*sddl, value);
    return 0;
}

unsigned long MakeUnlessTaken(void* parent, const char* name, void* descriptor, bool existing,
                              void** held, bool* made)
{
    static int s_taken = -1;
    char value[MAX_PATH];
    if (s_taken < 0)
        s_taken = Setting("ORVA_HOOK_TAKEN", value) ? atoi(value) : 0;
    if (!existing && s_taken > 0) {
        --s_taken;
        *held = nullptr;
        return ERROR_ALREADY_EXISTS;
    }
    return loader::MakeHeldFolder(parent, name, descriptor, existing, held, made);
}

void SwapFolder(const char* path)
{
    char folder[MAX_PATH], away[MAX_PATH + 8];
    lstrcpynA(folder, path, MAX_PATH);
    int length = lstrlenA(folder);
    if (length > 0 && folder[length - 1] == '\\')
        folder[length - 1] = '\0';
    wsprintfA(away, "%s.away", folder);
    bool moved = MoveFileA(folder, away) != FALSE;
    if (moved)
        CreateDirectoryA(folder, nullptr);
    e2e_hooks::AppendToTempRecord("swaps.txt", folder, moved ? "moved" : "refused");
}

unsigned long SystemSid(char (&sid)[loader::kSidChars])
{
    lstrcpyA(sid, "S-1-5-18");
    return 0;
}

unsigned long Temp2Setting(char (&ansi)[MAX_PATH], wchar_t (&wide)[MAX_PATH])
{
    if (!Setting("ORVA_HOOK_TEMP2", ansi))
        return 0;
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, MAX_PATH);
    return lstrlenA(ansi);
}

struct InstallHooks {
    InstallHooks()
    {
        char value[MAX_PATH];
        loader::g_createProcess = &RecordProcess;
        loader::g_createProcessAsUser = &RecordProcessAsUser;
        payload::g_createFile = &ActOnInstallerFile;
        loader::g_makeFolder = &MakeUnlessTaken;
        loader::g_systemTempPath2 = &Temp2Setting;
        if (Setting("ORVA_HOOK_FOLDER_SDDL", value))
            loader::g_readFolderSddl = &ReadSddlSetting;
        if (Setting("ORVA_HOOK_UNPRIVILEGED", value))
            loader::g_isPrivilegedRun = [](const char*) { return false; };
        if (Setting("ORVA_HOOK_SWAP_FOLDERS", value))
            loader::g_folderHeld = &SwapFolder;
        if (Setting("ORVA_HOOK_SYSTEM", value))
            loader::g_readUserSid = &SystemSid;
    }
} g_installHooks;

}  // namespace
