// The installer held read-only from extraction to start, nothing started without that hold,
// and the cases in which the loader refuses to schedule its own deletion or gives it up.
#include "loader/Launch.h"
#include "loader/LoaderLog.h"
#include "loader/SelfDeletion.h"
#include "payload/ExtractPayload.h"

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

// Process starts and boxes, recorded instead of (or before) being made.
struct ProcessCall {
    std::string program;
    std::string commandLine;
};
std::vector<ProcessCall> g_processCalls;
DWORD g_refuseProcessWith = 0;  // 0: start for real
int g_boxes = 0;

int __stdcall RecordProcess(const char* program, char* commandLine, _SECURITY_ATTRIBUTES* ps,
                            _SECURITY_ATTRIBUTES* ts, int inherit, unsigned long flags,
                            void* environment, const char* folder, _STARTUPINFOA* startup,
                            _PROCESS_INFORMATION* process)
{
    g_processCalls.push_back({program ? program : "", commandLine ? commandLine : ""});
    if (g_refuseProcessWith != 0) {
        SetLastError(g_refuseProcessWith);
        return FALSE;
    }
    return CreateProcessA(program, commandLine, ps, ts, inherit, flags, environment, folder,
                          startup, process);
}

int __stdcall CountBox(HWND__*, const char*, const char*, unsigned)
{
    ++g_boxes;
    return IDOK;
}

class Launch : public Scratch {
protected:
    void SetUp() override
    {
        Scratch::SetUp();
        g_processCalls.clear();
        g_refuseProcessWith = 0;
        g_boxes = 0;
        loader::g_createProcess = &RecordProcess;
        payload::g_showMessageBox = &CountBox;
        _installer = _folder + "Setup.exe";
        ASSERT_TRUE(CopyFileA(WindowsPath(DEMO_INSTALLER_PATH).c_str(), _installer.c_str(), FALSE));
        _run = {};
        lstrcpyA(_run.installerPath, _installer.c_str());
        lstrcpyA(_run.commandLine, _installer.c_str());
        lstrcatA(_run.commandLine, " /checked");
    }
    void TearDown() override
    {
        loader::g_createProcess = &CreateProcessA;
        payload::g_showMessageBox = &MessageBoxA;
        Scratch::TearDown();
    }
    std::string _installer;
    loader::LoaderRun _run;
};

TEST_F(Launch, KeepsTheHeldInstallerFromBeingChangedUntilItHasStarted)
{
    HANDLE held = CreateFileA(_installer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    _run.installerLock = held;

    HANDLE writer = CreateFileA(_installer.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_FALSE(DeleteFileA(_installer.c_str()));
    EXPECT_FALSE(MoveFileA(_installer.c_str(), (_folder + "Other.exe").c_str()));

    loader::RunInstallerAndCleanUp(_run);
    EXPECT_EQ(nullptr, _run.installerLock);
    ASSERT_EQ(1u, g_processCalls.size());
    EXPECT_EQ(_installer, g_processCalls[0].program);
    std::string record = ReadAll(_folder + "demo-installer.txt");
    EXPECT_NE(std::string::npos, record.find("cmdline: " + _installer + " /checked\r\n")) << record;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(_installer.c_str()));  // deleted after
    EXPECT_EQ(std::string::npos, log().find("Could not")) << log();
    EXPECT_EQ(0, g_boxes);
}

TEST_F(Launch, StartsNothingItDoesNotHoldAndSaysWhyWithTheExtractionsError)
{
    // A file stands at the installer path, but this run holds none it has checked.
    _run.installerError = ERROR_RESOURCE_TYPE_NOT_FOUND;
    loader::RunInstallerAndCleanUp(_run);

    EXPECT_TRUE(g_processCalls.empty());
    EXPECT_EQ("", ReadAll(_folder + "demo-installer.txt"));
    EXPECT_EQ(1, g_boxes);
    const std::string expected =
        "Could not create process.\r\n"
        "GetLastError() returned 1813 for the preceeding failure!\r\n";
    EXPECT_NE(std::string::npos, log().find(expected)) << log();
    // The clean-up still runs: the file is not left for a later start.
    EXPECT_NE(std::string::npos, log().find("Deleting extracted EXEs...")) << log();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(_installer.c_str()));
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
        {"double quote", "C:\\set\" & calc & \".exe", true,
         "Self-deletion skipped: the loader's path holds '\"' and would break the batch's quoting."},
    };
    for (const auto& c : cases) {
        DeleteFileA((_folder + "test.log").c_str());
        loader::ScheduleSelfDeletion(_folder.c_str(), c.modulePath.c_str(), c.complete);
        EXPECT_NE(std::string::npos, log().find(std::string(c.logged) + "\r\n")) << c.name << log();
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((_folder + "~VO00000.bat").c_str()))
            << c.name;
    }
}

int __stdcall FailWithDiskFull(void*, const void*, unsigned long, unsigned long* written,
                               _OVERLAPPED*)
{
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

int __stdcall WriteHalf(void* file, const void* data, unsigned long size, unsigned long* written,
                        _OVERLAPPED* overlapped)
{
    return WriteFile(file, data, size / 2, written, overlapped);
}

// Each way the batch can fail once its name is taken: the error logged is that of the call
// that failed, the batch file is gone, and a batch that was not written whole never starts.
TEST_F(Launch, SelfDeletionGivesUpWithTheErrorOfTheCallThatFailed)
{
    char system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryA(system, MAX_PATH));
    const std::string batch = _folder + "~VO00000.bat";
    // The whole 259 characters that GetModuleFileNameA can report.
    const std::string longest = "C:\\" + std::string(252, 'a') + ".exe";
    ASSERT_EQ(259u, longest.size());
    const struct {
        const char* name;
        payload::WriteFileFunction write;
        const char* logged;
        DWORD error;
        bool started;
    } cases[] = {
        {"start refused", &WriteFile, "Could not create batch process.", ERROR_NOT_ENOUGH_QUOTA, true},
        {"write fails", &FailWithDiskFull, "Could not write batch file.", ERROR_DISK_FULL, false},
        {"write comes up short", &WriteHalf, "Could not write batch file.", ERROR_DISK_FULL, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA((_folder + "test.log").c_str());
        g_processCalls.clear();
        g_refuseProcessWith = ERROR_NOT_ENOUGH_QUOTA;
        loader::g_writeBatchFile = c.write;
        loader::ScheduleSelfDeletion(_folder.c_str(), longest.c_str(), true);
        loader::g_writeBatchFile = &WriteFile;

        EXPECT_NE(std::string::npos,
                  log().find(std::string(c.logged) + "\r\nGetLastError() returned " +
                             std::to_string(c.error) + " for the preceeding failure!\r\n"))
            << log();
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(batch.c_str()));
        ASSERT_EQ(c.started ? 1u : 0u, g_processCalls.size());
        if (c.started) {
            // The interpreter from the system folder, without the AutoRun commands (/d).
            EXPECT_EQ(std::string(system) + "\\cmd.exe", g_processCalls[0].program);
            EXPECT_EQ(std::string(system) + "\\cmd.exe /d /s /c \"\"" + batch + "\"\"",
                      g_processCalls[0].commandLine);
        }
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
