// VoStatusFromWin32: codes, the system's message text and the network message module.
#include "VoFoundation/VoStatus.h"
#include "tests/support/SystemCallsHook.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "VoFoundation/VoStatusWin32.h"

namespace {

// Records which modules VoStatusFromWin32 asks for, and loads none.
std::vector<std::string> gLoadedPaths;
std::vector<unsigned long> gLoadFlags;
HMODULE WINAPI recordLoad(LPCSTR path, HANDLE, DWORD flags)
{
    gLoadedPaths.push_back(path);
    gLoadFlags.push_back(flags);
    return nullptr;
}

class VoStatusFromWin32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        gLoadedPaths.clear();
        gLoadFlags.clear();
        support::g_systemCalls.loadLibraryExA = recordLoad;
    }
    void TearDown() override { support::RestoreSystemCalls(); }
};

TEST_F(VoStatusFromWin32Test, CodesAndFirstLine)
{
    VoStatus noMemory = VoStatusFromWin32("HeapAlloc()", 8);
    EXPECT_EQ(VO_STATUS_NO_MEMORY, noMemory.code());
    std::string lead = "Win32 method \"HeapAlloc()\" returned with error (8). ";
    std::string message = noMemory.message();
    EXPECT_EQ(lead, message.substr(0, lead.size()));
    EXPECT_GT(message.size(), lead.size()) << "the system's text follows";
    EXPECT_EQ(std::string::npos, message.find_first_of("\r\n"));

    VoStatus ok = VoStatusFromWin32("TlsGetValue()", 0);
    EXPECT_EQ(VO_STATUS_OK, ok.code());
    EXPECT_EQ(
        0u,
        std::string(ok.message()).find("Win32 method \"TlsGetValue()\" returned with error (0). "));

    VoStatus unnamed = VoStatusFromWin32(nullptr, 2);
    EXPECT_EQ(VO_STATUS_NOT_FOUND, unnamed.code());
    EXPECT_EQ(0u,
              std::string(unnamed.message()).find("Win32 method \"\" returned with error (2). "));

    VoStatus unknown = VoStatusFromWin32("X", 0x7FFF0001);
    EXPECT_EQ(VO_STATUS_FAILED, unknown.code());
    EXPECT_STREQ("Win32 method \"X\" returned with error (2147418113). ", unknown.message());
}

TEST_F(VoStatusFromWin32Test, NetworkModuleOnlyForNetworkErrorsAndFromSystemFolder)
{
    char systemFolder[MAX_PATH];
    UINT n = GetSystemDirectoryA(systemFolder, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::string expectedPath = std::string(systemFolder) + "\\netmsg.dll";

    struct Case {
        int32 error;
        bool consulted;
    } cases[] = {{2099, false}, {2100, true}, {2999, true}, {3000, false}, {8, false}};
    for (const Case& c : cases) {
        gLoadedPaths.clear();
        gLoadFlags.clear();
        VoStatus status = VoStatusFromWin32("NetCall()", c.error);
        EXPECT_EQ(c.error == 8 ? VO_STATUS_NO_MEMORY : VO_STATUS_FAILED, status.code()) << c.error;
        if (!c.consulted) {
            EXPECT_TRUE(gLoadedPaths.empty()) << c.error;
            continue;
        }
        ASSERT_EQ(1u, gLoadedPaths.size()) << c.error;
        EXPECT_STRCASEEQ(expectedPath.c_str(), gLoadedPaths[0].c_str());
        EXPECT_EQ(static_cast<unsigned long>(LOAD_LIBRARY_AS_DATAFILE), gLoadFlags[0]);
    }
}

TEST_F(VoStatusFromWin32Test, RealNetworkModuleLoadWorksOrFallsBack)
{
    support::RestoreSystemCalls();
    VoStatus status = VoStatusFromWin32("NetCall()", 2102);
    EXPECT_EQ(VO_STATUS_FAILED, status.code());
    EXPECT_EQ(0u, std::string(status.message())
                      .find("Win32 method \"NetCall()\" returned with error (2102). "));
    EXPECT_EQ(std::string::npos, std::string(status.message()).find_first_of("\r\n"));
}

TEST_F(VoStatusFromWin32Test, AllocationFailureKeepsCode)
{
    AllocFailure fail(1, AllocFailure::kFromCall);
    VoStatus status = VoStatusFromWin32("HeapAlloc()", 8);
    EXPECT_EQ(VO_STATUS_NO_MEMORY, status.code());
    EXPECT_STREQ("", status.message());
}

}  // namespace
