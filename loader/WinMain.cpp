// The loader's main function, called by its start-up (Startup.cpp). It opens no window: its only
// user interface is the error box.
#include "MainSequence.h"
#include "Startup.h"

#include <windows.h>

namespace {

loader::LoaderRun g_run;

// Libraries that are loaded by name later on (by the system on the loader's behalf, too)
// must come from the system folder, never from the folder a downloaded loader sits in.
// Resolved at run time so the loader still starts where the call does not exist.
void RestrictDllSearchToSystemFolder()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return;
    auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDirectories)
        setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int LoaderMain(int argc, char** argv)
{
    RestrictDllSearchToSystemFolder();
    return loader::RunMainSequence(g_run, argc, argv);
}
