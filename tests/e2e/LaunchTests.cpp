// Starting the installer, the pause after it, and the clean-up of what the loader left.
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace e2e;

namespace {

constexpr unsigned long kPauseMs = 5000;
// The tick count moves in steps of up to 16 ms (on Windows and under Wine alike), so two tick
// counts read a pause apart can differ by up to a step less than the pause itself.
constexpr unsigned long kShortestPauseMs = kPauseMs - 16;

TEST(Launch, PausesFiveSecondsAfterTheInstallerEndsThenCleansUp)
{
    Sandbox box;
    box.setEnvironment(kRealPauseVariable, "1");
    ASSERT_TRUE(Ended(box.run(box.install("download.exe")), 0));
    ASSERT_EQ(1u, box.installerRecords().size());

    std::string log = ReadFile(box.mainTemp() + "download.log");
    std::vector<LogLine> lines = ParseLog(log);
    int deleting = FindLine(lines, "Deleting extracted EXEs...");
    ASSERT_GT(deleting, 0) << log;
    // The line before is written once the installer has ended; it exits at once.
    EXPECT_EQ("The installer exited with code 0.", lines[deleting - 1].text);
    unsigned long waited = lines[deleting].tick - lines[deleting - 1].tick;
    EXPECT_GE(waited, kShortestPauseMs) << log;
    EXPECT_LT(waited, kPauseMs + 4000) << log;

    // The installer went with its per-run folder; the log moved back to the main temp folder.
    std::vector<std::string> texts = LogTexts(log);
    std::string tempLog = TempLogPathFromLog(texts);
    ASSERT_FALSE(tempLog.empty());
    EXPECT_FALSE(FileExists(tempLog + "Setup.exe"));
    EXPECT_FALSE(FolderExists(tempLog));
    int moving = FindLine(lines, "Moving log files to main temp folder...");
    EXPECT_EQ(deleting + 1, moving) << log;
    EXPECT_EQ("Exiting loader...", texts.back());
}

TEST(Launch, FailedStartIsLoggedAndTheCleanUpStillRuns)
{
    Sandbox box;  // this loader carries no installer
    box.setEnvironment(kRealPauseVariable, "1");
    ASSERT_TRUE(Ended(box.run(box.install("download.exe", NoPayloadLoaderExe())), 0));

    std::string log = ReadFile(box.mainTemp() + "download.log");
    std::vector<LogLine> lines = ParseLog(log);
    int failed = FindLine(lines, "Could not create process.");
    ASSERT_GE(failed, 0) << log;
    ASSERT_LT(failed + 4, (int)lines.size()) << log;
    // Nothing was extracted, so nothing is started: the error is the extraction's.
    EXPECT_EQ(LastErrorLine(ERROR_RESOURCE_TYPE_NOT_FOUND), lines[failed + 1].text);
    EXPECT_EQ("Deleting extracted EXEs...", lines[failed + 2].text);
    EXPECT_GE(lines[failed + 2].tick - lines[failed].tick, kShortestPauseMs);
    const std::string installer = TempLogPathFromLog(LogTexts(log)) + "Setup.exe";
    EXPECT_EQ("Failed to delete file '" + installer + "'.", lines[failed + 3].text);
    EXPECT_EQ(LastErrorLine(2), lines[failed + 4].text);
    EXPECT_EQ("Exiting loader...", lines.back().text);
}

TEST(Launch, TempLogFolderWithALeftFileIsMarkedForDeletionAtReboot)
{
    ClearPendingRenames();
    Sandbox box;
    ASSERT_TRUE(box.run(box.install("download.exe"), "\"/DemoLeaveFileInRunFolders 1\"").finished);

    std::string log = ReadFile(box.mainTemp() + "download.log");
    std::vector<LogLine> lines = ParseLog(log);
    std::string tempLog = TempLogPathFromLog(LogTexts(log));
    ASSERT_FALSE(tempLog.empty()) << log;
    EXPECT_TRUE(FileExists(tempLog + "left-by-installer.txt"));

    int failed = FindLine(lines, "Failed to remove directory '" + tempLog + "'.");
    ASSERT_GE(failed, 0) << log;
    ASSERT_LT(failed + 2, (int)lines.size());
    EXPECT_EQ(LastErrorLine(ERROR_DIR_NOT_EMPTY), lines[failed + 1].text);
    EXPECT_EQ("It will be marked for deletion at next reboot.", lines[failed + 2].text);
    EXPECT_GT(failed, FindLine(lines, "Moving log files to main temp folder..."));

    // Registered as the deletion of the folder, and nothing else.
    EXPECT_EQ(std::vector<std::string>{tempLog.substr(box.root().size()) + " -> "},
              PendingOperationsUnder(box.root()));
    ClearPendingRenames();
}

}  // namespace
