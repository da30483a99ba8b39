// The silent-install test, the cases in which the loader refuses to schedule its own
// deletion, and those in which it gives it up, called directly.
#include "loader/Launch.h"
#include "tests/support/SystemCallsHook.h"
#include "loaderlog/LoaderLog.h"
#include "loader/PrivateFolder.h"
#include "loader/SelfDeletion.h"

#include "Sandbox.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

class SelfDeletionStep : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loader::SetLoaderLogPath(_folder.c_str(), "test.log")); }
    void TearDown() override { support::RestoreSystemCalls(); }
    std::string log() const { return support::ReadFile(_folder + "test.log"); }
    void clearLog() const { DeleteFileA((_folder + "test.log").c_str()); }

    support::Sandbox _box;
    const std::string _folder = _box.temp();
};

TEST_F(SelfDeletionStep, SchedulesNothingForAPathThatMayNotNameTheLoader)
{
    const char* cut =
        "Self-deletion skipped: the loader's path fills the path buffer and may be cut short.";
    const char* wildcard =
        "Self-deletion skipped: the loader's path holds '?' or '*' and would match other files.";
    const char* notFull =
        "Self-deletion skipped: the loader's path is not in full form and may name another file.";
    const struct {
        const char* name;
        std::string modulePath;
        bool complete;
        const char* logged;
    } cases[] = {
        {"cut at the path limit", "C:\\" + std::string(255, 'a') + ".exe", true, cut},
        {"reported as cut", "C:\\short.exe", false, cut},
        {"question mark", "C:\\setup?.exe", true, wildcard},
        {"asterisk", "C:\\set*.exe", true, wildcard},
        {"double quote", "C:\\set\" & calc & \".exe", true,
         "Self-deletion skipped: the loader's path holds '\"' and would break the batch's quoting."},
        // What full-width backslashes, slashes, colons and full stops become in the ANSI path.
        {"a parent folder component", "C:\\Users\\u\\Downloads\\..\\..\\..\\Windows\\x.dll", true,
         notFull},
        {"a current folder component", "C:\\Users\\.\\x.exe", true, notFull},
        {"a slash", "C:\\Users\\u/x.exe", true, notFull},
        {"a doubled backslash", "C:\\Users\\\\x.exe", true, notFull},
        {"a colon after the drive (a stream of another file)", "C:\\Users\\a:b.exe", true, notFull},
    };
    for (const auto& c : cases) {
        clearLog();
        loader::ScheduleSelfDeletion(_folder.c_str(), c.modulePath.c_str(), c.complete);
        EXPECT_NE(std::string::npos, log().find(std::string(c.logged) + "\r\n")) << c.name << log();
        EXPECT_FALSE(support::FileExists(_folder + "~VO00000.bat")) << c.name;
    }
}

// The batch's starts, recorded and refused, so that nothing runs.
struct ProcessCall {
    std::string program;
    std::string commandLine;
    bool asUser;
};
std::vector<ProcessCall> g_processCalls;

int __stdcall RecordAndRefuse(const char* program, char* commandLine, _SECURITY_ATTRIBUTES*,
                              _SECURITY_ATTRIBUTES*, int, unsigned long, void*, const char*,
                              _STARTUPINFOA*, _PROCESS_INFORMATION*)
{
    g_processCalls.push_back({program ? program : "", commandLine ? commandLine : "", false});
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
}

int __stdcall RecordAsUserAndRefuse(void*, const char* program, char* commandLine,
                                    _SECURITY_ATTRIBUTES*, _SECURITY_ATTRIBUTES*, int,
                                    unsigned long, void*, const char*, _STARTUPINFOA*,
                                    _PROCESS_INFORMATION*)
{
    g_processCalls.push_back({program ? program : "", commandLine ? commandLine : "", true});
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
}

// The token check's answers: an administrator or not, and a run elevated through the user's
// consent (with the user's own token linked to it: a copy of this process's) or not.
bool g_member;
bool g_linked;

BOOL WINAPI AnswerMembership(HANDLE, PSID, PBOOL member)
{
    *member = g_member;
    return TRUE;
}

