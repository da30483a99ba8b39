#include "loader/CannotStartBox.h"

#include <windows.h>

#include "VoFoundation/VoSystemCalls.h"
#include "loaderlog/LoaderLog.h"

namespace loader {

namespace {

constexpr int kBoxTextChars = 512;
constexpr unsigned kCannotStartStyle = MB_ICONHAND | MB_SYSTEMMODAL | MB_SETFOREGROUND;  // 0x11010
static_assert(kCannotStartStyle == 0x11010, "the box's style");
constexpr const char kCannotStartText[] =
    "Sorry, Orvadesk cannot be started at this time.\nPlease try again in a few minutes.";
constexpr const char kCannotStartCaption[] = "Error - Orvadesk";
constexpr const char kBoxNotShownLine[] = "No box shown: no visible window station.";

}  // namespace

void ShowCannotStartBox()
{
    // On a window station that is not visible (a service's, or a deployment tool's run in
    // session 0) no one can see the box, nor close it: the run would wait for ever, its folders
    // left behind and its caller waiting until it gives up. An answer that cannot be had counts
    // as not visible too: the reason is in the log either way, and a hang costs more than a box.
    USEROBJECTFLAGS station = {};
    DWORD needed = 0;
    if (!VoCalls().getUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &station,
                                             sizeof(station), &needed)) {
        WriteLoaderLog(kBoxNotShownLine, (long)GetLastError());
        return;
    }
    if ((station.dwFlags & WSF_VISIBLE) == 0) {
        WriteLoaderLog(kBoxNotShownLine, kNoErrorCode);
        return;
    }
    char text[kBoxTextChars];
    lstrcpynA(text, kCannotStartText, kBoxTextChars);
    VoCalls().messageBoxA(nullptr, text, kCannotStartCaption, kCannotStartStyle);
}

}  // namespace loader
