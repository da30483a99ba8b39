// Linked into test loaders whose hooks take settings from the scenario's environment or leave
// a record for it: one line "first|second" (a null pointer stands for "") appended to a file in
// the loader's TEMP folder.
#pragma once

#include <windows.h>

namespace e2e_hooks {

// The value of the environment variable name; false when it is unset or too long.
bool Setting(const char* name, char (&value)[MAX_PATH]);
bool IsSet(const char* name);
// True for a path that ends in "\Setup.exe", as the loader's installer file does.
bool IsInstallerFile(const char* path);

void AppendToTempRecord(const char* fileName, const char* first, const char* second);

}  // namespace e2e_hooks
