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
#include "TempRecord.h"
#include "loader/Launch.h"
#include "payload/ExtractPayload.h"

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

struct InstallHooks {
    InstallHooks()
    {
        loader::g_createProcess = &RecordProcess;
        payload::g_createFile = &ActOnInstallerFile;
    }
} g_installHooks;

}  // namespace
