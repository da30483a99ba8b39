// Deleting and moving files, with the reboot-time fallback recorded by the system.
#include "loaderlog/FileOps.h"
#include "loaderlog/LoaderLog.h"

#include "LoaderLogLines.h"
#include "PendingRenames.h"
#include "Sandbox.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace loader;

namespace {

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        support::ClearPendingRenames();
        dir = box.temp();
        ASSERT_TRUE(SetLoaderLogPath(box.root().c_str(), "ops.log"));
    }
    void TearDown() override { support::ClearPendingRenames(); }
    std::vector<std::string> LogTexts() const
    {
        return support::LogTexts(support::ReadFile(box.root() + "ops.log"));
    }
    // The reboot-time operations registered for files of the sandbox.
    std::vector<std::string> Pending() const { return support::PendingOperationsUnder(box.root()); }
    support::Sandbox box;
    std::string dir;
};

TEST_F(FileOpsTest, DeletesAFileWithoutLogging)
{
    ASSERT_TRUE(support::WriteFile(dir + "a.txt", "a"));
    EXPECT_TRUE(DeleteFileOrDelay((dir + "a.txt").c_str(), true));
    EXPECT_FALSE(support::FileExists(dir + "a.txt"));
    EXPECT_TRUE(LogTexts().empty());
    EXPECT_FALSE(DeleteFileOrDelay(nullptr, true));
}

TEST_F(FileOpsTest, AMissingFileIsLoggedWithCodeTwoAndNeverScheduled)
{
    std::string missing = dir + "missing.txt";
    EXPECT_FALSE(DeleteFileOrDelay(missing.c_str(), true));
    EXPECT_EQ((std::vector<std::string>{"Failed to delete file '" + missing + "'.",
                                        "GetLastError() returned 2 for the preceeding failure!"}),
              LogTexts());
    EXPECT_TRUE(Pending().empty());
}

TEST_F(FileOpsTest, ALockedFileIsScheduledForDeletionAtRebootAndStillReportsFalse)
{
    std::string locked = dir + "locked.txt";
    ASSERT_TRUE(support::WriteFile(locked, "x"));
    HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    EXPECT_FALSE(DeleteFileOrDelay(locked.c_str(), false));
    EXPECT_TRUE(Pending().empty());
    EXPECT_FALSE(DeleteFileOrDelay(locked.c_str(), true));
    CloseHandle(held);

    std::vector<std::string> texts = LogTexts();
    ASSERT_EQ(5u, texts.size());
    EXPECT_EQ("Failed to delete file '" + locked + "'.", texts[2]);
    EXPECT_EQ("Delaying previous delete attempt until next reboot.", texts[4]);
    EXPECT_EQ(std::vector<std::string>{"temp\\locked.txt -> "}, Pending());
}

TEST_F(FileOpsTest, MovesUnderTheSameOrANewNameReplacingAnExistingTarget)
{
    CreateDirectoryA((dir + "to").c_str(), nullptr);
    std::string to = dir + "to\\";
    ASSERT_TRUE(support::WriteFile(dir + "keep.txt", "first"));
    EXPECT_TRUE(MoveFileOrDelay(dir.c_str(), to.c_str(), "keep.txt", nullptr, false));
    EXPECT_EQ("first", support::ReadFile(to + "keep.txt"));

    ASSERT_TRUE(support::WriteFile(dir + "new.txt", "second"));
    EXPECT_TRUE(MoveFileOrDelay(dir.c_str(), to.c_str(), "new.txt", "keep.txt", false));
    EXPECT_EQ("second", support::ReadFile(to + "keep.txt"));
    EXPECT_FALSE(support::FileExists(dir + "new.txt"));
    EXPECT_TRUE(LogTexts().empty());

    EXPECT_FALSE(MoveFileOrDelay(nullptr, to.c_str(), "x", nullptr, true));
    EXPECT_FALSE(MoveFileOrDelay(dir.c_str(), nullptr, "x", nullptr, true));
    EXPECT_FALSE(MoveFileOrDelay(dir.c_str(), to.c_str(), nullptr, nullptr, true));
    EXPECT_TRUE(LogTexts().empty());
}

TEST_F(FileOpsTest, AFailedMoveIsScheduledForRebootOnlyWhenDelayIsAllowed)
{
    CreateDirectoryA((dir + "to").c_str(), nullptr);
    std::string to = dir + "to\\";
    std::string source = dir + "busy.txt";
    ASSERT_TRUE(support::WriteFile(source, "x"));
    HANDLE held = CreateFileA(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    EXPECT_FALSE(MoveFileOrDelay(dir.c_str(), to.c_str(), "busy.txt", nullptr, false));
    ASSERT_EQ(2u, LogTexts().size());
    EXPECT_EQ("Failed to move '" + source + "' to '" + to + "busy.txt'.", LogTexts()[0]);
    EXPECT_TRUE(Pending().empty());

    EXPECT_FALSE(MoveFileOrDelay(dir.c_str(), to.c_str(), "busy.txt", nullptr, true));
    CloseHandle(held);
    std::vector<std::string> texts = LogTexts();
    ASSERT_EQ(5u, texts.size());
    EXPECT_EQ("Delaying previous move attempt until next reboot.", texts[4]);
    // Replacing its target, as the immediate move does.
    EXPECT_EQ(std::vector<std::string>{"temp\\busy.txt -> !temp\\to\\busy.txt"}, Pending());
}

TEST_F(FileOpsTest, AMissingSourceIsNeverScheduled)
{
    EXPECT_FALSE(MoveFileOrDelay(dir.c_str(), dir.c_str(), "gone.txt", "other.txt", true));
    std::vector<std::string> texts = LogTexts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("GetLastError() returned 2 for the preceeding failure!", texts[1]);
    EXPECT_TRUE(Pending().empty());
}

TEST_F(FileOpsTest, RefusesAJoinedPathOverThePathLimitBeforeTouchingAnything)
{
    ASSERT_TRUE(support::WriteFile(dir + "short.txt", "x"));
    std::string longName(260 - dir.size(), 'n');  // folder + name = 260 characters
    EXPECT_FALSE(MoveFileOrDelay(dir.c_str(), dir.c_str(), "short.txt", longName.c_str(), true));
    EXPECT_TRUE(support::FileExists(dir + "short.txt"));
    std::vector<std::string> texts = LogTexts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("GetLastError() returned 206 for the preceeding failure!", texts[1]);
    EXPECT_TRUE(Pending().empty());

    std::string fits(259 - dir.size(), 'f');  // exactly 259 characters
    EXPECT_TRUE(MoveFileOrDelay(dir.c_str(), dir.c_str(), "short.txt", fits.c_str(), false));
    EXPECT_TRUE(support::FileExists(dir + fits));
}

TEST(Platform, WineReportsTheNtFamily)
{
    EXPECT_TRUE(IsNtPlatform());
}

}  // namespace
