// Failure reports: failed checks and unreturnable failures go to the trace log at the error
// level, with the source location they come from.
#pragma once
#include "VoFoundation/VoTextBuffer.h"
#include "VoFoundation/VoTypes.h"

constexpr int32 kVoCheckMessageChars = 511;    // formatted message of a failed check
constexpr int32 kVoLocationSuffixChars = 255;  // the ", file:line" part of a location text

// prefix + ", " + file + ":" + line (the part after the prefix cut to 255 characters).
VoTextBuffer VoLocationText(const char* prefix, const char* file, int32 line);

// Where the file name begins in a path: after its last backslash or forward slash, unless
// the only separator is the first character. Letter case is kept.
const char* VoBaseName(const char* path);

// Writes "(<condition>) failed: <message> in <base name> at line <n>. (Last OS error: <e>)"
// to the trace log at the error level. The message is cut to 511 characters.
void VoReportFailedCheck(const char* condition, const char* format, const char* file, int32 line,
                         int32 lastOsError, ...) __attribute__((format(printf, 2, 6)));
