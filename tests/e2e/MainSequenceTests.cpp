// A real loader run from start to end: its log, its temp folders and its fallbacks.
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

using namespace e2e;

namespace {

// The texts of the lines that prepare the run, in order, as a run without failures logs them.
std::vector<std::string> PreparationLines(const Sandbox& box, const std::string& tempLogPath,
                                          const std::string& modulePath)
{
    return {"Preparing loader...",
            "Trying to create/find our main temp folder.",
            "Trying to create temp log folder.",
            "Path creation is complete.",
            "Using " + box.mainTemp() + " as main temp path.",
            "Using " + tempLogPath + " as temp log path.",
            "Starting loader...",
            "We are running from '" + modulePath + "'.",
            "Extracting data for...",
            tempLogPath + "Setup.exe"};
}

}  // namespace

TEST(MainSequence, LogsEveryPreparationStepInOrderAndExitsWithZero)
{
    Sandbox box;
    std::string loader = box.install("download.exe");
    RunResult result = box.run(loader);
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_EQ(0u, result.exitCode);

    std::string log = RunLog(box, "download.log");
    ASSERT_FALSE(log.empty());
    std::vector<LogLine> lines = ParseLog(log);
    std::vector<std::string> texts = LogTexts(log);
    std::string tempLogPath = TempLogPathFromLog(texts);
    ASSERT_EQ(0u, tempLogPath.find(box.mainTemp() + "log")) << tempLogPath;
    EXPECT_EQ('\\', tempLogPath.back());

    std::vector<std::string> expected = PreparationLines(box, tempLogPath, loader);
    ASSERT_GE(texts.size(), expected.size() + 1);
    EXPECT_EQ(expected, std::vector<std::string>(texts.begin(), texts.begin() + expected.size()));
    EXPECT_EQ("Exiting loader...", texts.back());

    // Every line carries the "(pid, ticks) - " prefix with the loader's own process id.
    for (const LogLine& line : lines) {
        if (line.text.compare(0, 14, "GetLastError()") == 0)
            continue;
        EXPECT_TRUE(line.prefixed) << line.text;
        EXPECT_EQ(result.processId, line.processId) << line.text;
    }
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_LE(lines[i - 1].tick, lines[i].tick);
}

TEST(MainSequence, NamesTheLogAfterItsOwnFileUpToTheFirstDot)
{
    Sandbox box;
    std::string loader = box.install("my.setup.exe");
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_FALSE(RunLog(box, "my.log").empty());
    EXPECT_TRUE(RunLog(box, "my.setup.log").empty());
}

TEST(MainSequence, ReusesAnExistingMainTempFolderWithoutAFailureLine)
{
    Sandbox box;
    ASSERT_TRUE(CreateDirectoryA(box.mainTemp().c_str(), nullptr));
    std::string loader = box.install("download.exe");
    RunResult result = box.run(loader);
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_EQ(0u, result.exitCode);
    std::string log = RunLog(box, "download.log");
    EXPECT_EQ(std::string::npos, log.find("failed")) << log;
    EXPECT_TRUE(Contains(LogTexts(log), "Using " + box.mainTemp() + " as main temp path."));
}

TEST(MainSequence, FallsBackToTheSystemTempFolderWhenAFileStandsInTheFolderPlace)
{
    Sandbox box;
    ASSERT_TRUE(WriteFile(box.temp() + "Qx_314", "not a folder"));
    std::string loader = box.install("download.exe");
    RunResult result = box.run(loader);
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_EQ(0u, result.exitCode);

    std::string log = RunLog(box, "download.log");
    std::vector<std::string> texts = LogTexts(log);
    auto failure =
        std::find(texts.begin(), texts.end(),
                  "CreateDirectory(" + box.mainTemp() + ") failed, must use system temp path.");
    ASSERT_NE(texts.end(), failure) << log;
    ASSERT_NE(texts.end(), failure + 1);
    EXPECT_EQ("GetLastError() returned 183 for the preceeding failure!", *(failure + 1));
    EXPECT_TRUE(Contains(texts, "Using " + box.temp() + " as main temp path."));
    // The per-run folder is made in the system temp folder itself, and the installer in it.
    EXPECT_EQ(0u, TempLogPathFromLog(texts).find(box.temp() + "log"));
    EXPECT_TRUE(Contains(texts, TempLogPathFromLog(texts) + "Setup.exe"));
    EXPECT_EQ("not a folder", ReadFile(box.temp() + "Qx_314"));
}

