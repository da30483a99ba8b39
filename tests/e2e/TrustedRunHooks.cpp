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
//                              made in its place; %TEMP%\swaps.txt records each try (by the
//                              folder's name);
//   ORVA_HOOK_SYSTEM           the run is SYSTEM's, and ORVA_HOOK_TEMP2=<folder> is the
//                              system's temp folder for SYSTEM alone.
#include "tests/support/SystemCallsHook.h"
#include "TempRecord.h"

#include <stdlib.h>
#include <windows.h>

#include <sddl.h>

using namespace e2e_hooks;

namespace {

BOOL WINAPI RecordProcess(LPCSTR program, LPSTR commandLine, LPSECURITY_ATTRIBUTES ps,
                          LPSECURITY_ATTRIBUTES ts, BOOL inherit, DWORD flags, LPVOID environment,
                          LPCSTR folder, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process)
{
    e2e_hooks::AppendToTempRecord("processes.txt", program, commandLine);
    return CreateProcessA(program, commandLine, ps, ts, inherit, flags, environment, folder,
                          startup, process);
}

// Started with the user's own token: recorded as the others are, and in as-user.txt.
BOOL WINAPI RecordProcessAsUser(HANDLE token, LPCSTR program, LPSTR commandLine,
                                LPSECURITY_ATTRIBUTES ps, LPSECURITY_ATTRIBUTES ts, BOOL inherit,
                                DWORD flags, LPVOID environment, LPCSTR folder,
                                LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process)
{
    e2e_hooks::AppendToTempRecord("processes.txt", program, commandLine);
    e2e_hooks::AppendToTempRecord("as-user.txt", program, "");
    return CreateProcessAsUserA(token, program, commandLine, ps, ts, inherit, flags, environment,
                                folder, startup, process);
}

HANDLE WINAPI ActOnInstallerFile(LPCSTR path, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                 DWORD attributes, HANDLE templateFile)
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

// A folder found in place reads as the descriptor of ORVA_HOOK_FOLDER_SDDL.
DWORD WINAPI ReadSddlSetting(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION parts,
                             PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                             PSECURITY_DESCRIPTOR* descriptor)
{
    char value[MAX_PATH];
    if (type != SE_FILE_OBJECT || !Setting("ORVA_HOOK_FOLDER_SDDL", value))
        return GetSecurityInfo(object, type, parts, owner, group, dacl, sacl, descriptor);
    return ConvertStringSecurityDescriptorToSecurityDescriptorA(value, SDDL_REVISION_1, descriptor,
                                                                nullptr)
               ? ERROR_SUCCESS
               : GetLastError();
}

// Each folder made or opened inside a held one: the first ORVA_HOOK_TAKEN names to be made are
// taken; with ORVA_HOOK_SWAP_FOLDERS, a folder the loader now holds is renamed away.
NTSTATUS NTAPI MakeUnlessTakenThenSwap(PHANDLE held, ACCESS_MASK access,
                                       POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                                       PLARGE_INTEGER size, ULONG fileAttributes, ULONG share,
                                       ULONG disposition, ULONG options, PVOID ea, ULONG eaLength)
{
    constexpr NTSTATUS kNameCollision = (NTSTATUS)0xC0000035L;
    static int s_taken = -1;
    char value[MAX_PATH];
    if (s_taken < 0)
        s_taken = Setting("ORVA_HOOK_TAKEN", value) ? atoi(value) : 0;
    if (disposition == FILE_CREATE && s_taken > 0) {
        --s_taken;
        return kNameCollision;
    }
    NTSTATUS status = NtCreateFile(held, access, attributes, io, size, fileAttributes, share,
                                   disposition, options, ea, eaLength);
    char path[MAX_PATH + 8];
    DWORD length = GetFinalPathNameByHandleA(*held, path, MAX_PATH, 0);
    if (status < 0 || !IsSet("ORVA_HOOK_SWAP_FOLDERS") || length == 0 || length >= MAX_PATH)
        return status;
    char away[MAX_PATH + 16];
    wsprintfA(away, "%s.away", path);
    bool moved = MoveFileA(path, away) != FALSE;
    if (moved)
        CreateDirectoryA(path, nullptr);
    const char* name = strrchr(path, '\\');
    e2e_hooks::AppendToTempRecord("swaps.txt", name ? name + 1 : path, moved ? "moved" : "refused");
    return status;
}

// ORVA_HOOK_SYSTEM: the process token's user is SYSTEM.
BOOL WINAPI AnswerTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information,
                                   DWORD length, PDWORD needed)
{
    static SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (kind != TokenUser || !IsSet("ORVA_HOOK_SYSTEM"))
        return GetTokenInformation(token, kind, information, length, needed);
    const DWORD sidLength = GetSidLengthRequired(1);
    *needed = sizeof(TOKEN_USER) + sidLength;
    if (length < *needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* user = static_cast<TOKEN_USER*>(information);
    user->User.Sid = user + 1;
    user->User.Attributes = 0;
    InitializeSid(user->User.Sid, &nt, 1);
    *GetSidSubAuthority(user->User.Sid, 0) = SECURITY_LOCAL_SYSTEM_RID;
    return TRUE;
}

// ORVA_HOOK_UNPRIVILEGED: the token is no member of Administrators.
BOOL WINAPI AnswerMembership(HANDLE token, PSID group, PBOOL member)
{
    if (!IsSet("ORVA_HOOK_UNPRIVILEGED"))
        return CheckTokenMembership(token, group, member);
    *member = FALSE;
    return TRUE;
}

// ORVA_HOOK_TEMP2: the system's temp folder for SYSTEM alone.
DWORD WINAPI Temp2Setting(DWORD capacity, LPWSTR wide)
{
    char ansi[MAX_PATH];
    if (!Setting("ORVA_HOOK_TEMP2", ansi))
        return 0;
    int length = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, (int)capacity);
    return length > 0 ? (DWORD)length - 1 : 0;
}

FARPROC WINAPI FindTemp2Setting(HMODULE module, LPCSTR name)
{
    if (HIWORD(name) != 0 && lstrcmpA(name, "GetTempPath2W") == 0 && IsSet("ORVA_HOOK_TEMP2"))
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&Temp2Setting));
    return GetProcAddress(module, name);
}

struct InstallHooks {
    InstallHooks()
    {
        VoSystemCalls& calls = support::g_systemCalls;
        calls.createProcessA = &RecordProcess;
        calls.createProcessAsUserA = &RecordProcessAsUser;
        calls.createFileA = &ActOnInstallerFile;
        calls.getSecurityInfo = &ReadSddlSetting;
        calls.ntCreateFile = &MakeUnlessTakenThenSwap;
        calls.getTokenInformation = &AnswerTokenInformation;
        calls.checkTokenMembership = &AnswerMembership;
        calls.getProcAddress = &FindTemp2Setting;
    }
} g_installHooks;

}  // namespace
