#include "VoFoundation/VoTraceFile.h"

#include <windows.h>

namespace {

const char kLineEnd[] = "\r\n";

bool writeBytes(HANDLE file, const char* bytes, DWORD count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) != 0;
}

}  // namespace

bool VoTraceFile::valid() const
{
    return _handle != nullptr && _handle != INVALID_HANDLE_VALUE;
}

bool VoTraceFile::close()
{
    if (_handle == nullptr)
        return true;
    if (_handle == INVALID_HANDLE_VALUE) {
        _handle = nullptr;
        return true;
    }
    BOOL closed = CloseHandle(_handle);
    _handle = nullptr;
    return closed != 0;
}

bool VoTraceFile::write(const char* text, bool addLineEnd)
{
    if (!valid() || text == nullptr || text[0] == 0)
        return false;
    HANDLE file = static_cast<HANDLE>(_handle);
    const char* piece = text;
    for (const char* p = text; *p != 0; ++p) {
        if (*p != '\n')
            continue;
        if (!writeBytes(file, piece, static_cast<DWORD>(p - piece)))
            return false;
        if (!writeBytes(file, kLineEnd, 2))
            return false;
        piece = p + 1;
    }
    if (!writeBytes(file, piece, static_cast<DWORD>(lstrlenA(piece))))
        return false;
    if (addLineEnd && !writeBytes(file, kLineEnd, 2))
        return false;
    return true;
}
