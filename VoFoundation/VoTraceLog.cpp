#include "VoFoundation/VoTraceLog.h"

#include <new>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "VoFoundation/VoAllocator.h"
#include "VoFoundation/VoFormat.h"
#include "VoFoundation/VoStatus.h"
#include "VoFoundation/VoThreads/VoThreadLocalStorage.h"

VoTraceLog* VoTraceLog::_log = nullptr;
int32 VoTraceLog::_traceSlot = -1;
VoTraceTimeSource VoTraceLog::_timeSource = time;

namespace {

const char* levelPrefix(int32 level, bool debugOn)
{
    switch (level) {
    case kVoTraceLevelDebug:
        return debugOn ? "d: " : nullptr;
    case kVoTraceLevelInfo:
        return "i: ";
    case kVoTraceLevelWarning:
        return "W: ";
    case kVoTraceLevelError:
        return "E: ";
    case kVoTraceLevelStatus:
        return "s: ";
    default:
        return nullptr;
    }
}

// The printf-style front ends: the message is cut to 1023 characters on the stack.
void writeFormatted(int32 level, const char* format, va_list args)
{
    if (format == nullptr)
        return;
    char message[kVoTraceMessageChars + 1];
    VoFormatV(message, sizeof(message), format, args);
    VoTraceLog::write(level, VoTraceLog::name(), message);
}

}  // namespace

VoTraceLog::VoTraceLog()
    : _writeOut(nullptr), _callback(nullptr), _fileOutput(false), _consoleOutput(false),
      _debug(false), _threadIdOn(true), _count(0)
{
}

bool VoTraceLog::instance()
{
    if (_log != nullptr)
        return true;
    void* memory = VoAlloc(sizeof(VoTraceLog));
    if (memory == nullptr)
        return false;
    _log = new (memory) VoTraceLog();
    _traceSlot = VoTlsContext::process()->allocateSlot();
    return true;
}

const char* VoTraceLog::name()
{
    return instance() ? _log->_name.c_str() : nullptr;
}

void VoTraceLog::write(int32 level, const char* name, const char* message)
{
    if (!instance())
        return;
    VoTraceLog* log = _log;
    char stamp[kVoTraceStampChars + 1];
    VoFormatPstTimeStamp(_timeSource(nullptr), stamp);
    VoTextBuffer id;
    log->_threadId(id);

    if (log->_callback != nullptr) {
        log->_callback(level, stamp, name, id.c_str(), message);
    } else {
        log->_enqueue(level, stamp, name, id.c_str(), message);
    }

    if (log->_writeOut != nullptr)
        log->_writeOut(*log, level, stamp, name, id.c_str(), message);
}

void VoTraceLog::_writeOutputs(VoTraceLog& log, int32 level, const char* stamp, const char* name,
                               const char* id, const char* message)
{
    if (!log._fileOutput && !log._consoleOutput)
        return;  // the line would go nowhere
    VoTextBuffer line =
        VoComposeTraceLine(level, stamp, name, id, message, log._debug, log._threadIdOn);
    if (line.isEmpty())
        return;
    if (log._fileOutput)
        log._file.write(line.c_str(), true);
    if (log._consoleOutput)
        puts(line.c_str());
}

void VoTraceLog::debug(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeFormatted(kVoTraceLevelDebug, format, args);
    va_end(args);
}

void VoTraceLog::error(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeFormatted(kVoTraceLevelError, format, args);
    va_end(args);
}

void VoTraceLog::_enqueue(int32 level, const char* stamp, const char* name, const char* id,
                          const char* message)
{
    _queueMutex.lock();
    if (_count < kVoTraceQueueLimit) {
        VoTraceRecord& record = _records[_count];
        record.level = level;
        record.stamp = VoTextBuffer(stamp);
        record.name = VoTextBuffer(name);
        record.id = VoTextBuffer(id);
        record.message = VoTextBuffer(message);
        ++_count;
    }
    _queueMutex.unlock();
}

void VoTraceLog::_threadId(VoTextBuffer& id) const
{
    void* threadName = nullptr;
    VoStatus status = VoTlsContext::process()->getValue(_traceSlot, &threadName);
    if (status.code() == VO_STATUS_OK && threadName != nullptr) {
        id = *static_cast<const VoTextBuffer*>(threadName);
        return;
    }
    if (!kVoLocationDetails)
        return;
    char number[16];
    VoFormat(number, sizeof number, "%d", VoTraceThreadNumber());
    id = VoTextBuffer(number);
}

void VoTraceLog::setCallback(VoTraceCallback callback)
{
    if (instance())
        _log->_callback = callback;
}

void VoTraceLog::setTimeSource(VoTraceTimeSource source)
{
    _timeSource = source != nullptr ? source : time;
}

void VoTraceLog::setFile(void* handle)
{
    if (instance())
        _log->_file.setHandle(handle);
}

void VoTraceLog::setFileOutput(bool on)
{
    if (!instance())
        return;
    _log->_fileOutput = on;
    _log->_writeOut = &_writeOutputs;
}

void VoTraceLog::setConsoleOutput(bool on)
{
    if (!instance())
        return;
    _log->_consoleOutput = on;
    _log->_writeOut = &_writeOutputs;
}

void VoTraceLog::setDebug(bool on)
{
    if (instance())
        _log->_debug = on;
}

int32 VoTraceLog::queuedCount()
{
    return _log != nullptr ? _log->_count : 0;
}

const VoTraceRecord* VoTraceLog::queuedRecord(int32 index)
{
    if (_log == nullptr || index < 0 || index >= _log->_count)
        return nullptr;
    return &_log->_records[index];
}

void VoTraceLog::clearQueue()
{
    if (_log == nullptr)
        return;
    _log->_queueMutex.lock();
    for (int32 i = 0; i < _log->_count; ++i)
        _log->_records[i] = VoTraceRecord();
    _log->_count = 0;
    _log->_queueMutex.unlock();
}

void VoFormatPstTimeStamp(time_t now, char* stamp)
{
    struct tm pacific = {};
    const struct tm* utc = gmtime(&now);
    if (utc != nullptr)
        pacific = *utc;
    // mktime normalises the fields, so a negative hour rolls back into the previous day.
    pacific.tm_hour -= kVoPacificOffsetHours;
    pacific.tm_isdst = -1;
    mktime(&pacific);
    VoFormat(stamp, kVoTraceStampChars + 1, "%04u-%02u-%02u %02u:%02u:%02u PST",
             static_cast<unsigned>(pacific.tm_year + 1900),
             static_cast<unsigned>(pacific.tm_mon + 1), static_cast<unsigned>(pacific.tm_mday),
             static_cast<unsigned>(pacific.tm_hour), static_cast<unsigned>(pacific.tm_min),
             static_cast<unsigned>(pacific.tm_sec));
}

VoTextBuffer VoComposeTraceLine(int32 level, const char* stamp, const char* name, const char* id,
                                const char* message, bool debugOn, bool threadIdOn)
{
    VoTextBuffer line;
    const char* prefix = levelPrefix(level, debugOn);
    if (prefix == nullptr)
        return line;
    if (stamp != nullptr && kVoLocationDetails) {
        line.append(stamp);
        line.append(" ");
    }
    line.append(prefix);
    if (name != nullptr) {
        line.append("[");
        line.append(name);
        line.append("] ");
    }
    if (threadIdOn && id != nullptr) {
        line.append("<");
        line.append(id);
        line.append("> ");
    }
    if (message != nullptr)
        line.append(message);
    return line;
}
