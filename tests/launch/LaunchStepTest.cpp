// The installer held read-only from extraction to start, nothing started without that hold,
// and the launch and clean-up.
#include "loader/Launch.h"
#include "tests/support/SystemCallsHook.h"
#include "loaderlog/LoaderLog.h"
#include "loader/CannotStartBox.h"
#include "payload/ExtractPayload.h"

#include "Sandbox.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

void __stdcall NoPause(unsigned long)
{
}

// Process starts and boxes, recorded before the start is made.
std::vector<std::string> g_started;  // the program of each start
int g_boxes = 0;

int __stdcall RecordProcess(const char* program, char* commandLine, _SECURITY_ATTRIBUTES* ps,
                            _SECURITY_ATTRIBUTES* ts, int inherit, unsigned long flags,
                            void* environment, const char* folder, _STARTUPINFOA* startup,
                            _PROCESS_INFORMATION* process)
{
    g_started.push_back(program ? program : "");
    return CreateProcessA(program, commandLine, ps, ts, inherit, flags, environment, folder,
                          startup, process);
}

int __stdcall CountBox(HWND__*, const char*, const char*, unsigned)
{
    ++g_boxes;
    return IDOK;
}

// A sandbox that serves as TEMP of the installers this test starts and holds the log; a copy
// of the demo installer stands at the installer path.
class InstallerLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(loader::SetLoaderLogPath(_box.temp().c_str(), "test.log"));
        _savedPause = support::g_systemCalls.sleep;
        support::g_systemCalls.sleep = &NoPause;
        g_started.clear();
        g_boxes = 0;
        support::g_systemCalls.createProcessA = &RecordProcess;
        support::g_systemCalls.messageBoxA = &CountBox;
        ASSERT_TRUE(CopyFileA(support::UnixToWindowsPath(DEMO_INSTALLER_PATH).c_str(),
                              _installer.c_str(), FALSE));
        lstrcpyA(_run.installerPath, _installer.c_str());
        lstrcpyA(_run.commandLine, _installer.c_str());
        lstrcatA(_run.commandLine, " /checked");
    }
    void TearDown() override
    {
        support::g_systemCalls.sleep = _savedPause;
        support::g_systemCalls.createProcessA = &CreateProcessA;
        support::g_systemCalls.messageBoxA = &MessageBoxA;
    }
    std::string log() const { return support::ReadFile(_box.temp() + "test.log"); }

    support::Sandbox _box;
    support::ProcessTemp _processTemp{_box.temp()};
    const std::string _folder = _box.temp();
    const std::string _installer = _folder + "Setup.exe";
    loader::LoaderRun _run = {};
    decltype(VoSystemCalls::sleep) _savedPause = nullptr;
};

TEST_F(InstallerLock, KeepsTheHeldInstallerFromBeingChangedUntilItHasStarted)
{
    HANDLE held = CreateFileA(_installer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    _run.installerLock.reset(held);

    HANDLE writer = CreateFileA(_installer.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_FALSE(DeleteFileA(_installer.c_str()));
    EXPECT_FALSE(MoveFileA(_installer.c_str(), (_folder + "Other.exe").c_str()));

    loader::RunInstallerAndCleanUp(_run);
    EXPECT_EQ(nullptr, _run.installerLock.get());
    EXPECT_EQ(std::vector<std::string>{_installer}, g_started);
    std::string record = support::ReadFile(_folder + "demo-installer.txt");
    EXPECT_NE(std::string::npos, record.find("cmdline: " + _installer + " /checked\r\n")) << record;
    EXPECT_FALSE(support::FileExists(_installer));  // deleted after
    EXPECT_EQ(std::string::npos, log().find("Could not")) << log();
    EXPECT_EQ(0, g_boxes);
}

TEST_F(InstallerLock, StartsNothingItDoesNotHoldAndSaysWhyWithTheExtractionsError)
{
    // A file stands at the installer path, but this run holds none it has checked.
    _run.installerError = ERROR_RESOURCE_TYPE_NOT_FOUND;
    loader::RunInstallerAndCleanUp(_run);

    EXPECT_TRUE(g_started.empty());
    EXPECT_EQ("", support::ReadFile(_folder + "demo-installer.txt"));
    EXPECT_EQ(1, g_boxes);
    const std::string expected = "Could not create process.\r\n"
                                 "GetLastError() returned 1813 for the preceeding failure!\r\n";
    EXPECT_NE(std::string::npos, log().find(expected)) << log();
    // The clean-up still runs: the file is not left for a later start.
    EXPECT_NE(std::string::npos, log().find("Deleting extracted EXEs...")) << log();
    EXPECT_FALSE(support::FileExists(_installer));
}

}  // namespace
