// VoStatusFromWin32 for the native build: the mapped code and the first line, without the
// system's message text, which only Windows has.
#include <stdio.h>

#include "VoFoundation/VoStatus.h"

VoStatus VoStatusFromWin32(const char* call, int32 win32Error)
{
    VoStatus result(VoMapWin32Error(win32Error));
    char firstLine[kVoStatusTextChars + 1];
    snprintf(firstLine, sizeof firstLine, "Win32 method \"%s\" returned with error (%d). ",
             call != nullptr ? call : "", win32Error);
    result.messageBuffer().prepend(firstLine);
    return result;
}
