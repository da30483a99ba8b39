// VoStatusFromWin32: the status of a failed Win32 call with the system's message text.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "VoFoundation/VoStatus.h"
#include "VoFoundation/VoStatusWin32.h"
#include "VoFoundation/VoSystem.h"
#include "VoFoundation/VoSystemCalls.h"
#include "VoFoundation/VoFormat.h"
#include "VoFoundation/VoOwners.h"

namespace {

const char kNetworkMessageModule[] = "netmsg.dll";
const DWORD kSystemMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
const DWORD kNeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
constexpr int32 kFirstLineChars = 1023;

}  // namespace

VoStatus VoStatusFromWin32(const char* call, int32 win32Error)
{
    VoStatus result(VoMapWin32Error(win32Error));
    char firstLine[kFirstLineChars + 1];
    VoFormat(firstLine, sizeof firstLine, "Win32 method \"%s\" returned with error (%d). ",
             call != nullptr ? call : "", win32Error);

    DWORD flags = kSystemMessageFlags;
    VoUniqueModule module;
    if (VoIsNetworkError(win32Error)) {
        // Only the system folder's copy: a bare name would search the loader's own folder
        // first, where a planted module could be waiting.
        char path[MAX_PATH];
        if (VoSystemFilePath(kNetworkMessageModule, path, sizeof path)) {
            module.reset(static_cast<HMODULE>(
                VoCalls().loadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)));
        }
        if (module)
            flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }

    char* text = nullptr;
    DWORD length = FormatMessageA(flags, module.get(), static_cast<DWORD>(win32Error),
                                  kNeutralLanguage, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    VoUniqueLocal textBlock(text);
    if (length != 0 && text != nullptr) {
        VoCutToFirstLine(text);
        result.messageBuffer().assign(text, static_cast<int32>(strlen(text)));
    }

    result.messageBuffer().prepend(firstLine);
    return result;
}
