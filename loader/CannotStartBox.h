// The loader's one message box, raised when the installer cannot be extracted or started.
#pragma once

struct HWND__;

namespace loader {

// Tells the user that the installer cannot be started; the reason goes to the loader log only.
// Blocks until the box is closed. Where no one could see the box (the process's window station
// is not visible, or that cannot be told), logs "No box shown: no visible window station."
// instead (with the error when it cannot be told) and returns at once.
void ShowCannotStartBox();

// The box is shown through this pointer (MessageBoxA unless a test replaces it).
using MessageBoxFunction = int(__stdcall*)(HWND__* owner, const char* text, const char* caption,
                                           unsigned style);
extern MessageBoxFunction g_showMessageBox;

// Whether the box can be seen is asked through this pointer (GetUserObjectInformationA unless a
// test replaces it).
using UserObjectInformationFunction = int(__stdcall*)(void* object, int index, void* information,
                                                      unsigned long length, unsigned long* needed);
extern UserObjectInformationFunction g_getUserObjectInformation;

}  // namespace loader
