// VoTraceLog: the process-wide diagnostic channel. Records go to a callback or to a bounded
// in-memory queue, and are composed into a line for the file and console outputs when those
// are switched on. Created on first use, never destroyed.
#pragma once
#include <time.h>

#include "VoFoundation/VoTextBuffer.h"
#include "VoFoundation/VoTraceFile.h"
#include "VoFoundation/VoTypes.h"
#include "VoFoundation/VoThreads/VoMutex.h"

constexpr int32 kVoTraceLevelDebug = 0;
constexpr int32 kVoTraceLevelInfo = 1;
constexpr int32 kVoTraceLevelWarning = 2;
constexpr int32 kVoTraceLevelError = 3;
constexpr int32 kVoTraceLevelStatus = 5;

constexpr int32 kVoTraceQueueLimit = 100;     // records beyond this are dropped
constexpr int32 kVoTraceMessageChars = 1023;  // messages of debug and error
constexpr int32 kVoTraceStampChars = 23;      // "YYYY-MM-DD hh:mm:ss PST"
constexpr int32 kVoPacificOffsetHours = 8;    // fixed, summer or winter

// Receives every record instead of the queue. Stamp and id are never null; name and message
// are passed as the writer gave them. The texts are valid only during the call.
typedef void (*VoTraceCallback)(int32 level, const char* stamp, const char* name, const char* id,
                                const char* message);
typedef time_t (*VoTraceTimeSource)(time_t* now);

struct VoTraceRecord {
    int32 level = 0;
    VoTextBuffer stamp;
    VoTextBuffer name;
    VoTextBuffer id;
    VoTextBuffer message;
};

class VoTraceLog {
public:
    // Creates the singleton on the first call; false when it cannot be created.
    static bool instance();
    // The log's name ("" when unnamed); null when the singleton cannot be created.
    static const char* name();
    static void write(int32 level, const char* name, const char* message);
    // Format (cut to 1023 characters) and write at level 0 or 3; a null format does nothing.
    static void debug(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static void error(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // Settings, left at their defaults (no callback, no file, outputs and debug off, thread
    // id on, the system clock) unless changed.
    static void setCallback(VoTraceCallback callback);
    static void setTimeSource(VoTraceTimeSource source);  // null restores the system clock
    static void setFile(void* handle);
    static void setFileOutput(bool on);
    static void setConsoleOutput(bool on);
    static void setDebug(bool on);

    // Reading and emptying the queue.
    static int32 queuedCount();
    static const VoTraceRecord* queuedRecord(int32 index);  // null outside 0..count-1
    static void clearQueue();

    static bool created() { return _log != nullptr; }  // without creating
    static int32 slot() { return _traceSlot; }         // thread-name slot, -1 before creation

private:
    VoTraceLog();
    void _enqueue(int32 level, const char* stamp, const char* name, const char* id,
                  const char* message);
    void _threadId(VoTextBuffer& id) const;
    // Writes the line to the outputs that are on; set by the first setter that turns one on, so
    // that a program that never does (the loader) carries no output code.
    void (*_writeOut)(VoTraceLog& log, int32 level, const char* stamp, const char* name,
                      const char* id, const char* message);
    static void _writeOutputs(VoTraceLog& log, int32 level, const char* stamp, const char* name,
                              const char* id, const char* message);

    static VoTraceLog* _log;
    static int32 _traceSlot;
    static VoTraceTimeSource _timeSource;

    VoTextBuffer _name;
    VoTraceCallback _callback;
    VoTraceFile _file;
    bool _fileOutput;
    bool _consoleOutput;
    bool _debug;
    bool _threadIdOn;
    int32 _count;
    VoMutex _queueMutex;
    VoTraceRecord _records[kVoTraceQueueLimit];
};

// "YYYY-MM-DD hh:mm:ss PST" for a calendar time: UTC less a fixed 8 hours.
// stamp holds at least kVoTraceStampChars + 1 bytes.
void VoFormatPstTimeStamp(time_t now, char* stamp);

// The trace line of a record; empty when the level produces none. A text is given when its
// pointer is not null, even if it is empty.
VoTextBuffer VoComposeTraceLine(int32 level, const char* stamp, const char* name, const char* id,
                                const char* message, bool debugOn, bool threadIdOn);

// Number of the calling thread, unique per thread (the trace id when no name is stored).
int32 VoTraceThreadNumber();
