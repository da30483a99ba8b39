// The installer held read-only from extraction to start, and the cases in which the loader
// refuses to schedule its own deletion.
#include "loader/Launch.h"
#include "loader/LoaderLog.h"
#include "loader/SelfDeletion.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
        for (char& c : path)
            if (c == '/')
                c = '\\';
    }
    return path;
}

std::string ReadAll(const std::string& path)
{
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char buffer[4096];
    DWORD got;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got)
        content.append(buffer, got);
    CloseHandle(file);
    return content;
}

// A private folder that serves as TEMP for the programs this test starts.
class Scratch : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        _oldTemp = base;
        _folder = std::string(base) + "orva-launch-" + std::to_string(GetCurrentProcessId()) +
                  "-" + std::to_string(GetTickCount()) + "\\";
        ASSERT_TRUE(CreateDirectoryA(_folder.c_str(), nullptr));
        ASSERT_TRUE(loader::SetLoaderLogPath(_folder.c_str(), "test.log"));
        SetEnvironmentVariableA("TEMP", _folder.c_str());
        SetEnvironmentVariableA("TMP", _folder.c_str());
    }
    void TearDown() override
    {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((_folder + "*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                SetFileAttributesA((_folder + data.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((_folder + data.cFileName).c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(_folder.c_str());
        SetEnvironmentVariableA("TEMP", _oldTemp.c_str());
        SetEnvironmentVariableA("TMP", _oldTemp.c_str());
    }
    std::string log() const { return ReadAll(_folder + "test.log"); }
    std::string _folder;
    std::string _oldTemp;
};

using InstallerLock = Scratch;

TEST_F(InstallerLock, KeepsTheInstallerFromBeingChangedUntilItHasStarted)
{
    loader::LoaderRun run = {};
    std::string installer = _folder + "Setup.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(DEMO_INSTALLER_PATH).c_str(), installer.c_str(), FALSE));
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
    std::string record = ReadAll(_folder + "demo-installer.txt");
    EXPECT_NE(std::string::npos, record.find("cmdline: " + installer + " /checked\r\n")) << record;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(installer.c_str()));  // deleted after
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

using SelfDeletionRefusal = Scratch;

TEST_F(SelfDeletionRefusal, SchedulesNothingForAPathThatMayNotNameTheLoader)
{
    const struct {
        const char* name;
        std::string modulePath;
        bool complete;
        const char* logged;
    } cases[] = {
        {"cut at the path limit", "C:\\" + std::string(255, 'a') + ".exe", true,
         "Self-deletion skipped: the loader's path fills the path buffer and may be cut short."},
        {"reported as cut", "C:\\short.exe", false,
         "Self-deletion skipped: the loader's path fills the path buffer and may be cut short."},
        {"question mark", "C:\\setup?.exe", true,
         "Self-deletion skipped: the loader's path holds '?' or '*' and would match other files."},
        {"asterisk", "C:\\set*.exe", true,
         "Self-deletion skipped: the loader's path holds '?' or '*' and would match other files."},
    };
    for (const auto& c : cases) {
        DeleteFileA((_folder + "test.log").c_str());
        loader::ScheduleSelfDeletion(_folder.c_str(), c.modulePath.c_str(), c.complete);
        EXPECT_NE(std::string::npos, log().find(std::string(c.logged) + "\r\n")) << c.name << log();
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((_folder + "~VO00000.bat").c_str()))
            << c.name;
    }
}

TEST_F(SelfDeletionRefusal, SilentOnlyWithDashSAndDashAFirstOfThreeOrMore)
{
    const struct {
        std::vector<const char*> args;
        bool silent;
    } cases[] = {
        {{"l", "-s", "-a", "x"}, true},
        {{"l", "-silent", "-all", "x"}, true},
        {{"l", "-s2", "-a", "x"}, true},
        {{"l", "-s", "-a"}, false},
        {{"l", "-a", "-s", "x"}, false},
        {{"l", "-S", "-a", "x"}, false},
        {{"l", "/s", "/a", "x"}, false},
        {{"l"}, false},
    };
    for (const auto& c : cases) {
        DeleteFileA((_folder + "test.log").c_str());
        std::vector<char*> argv;
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        EXPECT_EQ(c.silent, loader::IsSilentInstall((int)c.args.size(), argv.data()))
            << c.args.size();
        EXPECT_EQ(c.silent, log().find("### silent install detected ###\r\n") != std::string::npos);
    }
}

}  // namespace
