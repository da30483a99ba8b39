// File operations with a fallback that schedules the operation for the next reboot.
#pragma once

namespace loader {

// True only if the file was deleted now. With allowDelay, a failed delete (other than a
// missing file or path) is scheduled for the next reboot on NT-family systems.
bool DeleteFileOrDelay(const char* path, bool allowDelay);

// Moves fromFolder+name to toFolder+(newName or name). True only if moved now. Folders end
// in a backslash. With allowDelay, a failed move is scheduled for the next reboot on NT.
bool MoveFileOrDelay(const char* fromFolder, const char* toFolder, const char* name,
                     const char* newName, bool allowDelay);

// True if the system belongs to the NT family. Asked anew on every call.
bool IsNtPlatform();

}  // namespace loader
