#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "FoundationTestSupport.h"
#include "FoundationFileSupport.h"

namespace {

std::string siblingPath(const char* fileName)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path, n);
    return own.substr(0, own.find_last_of("\\/") + 1) + fileName;
}

// The same program started by the C runtime and by the loader's own start-up.
TEST(VoStaticObjects, MadeBeforeEntryAndTornDownInFixedOrder)
{
    for (const char* probe :
         {"foundation_teardown_probe.exe", "foundation_teardown_probe_loader.exe"}) {
        SCOPED_TRACE(probe);
        std::string output = tempFilePath("vo-teardown-probe.txt");
        DeleteFileA(output.c_str());
        std::string commandLine = "\"" + siblingPath(probe) + "\" \"" + output + "\"";

        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process))
            << GetLastError();
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD exitCode = 1;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_EQ(0u, exitCode);

        EXPECT_EQ("started\n"
                  "step 1: process mutex gone, tls index present\n"
                  "step 2: process mutex gone, tls index gone\n"
                  "step 3: process mutex gone, tls index gone\n",
                  readFile(output));
        DeleteFileA(output.c_str());
    }
}

}  // namespace
