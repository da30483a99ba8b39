// Collects the trace records written while an instance lives, through the trace log's
// callback (which takes them instead of the queue).
#pragma once

#include <string>
#include <vector>

#include "VoFoundation/VoTraceLog.h"

class TraceCapture {
public:
    struct Record {
        int32 level;
        std::string message;
    };

    TraceCapture()
    {
        Records().clear();
        VoTraceLog::setCallback(&Collect);
    }
    ~TraceCapture() { VoTraceLog::setCallback(nullptr); }

    const std::vector<Record>& records() const { return Records(); }

private:
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    static std::vector<Record>& Records()
    {
        static std::vector<Record> records;
        return records;
    }
    static void Collect(int32 level, const char*, const char*, const char*, const char* message)
    {
        Records().push_back(Record{level, message ? message : ""});
    }
};
