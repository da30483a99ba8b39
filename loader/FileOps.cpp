#include "FileOps.h"

#include "BoundedText.h"
#include "LoaderLog.h"
#include "LoaderRun.h"

#include <windows.h>

namespace loader {
namespace {

// Room for the fixed text of a message plus two full-length paths.
constexpr int kFileMessageChars = 2 * kPathChars + 64;

bool IsMissingFileError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool IsNtPlatform()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool DeleteFileOrDelay(const char* path, bool allowDelay)
{
    if (!path)
        return false;
    if (DeleteFileA(path))
        return true;

    DWORD error = GetLastError();
    char message[kFileMessageChars];
    wsprintfA(message, "Failed to delete file '%s'.", path);
    WriteLoaderLog(message, (long)error);
    if (!allowDelay || IsMissingFileError(error))
        return false;

    if (IsNtPlatform()) {
        WriteLoaderLog("Delaying previous delete attempt until next reboot.");
        MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
        WriteLoaderLog("Unable to delay delete attempt on this OS.");
    }
    return false;
}

bool MoveFileOrDelay(const char* fromFolder, const char* toFolder, const char* name,
                     const char* newName, bool allowDelay)
{
    if (!fromFolder || !toFolder || !name)
        return false;

    char source[kPathChars];
    char target[kPathChars];
    if (!TextJoin(source, fromFolder, name) ||
        !TextJoin(target, toFolder, newName ? newName : name)) {
        // A joined path over the path limit cannot name the file: refuse before any call.
        char message[kFileMessageChars];
        wsprintfA(message, "Failed to move '%.200s' from '%.200s': the path is too long.",
                  name, fromFolder);
        WriteLoaderLog(message, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }

    BOOL moved;
    if (IsNtPlatform()) {
        moved = MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING);
    } else {
        DeleteFileA(target);
        moved = MoveFileA(source, target);
    }
    if (moved)
        return true;

    DWORD error = GetLastError();
    char message[kFileMessageChars];
    wsprintfA(message, "Failed to move '%s' to '%s'.", source, target);
    WriteLoaderLog(message, (long)error);
    if (!allowDelay || IsMissingFileError(error))
        return false;

    if (IsNtPlatform()) {
        WriteLoaderLog("Delaying previous move attempt until next reboot.");
        MoveFileExA(source, target, MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
        WriteLoaderLog("Unable to delay move attempt on this OS.");
    }
    return false;
}

}  // namespace loader
