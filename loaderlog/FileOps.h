// File operations with a fallback that schedules the operation for the next reboot.
#pragma once

#include "VoFoundation/VoSystem.h"

namespace loader {

// True only if the file was deleted now. With allowDelay, a failed delete (other than a
// missing file or path) is scheduled for the next reboot on NT-family systems.
bool DeleteFileOrDelay(const char* path, bool allowDelay);

// Moves fromFolder+name to toFolder+(newName or name). True only if moved now. Folders end
// in a backslash. With allowDelay, a failed move is scheduled for the next reboot on NT.
bool MoveFileOrDelay(const char* fromFolder, const char* toFolder, const char* name,
                     const char* newName, bool allowDelay);

// Schedules the move of source to target, replacing it, (a null target: the deletion of source)
// for the next reboot, after logging delayedLine, on NT-family systems; elsewhere, where that
// cannot be done, logs unableLine. The scheduling's result is not examined.
void DelayUntilReboot(const char* source, const char* target, const char* delayedLine,
                      const char* unableLine);

// Moves the log into toFolder through its handle (see MoveLoaderLogTo). When that fails, logs
// the failure and, unless the log is missing, schedules the move for the next reboot with the
// replace flag; the log stays where it is and later lines go on there, so that the scheduled
// move brings it whole. True only if moved now.
bool MoveLoaderLogOrDelay(const char* toFolder);

// True if the system belongs to the NT family. Asked anew on every call.
inline bool IsNtPlatform()
{
    return VoIsNtPlatform();
}

}  // namespace loader
