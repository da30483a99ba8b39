// A real loader run from start to end: its log, its temp folders and its fallbacks.
#include "FolderSecurity.h"
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

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
    ASSERT_TRUE(Ended(result, 0));

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
    ASSERT_TRUE(box.run(box.install("my.setup.exe")).finished);
    EXPECT_FALSE(RunLog(box, "my.log").empty());
    EXPECT_TRUE(RunLog(box, "my.setup.log").empty());
}

// A main temp folder found in place, as Windows would describe it (Wine keeps only what its Unix
// mode bits can say, and makes every owner the user): judged through the handle held on it.
TEST(MainSequence, ReusesAMainTempFolderFoundInPlaceOnlyWhenNoOneElseCanChangeIt)
{
    const std::string user = support::CurrentUserSid();
    const std::string own =
        "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;" + user + ")(A;OICI;FRFX;;;S-1-3-4)";
    const struct {
        const char* name;
        std::string sddl;
        bool privileged;
        long refusal;  // 0: reused
    } cases[] = {
        {"left by an earlier run as SYSTEM", "O:SY" + own, true, 0},
        {"owned by the run's user in a privileged run", "O:" + user + own, true, 1307},
        {"owned by the user of a run without privileges", "O:" + user + own, false, 0},
        {"SYSTEM's, with a write entry for Users", "O:SYD:(A;OICI;FA;;;SY)(A;OICI;0x116;;;BU)",
         true, 1336},
        {"delete-child for Everyone", "O:BAD:(A;;FA;;;BA)(A;;0x40;;;WD)", true, 1336},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        ASSERT_TRUE(CreateDirectoryA(box.mainTemp().c_str(), nullptr));
        box.setEnvironment("ORVA_HOOK_FOLDER_SDDL", c.sddl);
        if (!c.privileged)
            box.setEnvironment("ORVA_HOOK_UNPRIVILEGED", "1");
        ASSERT_TRUE(box.run(box.install("download.exe", HookedLoaderExe())).finished);
        std::string log = RunLog(box, "download.log");
        std::vector<std::string> texts = LogTexts(log);
        const std::string folder = c.refusal ? box.temp() : box.mainTemp();
        EXPECT_EQ(c.refusal == 0, log.find("failed") == std::string::npos) << log;
        if (c.refusal) {
            EXPECT_EQ(LastErrorLine(c.refusal),
                      After(texts, "CreateDirectory(" + box.mainTemp() +
                                       ") failed, must use system temp path."));
        }
        EXPECT_TRUE(Contains(texts, "Using " + folder + " as main temp path."));
        EXPECT_EQ(0u, OnlyInstallerSelf(box).find(folder + "log")) << OnlyInstallerSelf(box);
        EXPECT_EQ("Exiting loader...", texts.back());
        // Nothing of the run stays in a folder it did not use.
        EXPECT_EQ(c.refusal == 0, FileExists(box.mainTemp() + "download.log"));
    }
}

TEST(MainSequence, FallsBackToTheSystemTempFolderWhenAFileStandsInTheFolderPlace)
{
    Sandbox box;
    ASSERT_TRUE(WriteFile(box.temp() + "Qx_314", "not a folder"));
    ASSERT_TRUE(Ended(box.run(box.install("download.exe")), 0));

    std::string log = RunLog(box, "download.log");
    std::vector<std::string> texts = LogTexts(log);
    EXPECT_EQ(
        LastErrorLine(ERROR_ALREADY_EXISTS),
        After(texts, "CreateDirectory(" + box.mainTemp() + ") failed, must use system temp path."))
        << log;
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
    ASSERT_TRUE(Ended(box.run(loader), 0));
    // Nothing can be written there, and the loader does not make the folder itself.
    EXPECT_FALSE(FolderExists(missing));
}

TEST(MainSequence, KeepsTheLogInANewFileOfItsOwnWhenThePerRunFolderCannotBeNamed)
{
    // A TEMP of 241 characters: no room there, nor in the main temp folder, for a per-run
    // folder that could hold the installer and the log.
    Sandbox box;
    std::string temp = MakeFolderOfLength(box, 241);
    ASSERT_TRUE(FolderExists(temp));
    box.setTemp(temp);
    ASSERT_TRUE(Ended(box.run(box.install("d.exe")), 0));

    std::string log = ReadFile(temp + "d.log");
    std::vector<std::string> texts = LogTexts(log);
    ASSERT_FALSE(texts.empty()) << "no log in " << temp;
    EXPECT_EQ("Preparing loader...", texts.front());
    EXPECT_EQ(
        LastErrorLine(ERROR_BUFFER_OVERFLOW),
        After(texts, "CreateDirectory(" + box.mainTemp() + ") failed, must use system temp path."));
    EXPECT_EQ(LastErrorLine(ERROR_BUFFER_OVERFLOW),
              After(texts, "GetTempFileName() failed, must use main temp path."));
    EXPECT_TRUE(Contains(texts, "Using " + temp + " as temp log path.")) << log;
    EXPECT_FALSE(Contains(texts, "Moving log files to main temp folder..."));
    // Without a folder of its own, no installer is extracted or started; the failed start is
    // logged with the reason the folder could not be made.
    EXPECT_EQ("Could not create process.",
              After(texts, "The installer is not extracted: this run has no folder of its own."));
    EXPECT_EQ(LastErrorLine(ERROR_BUFFER_OVERFLOW), After(texts, "Could not create process."));
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
    ASSERT_TRUE(Ended(box.run(box.install("download.exe")), 0));

    // No per-run folder could hold the log: every line stays in TEMP.
    std::vector<std::string> texts = LogTexts(ReadFile(temp + "download.log"));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ("Preparing loader...", texts.front());
    EXPECT_EQ("Exiting loader...", texts.back());
    EXPECT_TRUE(Contains(texts, LastErrorLine(ERROR_BUFFER_OVERFLOW)));
}

// The system temp folder's log name, taken by an old log, or by someone's link to another file:
// nothing is written there by name, and the run's own log starts with its first line.
TEST(MainSequence, DeletesAnOldLogAtStartAndNothingElse)
{
    for (bool link : {false, true}) {
        SCOPED_TRACE(link ? "a link to another file" : "an old log");
        Sandbox box;
        const std::string old = box.temp() + "download.log", target = box.root() + "other.txt";
        ASSERT_TRUE(WriteFile(link ? target : old, "OLD RUN\r\n"));
        if (link) {
            ASSERT_TRUE(support::MakeFolderLink(old, target)) << "no link can be made here";
        }
        ASSERT_TRUE(box.run(box.install("download.exe")).finished);
        EXPECT_EQ(link, FileExists(old));
        if (link) {
            EXPECT_EQ("OLD RUN\r\n", ReadFile(target));
        }
        std::string log = ReadFile(box.mainTemp() + "download.log");
        EXPECT_EQ(std::string::npos, log.find("OLD RUN"));
        EXPECT_EQ("Preparing loader...", LogTexts(log).front());
    }
}
