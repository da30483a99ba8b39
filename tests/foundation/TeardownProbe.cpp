// Writes the foundation's teardown steps, as they happen at exit, to the file named by the
// first argument: one line per step with the state that must hold at that point. Built twice:
// started by the C runtime, and by the loader's own start-up (ORVA_LOADER_STARTUP).
#include <windows.h>
#include "tests/support/SystemCallsHook.h"

#include <stdio.h>

#include "VoFoundation/VoThreads/VoStaticObjects.h"
#include "VoFoundation/VoThreads/VoThreadLocalStorage.h"
#include "loader/Startup.h"

namespace {

HANDLE gOut = INVALID_HANDLE_VALUE;

void writeLine(const char* line)
{
    DWORD written = 0;
    WriteFile(gOut, line, lstrlenA(line), &written, nullptr);
}

void observe(int32 step)
{
    char line[128];
    snprintf(line, sizeof line, "step %d: process mutex %s, tls index %s\n", step,
             VoProcessMutex() != nullptr ? "present" : "gone",
             VoTlsContext::tlsIndex() != -1 ? "present" : "gone");
    writeLine(line);
}

}  // namespace

#ifdef ORVA_LOADER_STARTUP
int LoaderMain(int argc, char** argv)
#else
int main(int argc, char** argv)
#endif
{
    if (argc < 2)
        return 2;
    gOut = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (gOut == INVALID_HANDLE_VALUE)
        return 3;
    writeLine(VoProcessMutex() != nullptr && VoTlsContext::tlsIndex() != -1 ? "started\n"
                                                                            : "not started\n");
    support::g_systemCalls.observeTeardown = observe;
    return 0;
}
