// The silent-install test and the cases in which the loader refuses to schedule its own
// deletion, called directly.
#include "loader/LoaderLog.h"
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
    void SetUp() override
    {
        ASSERT_TRUE(loader::SetLoaderLogPath(_folder.c_str(), "test.log"));
    }
    std::string log() const { return support::ReadFile(_folder + "test.log"); }
    void clearLog() const { DeleteFileA((_folder + "test.log").c_str()); }

    support::Sandbox _box;
    const std::string _folder = _box.temp();
};

TEST_F(SelfDeletionStep, SchedulesNothingForAPathThatMayNotNameTheLoader)
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
        clearLog();
        loader::ScheduleSelfDeletion(_folder.c_str(), c.modulePath.c_str(), c.complete);
        EXPECT_NE(std::string::npos, log().find(std::string(c.logged) + "\r\n")) << c.name << log();
        EXPECT_FALSE(support::FileExists(_folder + "~VO00000.bat")) << c.name;
    }
}

TEST_F(SelfDeletionStep, SilentOnlyWithDashSAndDashAFirstOfThreeOrMore)
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
