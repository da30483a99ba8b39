// What the program asks of the system it runs on: the platform family, the full path of a
// file in the system folder, ANSI names that name what their wide forms name, and the owner
// and DACL of an object as SDDL.
#pragma once
#include "VoFoundation/VoTypes.h"

// True if the system belongs to the NT family. Asked anew on every call.
bool VoIsNtPlatform();

// Full path of a file in the system folder. False (path empty) when the system folder cannot
// be read (the last error is the system's) or the path would not fit the capacity (the last
// error is ERROR_FILENAME_EXCED_RANGE). Libraries and programs loaded by full path from there
// are never picked up from the loader's own folder, where a planted copy could be waiting.
bool VoSystemFilePath(const char* fileName, char* path, int32 capacity);

// Makes ansi, the ANSI form of a name that an ANSI call reported, name what wide (the same
// call's wide answer) names. The ANSI code page gives a character it lacks as "?" or as a
// best-fit look-alike (an L with a stroke as "L", a full-width quotation mark as '"'), which is no
// name or another file's: then ansi becomes the short name of wide, where that is plain ASCII.
// False, ansi unchanged, when neither names it.
bool VoAnsiNameOf(const wchar_t* wide, char* ansi, int32 capacity);
// The same for text in another code page (the OEM one of the command interpreter).
bool VoNameInCodePage(unsigned codePage, const wchar_t* wide, char* text, int32 capacity);

// The owner and DACL of the object behind handle (objectType: an SE_OBJECT_TYPE, such as
// SE_FILE_OBJECT or SE_REGISTRY_KEY) as SDDL, in *sddl, to be freed with LocalFree. 0, or the
// error of the call that failed (*sddl then null).
unsigned long VoSddlOf(void* handle, int objectType, char** sddl);
