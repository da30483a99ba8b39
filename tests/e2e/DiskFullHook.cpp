// Linked into a test copy of the loader: the disk holds only kRoomBytes of the installer (the
// other files the loader writes are written as usual).
// The message box is recorded in %TEMP%\boxes.txt (caption, text) before it is shown, so a
// scenario can tell what the user was shown.
// Writes are served in full until the room runs out, then in part, then refused with
// ERROR_DISK_FULL, as a volume that fills up during the extraction answers.
// ORVA_HOOK_WINDOW_STATION=hidden makes the window station answer as one that is not visible
// (a service's in session 0) does; =unknown makes the question fail with ERROR_ACCESS_DENIED.
#include "TempRecord.h"
#include "tests/support/SystemCallsHook.h"

#include <windows.h>

namespace {

constexpr DWORD kRoomBytes = 10000;  // less than one output buffer, and than the installer
DWORD g_used = 0;

BOOL WINAPI WriteUntilFull(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                           LPOVERLAPPED overlapped)
{
    char path[MAX_PATH];
    DWORD length = GetFinalPathNameByHandleA(file, path, MAX_PATH, 0);
    if (length == 0 || length >= MAX_PATH || !e2e_hooks::IsInstallerFile(path))
        return WriteFile(file, data, size, written, overlapped);
    const DWORD room = kRoomBytes - g_used;
    if (room == 0) {
        if (written)
            *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    DWORD done = 0;
    BOOL ok = WriteFile(file, data, size < room ? size : room, &done, overlapped);
    if (written)
        *written = done;
    g_used += done;
    return ok;
}

int WINAPI RecordAndShowBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    e2e_hooks::AppendToTempRecord("boxes.txt", caption, text);
    return MessageBoxA(owner, text, caption, style);
}

BOOL WINAPI AnswerForStation(HANDLE object, int index, PVOID information, DWORD length,
                             LPDWORD needed)
{
    char answer[MAX_PATH] = "";
    e2e_hooks::Setting("ORVA_HOOK_WINDOW_STATION", answer);
    SetLastError(ERROR_ACCESS_DENIED);
    BOOL ok = lstrcmpA(answer, "unknown") != 0 &&
              GetUserObjectInformationA(object, index, information, length, needed);
    if (lstrcmpA(answer, "hidden") == 0)
        static_cast<USEROBJECTFLAGS*>(information)->dwFlags &= ~WSF_VISIBLE;
    return ok;
}

struct InstallHook {
    InstallHook()
    {
        support::g_systemCalls.writeFile = &WriteUntilFull;
        support::g_systemCalls.messageBoxA = &RecordAndShowBox;
        support::g_systemCalls.getUserObjectInformationA = &AnswerForStation;
    }
} g_installHook;

}  // namespace
