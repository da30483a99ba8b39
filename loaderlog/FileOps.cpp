#include "loaderlog/FileOps.h"

#include "VoFoundation/VoLimits.h"
#include "rules/BoundedText.h"
#include "loaderlog/LoaderLog.h"

#include <windows.h>

namespace loader {
namespace {

bool IsMissingFileError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A failed delete or move, whose line is logged: with allowDelay and unless the file or its path
// is missing, schedules source to target for the next reboot. Always false.
bool DelayAfterFailure(DWORD error, bool allowDelay, const char* source, const char* target,
                       const char* delayedLine, const char* unableLine)
{
    if (allowDelay && !IsMissingFileError(error))
        DelayUntilReboot(source, target, delayedLine, unableLine);
    return false;
}

constexpr char kMoveDelayedLine[] = "Delaying previous move attempt until next reboot.";
constexpr char kMoveNotDelayedLine[] = "Unable to delay move attempt on this OS.";
constexpr char kMoveFailedLine[] = "Failed to move '%s' to '%s'.";

// Always false.
bool LogPathTooLong(const char* name, const char* fromFolder)
{
    WriteLoaderLogF(ERROR_FILENAME_EXCED_RANGE,
                    "Failed to move '%.200s' from '%.200s': the path is too long.", name,
                    fromFolder);
    return false;
}

}  // namespace

void DelayUntilReboot(const char* source, const char* target, const char* delayedLine,
                      const char* unableLine)
{
    if (IsNtPlatform()) {
        WriteLoaderLog(delayedLine);
        // A move replaces its target, as the immediate one does: by the next reboot the target may
        // be there (an earlier run's log), and a move that may not replace it fails then, leaving
        // the file, and the folder whose removal waits for it, in place for good.
        MoveFileExA(source, target,
                    target ? MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING
                           : MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
        WriteLoaderLog(unableLine);
    }
}

bool DeleteFileOrDelay(const char* path, bool allowDelay)
{
    if (!path)
        return false;
    if (DeleteFileA(path))
        return true;

    DWORD error = GetLastError();
    WriteLoaderLogF((long)error, "Failed to delete file '%s'.", path);
    return DelayAfterFailure(error, allowDelay, path, nullptr,
                             "Delaying previous delete attempt until next reboot.",
                             "Unable to delay delete attempt on this OS.");
}

bool MoveFileOrDelay(const char* fromFolder, const char* toFolder, const char* name,
                     const char* newName, bool allowDelay)
{
    if (!fromFolder || !toFolder || !name)
        return false;

    char source[kVoPathChars];
    char target[kVoPathChars];
    if (!TextJoin(source, fromFolder, name) ||
        !TextJoin(target, toFolder, newName ? newName : name)) {
        // A joined path over the path limit cannot name the file: refuse before any call.
        return LogPathTooLong(name, fromFolder);
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
    WriteLoaderLogF((long)error, kMoveFailedLine, source, target);
    return DelayAfterFailure(error, allowDelay, source, target, kMoveDelayedLine,
                             kMoveNotDelayedLine);
}

bool MoveLoaderLogOrDelay(const char* toFolder)
{
    char source[kVoPathChars];
    char target[kVoPathChars];
    TextCopy(source, LoaderLogPath());
    DWORD error = MoveLoaderLogTo(toFolder);
    if (error == ERROR_SUCCESS)
        return true;
    if (!TextJoin(target, toFolder, FileNamePart(source)))
        return LogPathTooLong(FileNamePart(source), toFolder);
    WriteLoaderLogF((long)error, kMoveFailedLine, source, target);
    // The log stays where it is and the next lines go on there, so the scheduled move, which
    // replaces an older log in the target folder, brings every line.
    return DelayAfterFailure(error, true, source, target, kMoveDelayedLine, kMoveNotDelayedLine);
}

}  // namespace loader