TEST(MainSequence, RunsToItsEndWhenTheTempFolderIsMissing)
{
    Sandbox box;
    std::string missing = box.root() + "no-such-folder\\";
    box.setTemp(missing);
    std::string loader = box.install("download.exe");
    RunResult result = box.run(loader);
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_EQ(0u, result.exitCode);
    // Nothing can be written there, and the loader does not make the folder itself.
    EXPECT_FALSE(FolderExists(missing));
}

TEST(MainSequence, KeepsTheLogInTheMainTempFolderWhenThePerRunFolderCannotBeNamed)
{
    // A main temp path of 248 characters: longer than the 246 that GetTempFileNameA takes,
    // so no per-run folder can be named in it.
    Sandbox box;
    std::string temp = MakeFolderOfLength(box, 241);
    ASSERT_TRUE(FolderExists(temp));
    box.setTemp(temp);
    std::string loader = box.install("d.exe");
    RunResult result = box.run(loader);
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_EQ(0u, result.exitCode);

    std::string log = ReadFile(box.mainTemp() + "d.log");
    std::vector<std::string> texts = LogTexts(log);
    ASSERT_FALSE(texts.empty()) << "no log in " << box.mainTemp();
    auto failure =
        std::find(texts.begin(), texts.end(), "GetTempFileName() failed, must use main temp path.");
    ASSERT_NE(texts.end(), failure) << log;
    EXPECT_EQ("GetLastError() returned 111 for the preceeding failure!", *(failure + 1));
    EXPECT_TRUE(Contains(texts, "Using " + box.mainTemp() + " as temp log path.")) << log;
    EXPECT_FALSE(Contains(texts, "Moving log files to main temp folder..."));
    // Without a folder of its own, no installer is extracted or started; the failed start is
    // logged with the reason the folder could not be made.
    auto notExtracted =
        std::find(texts.begin(), texts.end(),
                  "The installer is not extracted: this run has no folder of its own.");
    ASSERT_NE(texts.end(), notExtracted) << log;
    EXPECT_EQ("Could not create process.", *(notExtracted + 1));
    EXPECT_EQ("GetLastError() returned 111 for the preceeding failure!", *(notExtracted + 2));
    EXPECT_FALSE(Contains(texts, box.mainTemp() + "Setup.exe"));
    EXPECT_TRUE(box.installerRecords().empty());
    EXPECT_EQ("Exiting loader...", texts.back());
    for (const std::string& name : ListFolder(box.mainTemp()))
        EXPECT_NE(0u, name.find("log")) << "left behind: " << name;
}

TEST(MainSequence, KeepsLoggingWhereItIsWhenTheLogPathWouldExceedThePathLimit)
{
    Sandbox box;
    std::string temp = MakeFolderOfLength(box, 236);
    box.setTemp(temp);
    std::string loader = box.install("download.exe");
    RunResult result = box.run(loader);
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_EQ(0u, result.exitCode);

    // The log could not follow into the per-run folder: every line stays in TEMP.
    std::vector<std::string> texts = LogTexts(ReadFile(temp + "download.log"));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ("Preparing loader...", texts.front());
    EXPECT_EQ("Exiting loader...", texts.back());
    EXPECT_TRUE(Contains(texts, "GetLastError() returned 206 for the preceeding failure!"));
}

TEST(MainSequence, DeletesAnOldLogAtStart)
{
    Sandbox box;
    ASSERT_TRUE(WriteFile(box.temp() + "download.log", "OLD RUN\r\n"));
    std::string loader = box.install("download.exe");
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_FALSE(FileExists(box.temp() + "download.log"));
    std::string log = RunLog(box, "download.log");
    EXPECT_EQ(std::string::npos, log.find("OLD RUN"));
    EXPECT_EQ(0u, log.find("("));
}
