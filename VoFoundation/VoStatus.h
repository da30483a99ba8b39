// VoStatus: what every fallible foundation operation returns. Code 2000 is success; the
// message reads from the outermost context line down to the first cause, joined by "\n\t".
#pragma once
#include "VoFoundation/VoTextBuffer.h"
#include "VoFoundation/VoTypes.h"

enum : int32 {
    VO_STATUS_OK = 2000,
    VO_STATUS_FAILED = 2001,
    VO_STATUS_NULL_POINTER = 2002,
    VO_STATUS_INVALID_HANDLE = 2003,
    VO_STATUS_NO_MEMORY = 2004,
    VO_STATUS_INVALID_PARAMETER = 2005,
    VO_STATUS_ACCESS_DENIED = 2006,
    VO_STATUS_NO_VALUE = 2007,
    VO_STATUS_NOT_FOUND = 2008,
    VO_STATUS_ALREADY_EXISTS = 2009,
    VO_STATUS_IO_ERROR = 2010,
    VO_STATUS_TOO_MANY = 2011,
    VO_STATUS_BUSY = 2012,
    VO_STATUS_DISK_FULL = 2014,
    VO_STATUS_OUT_OF_BOUNDS = 2015,
    VO_STATUS_UNEXPECTED = 2017,
    VO_STATUS_PRECONDITION = 2018,
};

// Longest formatted context line or message: 1024 less the 2 characters of "\n\t".
constexpr int32 kVoStatusTextChars = 1022;

class VoStatus {
public:
    VoStatus();
    explicit VoStatus(int32 code);
    // The message is the formatted text, cut to kVoStatusTextChars characters.
    VoStatus(int32 code, const char* format, ...) __attribute__((format(printf, 3, 4)));
    VoStatus(const VoStatus& other);
    VoStatus& operator=(const VoStatus& other);
    ~VoStatus();

    int32 code() const { return _code; }
    bool isOk() const { return _code == VO_STATUS_OK; }
    const char* message() const { return _message.c_str(); }
    VoTextBuffer& messageBuffer() { return _message; }

    void setCode(int32 code) { _code = code; }
    // Puts a formatted context line in front of the message ("\n\t" between them when the
    // message is not empty). Always returns true.
    bool addContext(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes the context line (if a format is given) followed by "\n\t" and the message to
    // the trace log at the error level. The status itself is not changed.
    void report(const char* format, ...) const __attribute__((format(printf, 2, 3)));

private:
    int32 _code;
    int32 _reserved;
    VoTextBuffer _message;
};

// Status code for a Win32 error number; 0 gives VO_STATUS_OK, unknown numbers VO_STATUS_FAILED.
int32 VoMapWin32Error(int32 win32Error);

// Status for a failed Win32 call: the mapped code and "Win32 method "<call>" returned with
// error (<n>). " followed by the first line of the system's message text.
VoStatus VoStatusFromWin32(const char* call, int32 win32Error);

// Ends a text at its first carriage return, then at its first line feed.
void VoCutToFirstLine(char* text);
