// Helpers shared by the foundation tests: allocation failure and the trace queue.
#pragma once
#include <windows.h>

#include <string>

#include "VoFoundation/VoAllocator.h"
#include "VoFoundation/VoTraceLog.h"

// Makes one chosen allocation fail (or all from one on) for the life of the object.
class AllocFailure {
public:
    enum Mode { kOnCall, kFromCall };
    explicit AllocFailure(int n, Mode mode = kOnCall) {
        if (mode == kOnCall) VoAllocFailOnCall(n); else VoAllocFailFrom(n);
    }
    ~AllocFailure() { VoAllocFailOnCall(0); VoAllocFailFrom(0); }
    AllocFailure(const AllocFailure&) = delete;
    AllocFailure& operator=(const AllocFailure&) = delete;
};

// The trace records written while the object lives.
class TraceCapture {
public:
    TraceCapture() { VoTraceLog::instance(); VoTraceLog::clearQueue(); }
    ~TraceCapture() { VoTraceLog::clearQueue(); }
    int count() const { return VoTraceLog::queuedCount(); }
    std::string message(int i) const {
        const VoTraceRecord* r = VoTraceLog::queuedRecord(i);
        return r != nullptr ? r->message.c_str() : "<none>";
    }
    int level(int i) const {
        const VoTraceRecord* r = VoTraceLog::queuedRecord(i);
        return r != nullptr ? r->level : -1;
    }
};

inline std::string readFile(const std::string& path) {
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

inline std::string tempFilePath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}
