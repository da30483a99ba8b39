// Linked into the test loaders: the pause after the installer lasts kTestPauseMs instead of
// 5,000 ms, so that a scenario does not sit through it. With ORVA_TEST_REAL_PAUSE in its
// environment the loader keeps its own pause, for the scenarios that measure it.
#include "tests/support/SystemCallsHook.h"

#include <windows.h>

namespace {

constexpr DWORD kTestPauseMs = 50;

void WINAPI ShortPause(DWORD)
{
    Sleep(kTestPauseMs);
}

struct InstallHook {
    InstallHook()
    {
        if (GetEnvironmentVariableA("ORVA_TEST_REAL_PAUSE", nullptr, 0) == 0)
            support::g_systemCalls.sleep = &ShortPause;
    }
} g_installHook;

}  // namespace
