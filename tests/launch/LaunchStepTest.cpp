// The installer held read-only from extraction to start, and its launch and clean-up.
#include "loader/Launch.h"
#include "loader/LoaderLog.h"

#include "Sandbox.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

void __stdcall NoPause(unsigned long) {}

// A sandbox that serves as TEMP of the installers this test starts and holds the log.
class InstallerLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(loader::SetLoaderLogPath(_box.temp().c_str(), "test.log"));
        _savedPause = loader::g_pauseAfterInstaller;
        loader::g_pauseAfterInstaller = &NoPause;
    }
    void TearDown() override { loader::g_pauseAfterInstaller = _savedPause; }
    std::string log() const { return support::ReadFile(_box.temp() + "test.log"); }

    support::Sandbox _box;
    support::ProcessTemp _processTemp{_box.temp()};
    const std::string _folder = _box.temp();
    loader::PauseFunction _savedPause = nullptr;
};

TEST_F(InstallerLock, KeepsTheInstallerFromBeingChangedUntilItHasStarted)
{
    loader::LoaderRun run = {};
    std::string installer = _folder + "Setup.exe";
    ASSERT_TRUE(CopyFileA(support::UnixToWindowsPath(DEMO_INSTALLER_PATH).c_str(),
                          installer.c_str(), FALSE));
    lstrcpyA(run.installerPath, installer.c_str());
    lstrcpyA(run.commandLine, installer.c_str());
    lstrcatA(run.commandLine, " /checked");

    loader::LockExtractedInstaller(run);
    ASSERT_NE(nullptr, run.installerLock);

    HANDLE writer = CreateFileA(installer.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_FALSE(DeleteFileA(installer.c_str()));
    EXPECT_FALSE(MoveFileA(installer.c_str(), (_folder + "Other.exe").c_str()));

    loader::RunInstallerAndCleanUp(run);
    EXPECT_EQ(nullptr, run.installerLock);
    std::string record = support::ReadFile(_folder + "demo-installer.txt");
    EXPECT_NE(std::string::npos, record.find("cmdline: " + installer + " /checked\r\n")) << record;
    EXPECT_FALSE(support::FileExists(installer));  // deleted after
    EXPECT_EQ(std::string::npos, log().find("Could not")) << log();
}

TEST_F(InstallerLock, KeepsAHandleThatTheExtractionHandedOver)
{
    loader::LoaderRun run = {};
    std::string file = _folder + "Setup.exe";
    HANDLE handed = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handed);
    lstrcpyA(run.installerPath, file.c_str());
    run.installerLock = handed;
    loader::LockExtractedInstaller(run);
    EXPECT_EQ(handed, run.installerLock);
    CloseHandle(handed);
}

TEST_F(InstallerLock, LogsWhenTheInstallerCannotBeHeld)
{
    loader::LoaderRun run = {};
    lstrcpyA(run.installerPath, (_folder + "Missing.exe").c_str());
    loader::LockExtractedInstaller(run);
    EXPECT_EQ(nullptr, run.installerLock);
    EXPECT_NE(std::string::npos, log().find("Could not hold '" + _folder + "Missing.exe' until it is started.\r\n"
                                            "GetLastError() returned 2 for the preceeding failure!"))
        << log();
}

}  // namespace
