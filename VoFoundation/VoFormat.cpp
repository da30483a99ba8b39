#include "VoFoundation/VoFormat.h"

#include <stdio.h>
#include <string.h>

int32 VoFormatV(char* out, size_t size, const char* format, va_list args)
{
    if (out == nullptr || size == 0)
        return 0;
    out[0] = 0;
    if (format == nullptr)
        return 0;
#ifdef _WIN32
    // _vsnprintf leaves the text unterminated (and answers -1) when it fills the room.
    _vsnprintf(out, size - 1, format, args);
#else
    vsnprintf(out, size, format, args);
#endif
    out[size - 1] = 0;
    return static_cast<int32>(strlen(out));
}

int32 VoFormat(char* out, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int32 length = VoFormatV(out, size, format, args);
    va_end(args);
    return length;
}
