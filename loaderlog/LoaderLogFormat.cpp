// The formatted line, in a file of its own: programs that replace WriteLoaderLog (tests that
// collect the lines) keep this one, and it writes through theirs.
#include "VoFoundation/VoLimits.h"
#include "loaderlog/LoaderLog.h"

#include <windows.h>

#include <stdarg.h>

namespace loader {

void WriteLoaderLogF(long errorCode, const char* format, ...)
{
    char text[kVoFormattedChars + 1];
    va_list arguments;
    va_start(arguments, format);
    wvsprintfA(text, format, arguments);
    va_end(arguments);
    WriteLoaderLog(text, errorCode);
}

}  // namespace loader
