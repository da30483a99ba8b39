// What the program asks of the system it runs on: the platform family, and the full path of a
// file in the system folder.
#pragma once
#include "VoFoundation/VoTypes.h"

// True if the system belongs to the NT family. Asked anew on every call.
bool VoIsNtPlatform();

// Full path of a file in the system folder. False (path empty) when the system folder cannot
// be read (the last error is the system's) or the path would not fit the capacity (the last
// error is ERROR_FILENAME_EXCED_RANGE). Libraries and programs loaded by full path from there
// are never picked up from the loader's own folder, where a planted copy could be waiting.
bool VoSystemFilePath(const char* fileName, char* path, int32 capacity);
