// VoTraceFile: the trace log's output file. Each "\n" of a text becomes "\r\n" in the file.
#pragma once

class VoTraceFile {
public:
    VoTraceFile() : _handle(nullptr) {}

    // Neither null nor INVALID_HANDLE_VALUE.
    bool valid() const;
    // Null: true. INVALID_HANDLE_VALUE: cleared, true. Otherwise CloseHandle's result; cleared.
    bool close();
    // False for no file, a null or empty text, or a failed write (what was written stays).
    bool write(const char* text, bool addLineEnd);

    // The file is owned by whoever opened it until close is called.
    void setHandle(void* handle) { _handle = handle; }
    void* handle() const { return _handle; }

private:
    void* _handle;
};
