#include "VoFoundation/VoStatus.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "VoFoundation/VoTraceLog.h"
#include "VoFoundation/VoFormat.h"

namespace {

const char kContextSeparator[] = "\n\t";

// Formats into line (kVoStatusTextChars + 1 bytes), cutting longer output.
void formatLine(char* line, const char* format, va_list args)
{
    VoFormatV(line, kVoStatusTextChars + 1, format, args);
}

}  // namespace

VoStatus::VoStatus() : _code(0), _reserved(0)
{
}

VoStatus::VoStatus(int32 code) : _code(code), _reserved(0)
{
}

VoStatus::VoStatus(int32 code, const char* format, ...) : _code(code), _reserved(0)
{
    if (format == nullptr)
        return;
    char line[kVoStatusTextChars + 1];
    va_list args;
    va_start(args, format);
    formatLine(line, format, args);
    va_end(args);
    _message.assign(line, static_cast<int32>(strlen(line)));
}

VoStatus::VoStatus(const VoStatus& other)
    : _code(other._code), _reserved(other._reserved), _message(other._message)
{
}

VoStatus& VoStatus::operator=(const VoStatus& other)
{
    _code = other._code;
    _reserved = other._reserved;
    if (this != &other)
        _message = other._message;
    return *this;
}

VoStatus::~VoStatus()
{
}

bool VoStatus::addContext(const char* format, ...)
{
    if (format == nullptr)
        return true;
    char line[kVoStatusTextChars + sizeof kContextSeparator];
    va_list args;
    va_start(args, format);
    formatLine(line, format, args);
    va_end(args);
    if (!_message.isEmpty())
        strcat(line, kContextSeparator);
    _message.prepend(line);
    return true;
}

void VoStatus::report(const char* format, ...) const
{
    VoTextBuffer text(_message);
    if (format != nullptr) {
        char line[kVoStatusTextChars + sizeof kContextSeparator];
        va_list args;
        va_start(args, format);
        formatLine(line, format, args);
        va_end(args);
        strcat(line, kContextSeparator);
        text.prepend(line);
    }
    VoTraceLog::write(kVoTraceLevelError, VoTraceLog::name(), text.c_str());
}

int32 VoMapWin32Error(int32 win32Error)
{
    switch (win32Error) {
    case 0:
        return VO_STATUS_OK;
    case 6:
        return VO_STATUS_INVALID_HANDLE;
    case 8:
    case 14:
        return VO_STATUS_NO_MEMORY;
    case 87:
        return VO_STATUS_INVALID_PARAMETER;
    case 5:
    case 19:
    case 32:
    case 33:
    case 110:
        return VO_STATUS_ACCESS_DENIED;
    case 2:
    case 3:
    case 126:
    case 127:
        return VO_STATUS_NOT_FOUND;
    case 80:
    case 183:
        return VO_STATUS_ALREADY_EXISTS;
    case 29:
    case 30:
    case 1117:
    case 1127:
        return VO_STATUS_IO_ERROR;
    case 4:
    case 100:
    case 152:
    case 214:
        return VO_STATUS_TOO_MANY;
    case 54:
    case 142:
    case 148:
    case 170:
    case 231:
        return VO_STATUS_BUSY;
    case 39:
    case 112:
        return VO_STATUS_DISK_FULL;
    default:
        return VO_STATUS_FAILED;
    }
}

void VoCutToFirstLine(char* text)
{
    if (text == nullptr)
        return;
    char* end = strchr(text, '\r');
    if (end != nullptr)
        *end = 0;
    end = strchr(text, '\n');
    if (end != nullptr)
        *end = 0;
}
