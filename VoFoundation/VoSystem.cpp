#include "VoFoundation/VoSystem.h"

#include <windows.h>

#include <string.h>

bool VoIsNtPlatform()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool VoSystemFilePath(const char* fileName, char* path, int32 capacity)
{
    path[0] = 0;
    UINT length = GetSystemDirectoryA(path, static_cast<UINT>(capacity));
    if (length == 0)
        return false;
    size_t nameLength = strlen(fileName);
    if (static_cast<int32>(length) >= capacity ||
        static_cast<size_t>(length) + 1 + nameLength >= static_cast<size_t>(capacity)) {
        path[0] = 0;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (path[length - 1] != '\\')
        path[length++] = '\\';
    memcpy(path + length, fileName, nameLength + 1);
    return true;
}
