// Bounded printf-style formatting for the foundation's fixed buffers.
#pragma once
#include <stdarg.h>
#include <stddef.h>

#include "VoFoundation/VoTypes.h"

// Formats into out (size bytes, size > 0), cutting longer output; out is always terminated.
// Returns the length of the text in out. On Windows this uses the system runtime's formatter:
// the C++ library headers switch the C stdio names to MinGW's own printf engine, whose
// floating-point conversions alone would add about 25 KB to the loader.
int32 VoFormatV(char* out, size_t size, const char* format, va_list args);
int32 VoFormat(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
