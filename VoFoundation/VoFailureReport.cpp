#include "VoFoundation/VoFailureReport.h"

#include <stdarg.h>
#include <stdio.h>

#include "VoFoundation/VoTraceLog.h"
#include "VoFoundation/VoFormat.h"

VoTextBuffer VoLocationText(const char* prefix, const char* file, int32 line)
{
    VoTextBuffer text(prefix);
    char suffix[kVoLocationSuffixChars + 1];
    VoFormat(suffix, sizeof suffix, ", %s:%d", file != nullptr ? file : "", line);
    text.append(suffix);
    return text;
}

const char* VoBaseName(const char* path)
{
    if (path == nullptr)
        return "";
    const char* separator = nullptr;
    for (const char* p = path; *p != 0; ++p) {
        if (*p == '\\' || *p == '/')
            separator = p;
    }
    if (separator == nullptr || separator == path)
        return path;
    return separator + 1;
}

void VoReportFailedCheck(const char* condition, const char* format, const char* file, int32 line,
                         int32 lastOsError, ...)
{
    char message[kVoCheckMessageChars + 1];
    message[0] = 0;
    if (format != nullptr) {
        va_list args;
        va_start(args, lastOsError);
        VoFormatV(message, sizeof message, format, args);
        va_end(args);
    }
    VoTraceLog::error("(%s) failed: %s in %s at line %d. (Last OS error: %d)",
                      condition != nullptr ? condition : "", message, VoBaseName(file), line,
                      lastOsError);
}