BOOL WINAPI AnswerTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information,
                                   DWORD length, PDWORD needed)
{
    if (kind == TokenElevationType) {
        *static_cast<TOKEN_ELEVATION_TYPE*>(information) =
            g_linked ? TokenElevationTypeFull : TokenElevationTypeDefault;
        return TRUE;
    }
    if (kind == TokenLinkedToken)
        return OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS,
                                &static_cast<TOKEN_LINKED_TOKEN*>(information)->LinkedToken);
    return GetTokenInformation(token, kind, information, length, needed);
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
TEST_F(SelfDeletionStep, GivesUpWithTheErrorOfTheCallThatFailed)
{
    char system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryA(system, MAX_PATH));
    const std::string batch = _folder + "~VO00000.bat";
    // The whole 259 characters that GetModuleFileNameA can report.
    const std::string longest = "C:\\" + std::string(252, 'a') + ".exe";
    ASSERT_EQ(259u, longest.size());
    const struct {
        const char* name;
        decltype(VoSystemCalls::writeFile) write;
        const char* logged;
        DWORD error;
        bool started;
    } cases[] = {
        {"start refused", &WriteFile, "Could not create batch process.", ERROR_NOT_ENOUGH_QUOTA,
         true},
        {"write fails", &FailWithDiskFull, "Could not write batch file.", ERROR_DISK_FULL, false},
        {"write comes up short", &WriteHalf, "Could not write batch file.", ERROR_DISK_FULL, false},
    };
    support::g_systemCalls.createProcessA = &RecordAndRefuse;
    support::g_systemCalls.checkTokenMembership = &AnswerMembership;
    g_member = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearLog();
        g_processCalls.clear();
        support::g_systemCalls.writeFile = c.write;
        loader::ScheduleSelfDeletion(_folder.c_str(), longest.c_str(), true);
        support::g_systemCalls.writeFile = &WriteFile;

        EXPECT_NE(std::string::npos,
                  log().find(std::string(c.logged) + "\r\nGetLastError() returned " +
                             std::to_string(c.error) + " for the preceeding failure!\r\n"))
            << log();
        EXPECT_FALSE(support::FileExists(batch));
        ASSERT_EQ(c.started ? 1u : 0u, g_processCalls.size());
        if (c.started) {
            // The interpreter from the system folder, without the AutoRun commands (/d).
            EXPECT_EQ(std::string(system) + "\\cmd.exe", g_processCalls[0].program);
            EXPECT_EQ(std::string(system) + "\\cmd.exe /d /s /c \"\"" + batch + "\"\"",
                      g_processCalls[0].commandLine);
        }
    }
}

// Run with raised rights, the batch runs with the user's own token, or, where there is none and
// others may change a folder on the loader's path (under Wine every folder shows the user as
// owner), not at all; a run without privileges starts it with its own.
TEST_F(SelfDeletionStep, TheBatchHasNoMoreRightsThanTheUserWhoCouldDeleteTheFileAnyway)
{
    const std::string loader = _box.bin() + "download.exe";
    const struct {
        const char* name;
        bool privileged;
        bool linked;
        int started;  // -1: skipped, 0: with the loader's rights, 1: with the user's token
    } cases[] = {
        {"elevated, with the user's token", true, true, 1},
        {"elevated, without it", true, false, -1},
        {"without privileges", false, false, 0},
    };
    support::g_systemCalls.createProcessA = &RecordAndRefuse;
    support::g_systemCalls.createProcessAsUserA = &RecordAsUserAndRefuse;
    support::g_systemCalls.checkTokenMembership = &AnswerMembership;
    support::g_systemCalls.getTokenInformation = &AnswerTokenInformation;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearLog();
        g_processCalls.clear();
        g_linked = c.linked;
        g_member = c.privileged;
        loader::ScheduleSelfDeletion(_folder.c_str(), loader.c_str(), true);
        ASSERT_EQ(c.started < 0 ? 0u : 1u, g_processCalls.size()) << log();
        if (c.started >= 0) {
            EXPECT_EQ(c.started == 1, g_processCalls[0].asUser);
        }
        EXPECT_EQ(c.started < 0, log().find("Self-deletion skipped: others may change a folder on "
                                            "the loader's path.") != std::string::npos)
            << log();
    }
}

TEST_F(SelfDeletionStep, SilentOnlyWithDashSAndDashAFirstOfThreeOrMore)
{
    const struct {
        std::vector<const char*> args;
        bool silent;
    } cases[] = {
        {{"l", "-s", "-a", "x"}, true},  {{"l", "-silent", "-all", "x"}, true},
        {{"l", "-s2", "-a", "x"}, true}, {{"l", "-s", "-a"}, false},
        {{"l", "-a", "-s", "x"}, false}, {{"l", "-S", "-a", "x"}, false},
        {{"l", "/s", "/a", "x"}, false}, {{"l"}, false},
    };
    for (const auto& c : cases) {
        clearLog();
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
