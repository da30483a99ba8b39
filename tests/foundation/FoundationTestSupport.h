// Helpers shared by the foundation tests: allocation failure and the trace queue.
// Platform-free, so the tests that use only these also run in the native build.
#pragma once
#include <string>

#include "VoFoundation/VoAllocator.h"
#include "VoFoundation/VoTraceLog.h"

// Makes one chosen allocation fail (or all from one on) for the life of the object.
class AllocFailure {
public:
    enum Mode { kOnCall, kFromCall };
    explicit AllocFailure(int n, Mode mode = kOnCall)
    {
        if (mode == kOnCall)
            VoAllocFailOnCall(n);
        else
            VoAllocFailFrom(n);
    }
    ~AllocFailure()
    {
        VoAllocFailOnCall(0);
        VoAllocFailFrom(0);
    }
    AllocFailure(const AllocFailure&) = delete;
    AllocFailure& operator=(const AllocFailure&) = delete;
};

// The trace records written while the object lives.
class TraceCapture {
public:
    TraceCapture()
    {
        VoTraceLog::instance();
        VoTraceLog::clearQueue();
    }
    ~TraceCapture() { VoTraceLog::clearQueue(); }
    int count() const { return VoTraceLog::queuedCount(); }
    std::string message(int i) const
    {
        const VoTraceRecord* r = VoTraceLog::queuedRecord(i);
        return r != nullptr ? r->message.c_str() : "<none>";
    }
    int level(int i) const
    {
        const VoTraceRecord* r = VoTraceLog::queuedRecord(i);
        return r != nullptr ? r->level : -1;
    }
};
