// The installer that runs is the one this run wrote into a folder only it can write, held and
// checked: files placed, swapped or linked by someone else are never started or written
// through, and the self-deleting batch runs only what the loader means.
#include "FolderSecurity.h"
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace e2e;
using support::ExpectedPrivateFolderSddl;
using support::FolderSddl;
using support::MakeFolderLink;
using support::MakeFolderWithSddl;
using support::RemoveFolderLink;

namespace {

constexpr unsigned long kRecordWithinMs = 60000;
constexpr unsigned long kRunEndsWithinMs = 120000;

// The folder part of a path, final backslash included.
std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.rfind('\\') + 1);
}

// The folder path without its final backslash, as the security calls take it.
std::string Bare(std::string folder)
{
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

// The processes a hooked loader started, one "program|command line" per entry.
std::vector<std::string> StartedProcesses(const Sandbox& box)
{
    return support::TextLines(ReadFile(box.temp() + "processes.txt"));
}

TEST(TrustedRun, InstallerRunsFromAPrivateFolderOfItsOwnThatIsGoneAfterwards)
{
    Sandbox box;
    std::string loader = box.install("download.exe");
    // Folders as the file system keeps them with and without the protected descriptor.
    const std::string reference = box.root() + "reference";
    ASSERT_TRUE(MakeFolderWithSddl(reference, ExpectedPrivateFolderSddl()));
    const std::string plain = box.root() + "plain";
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
    ASSERT_NE(FolderSddl(reference), FolderSddl(plain));

    RunningProgram run = box.start(loader, "\"DemoPauseMs 3000\"");
    ASSERT_TRUE(WaitUntil([&] { return box.installerRecords().size() == 1; }, kRecordWithinMs));
    const std::string self = OnlyInstallerSelf(box);
    const std::string runFolder = FolderOf(self);
    // Read while the installer runs: afterwards the folder is gone.
    const std::string runFolderSddl = FolderSddl(Bare(runFolder));
    ASSERT_TRUE(run.wait(kRunEndsWithinMs));
    EXPECT_EQ(0u, run.result().exitCode);

    std::vector<std::string> texts = LogTexts(RunLog(box, "download.log"));
    EXPECT_EQ(runFolder, TempLogPathFromLog(texts));
    EXPECT_EQ(0u, runFolder.find(box.mainTemp() + "log")) << runFolder;
    EXPECT_EQ(runFolder + "Setup.exe", self);
    EXPECT_EQ("Success!", After(texts, self));
    EXPECT_FALSE(FolderExists(runFolder));

    // This run made both the per-run folder and the main temp folder.
    EXPECT_EQ(FolderSddl(reference), runFolderSddl);
    EXPECT_EQ(FolderSddl(reference), FolderSddl(Bare(box.mainTemp())));
}

TEST(TrustedRun, TwoLoadersAtOnceEachRunTheirOwnInstaller)
{
    Sandbox box;
    std::string first = box.install("first.exe");
    std::string second = box.install("second.exe");
    RunningProgram a = box.start(first, "\"DemoPauseMs 2000\"");
    RunningProgram b = box.start(second, "\"DemoPauseMs 2000\"");
    ASSERT_TRUE(a.wait(kRunEndsWithinMs));
    ASSERT_TRUE(b.wait(kRunEndsWithinMs));

    std::vector<std::string> records = box.installerRecords();
    ASSERT_EQ(2u, records.size());
    const std::string selfA = RecordField(records[0], "self");
    const std::string selfB = RecordField(records[1], "self");
    EXPECT_NE(FolderOf(selfA), FolderOf(selfB));
    for (const std::string& self : {selfA, selfB}) {
        // The later of the two finds the main temp folder made; under Wine, whose folders all
        // show the user as owner, it refuses it and makes its folder in TEMP itself.
        EXPECT_TRUE(self.find(box.mainTemp() + "log") == 0 || self.find(box.temp() + "log") == 0)
            << self;
        EXPECT_FALSE(FolderExists(FolderOf(self))) << self;
    }
    for (const char* log : {"first.log", "second.log"}) {
        std::vector<std::string> texts = LogTexts(RunLog(box, log));
        EXPECT_TRUE(Contains(texts, "Success!")) << log;
        EXPECT_FALSE(Contains(texts, "Could not create process.")) << log;
    }
}

TEST(TrustedRun, AnInstallerLeftInTheMainTempFolderIsNeverStarted)
{
    const struct {
        const char* name;
        std::string loader;
        bool extracts;
    } cases[] = {
        {"by a loader whose extraction fails", NoPayloadLoaderExe(), false},
        {"by a loader that extracts its own", LoaderExe(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        // A program that records that it ran, where earlier builds ran their installer from,
        // made so that it cannot be overwritten.
        ASSERT_TRUE(CreateDirectoryA(box.mainTemp().c_str(), nullptr));
        const std::string planted = box.install("Setup.exe", DemoInstallerExe(), box.mainTemp());
        ASSERT_TRUE(SetFileAttributesA(planted.c_str(), FILE_ATTRIBUTE_READONLY));
        const std::string before = ReadFile(planted);
        ASSERT_TRUE(box.run(box.install("download.exe", c.loader)).finished);

        std::vector<std::string> texts = LogTexts(RunLog(box, "download.log"));
        std::vector<std::string> records = box.installerRecords();
        if (c.extracts) {
            ASSERT_EQ(1u, records.size());
            EXPECT_NE(planted, RecordField(records[0], "self"));
        } else {
            EXPECT_TRUE(records.empty());
            EXPECT_EQ(LastErrorLine(ERROR_RESOURCE_TYPE_NOT_FOUND),
                      After(texts, "Could not create process."));
        }
        EXPECT_EQ(before, ReadFile(planted));
        EXPECT_EQ("Exiting loader...", texts.back());
        SetFileAttributesA(planted.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST(TrustedRun, AnInstallerFileTamperedWithIsNeverStarted)
{
    const struct {
        const char* name;
        const char* setting;
        std::string program;
        std::string failure;  // "%s" is the installer path
        long failureCode;
        long startCode;   // logged with "Could not create process."
        bool leftBehind;  // the file cannot be deleted at the end of the run
    } cases[] = {
        {"a program appears where the loader writes", "ORVA_HOOK_PLANT", DemoInstallerExe(),
         "Could not create temporary file for <%s>.", ERROR_FILE_EXISTS, ERROR_FILE_EXISTS, true},
        {"another program is swapped in before the hold", "ORVA_HOOK_SWAP", OtherInstallerExe(),
         "Extracted executable changed after it was written for <%s>.", -1, ERROR_INVALID_DATA,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        std::string loader = box.install("download.exe", HookedLoaderExe());
        box.setEnvironment(c.setting, c.program);
        ASSERT_TRUE(box.run(loader).finished);

        std::vector<std::string> texts = LogTexts(RunLog(box, "download.log"));
        const std::string runFolder = TempLogPathFromLog(texts);
        ASSERT_EQ(0u, runFolder.find(box.mainTemp() + "log")) << runFolder;
        const std::string installer = runFolder + "Setup.exe";
        std::string failure = c.failure;
        failure.replace(failure.find("%s"), 2, installer);
        ASSERT_TRUE(Contains(texts, failure)) << failure;
        EXPECT_EQ(c.failureCode == -1 ? std::string("Could not create process.")
                                      : LastErrorLine(c.failureCode),
                  After(texts, failure));
        EXPECT_FALSE(Contains(texts, "Success!"));
        EXPECT_EQ(LastErrorLine(c.startCode), After(texts, "Could not create process."));
        // Nothing was started at all, and no installer ran.
        EXPECT_TRUE(StartedProcesses(box).empty());
        EXPECT_TRUE(box.installerRecords().empty());
        EXPECT_EQ("Exiting loader...", texts.back());

        const std::string deleteFailure = "Failed to delete file '" + installer + "'.";
        EXPECT_EQ(c.leftBehind, Contains(texts, deleteFailure));
        if (c.leftBehind) {
            // The installer's deletion is registered before its folder's, so that the folder
            // can go at the next reboot.
            EXPECT_EQ(LastErrorLine(ERROR_SHARING_VIOLATION), After(texts, deleteFailure));
            const std::string inRoot = runFolder.substr(box.root().size());
            EXPECT_EQ((std::vector<std::string>{inRoot + "Setup.exe -> ", inRoot + " -> "}),
                      PendingOperationsUnder(box.root()));
            SetFileAttributesA(installer.c_str(), FILE_ATTRIBUTE_NORMAL);
        } else {
            EXPECT_FALSE(FolderExists(runFolder));
        }
    }
}

TEST(TrustedRun, AMainTempFolderThatIsALinkIsNeitherUsedNorWrittenThrough)
{
    Sandbox box;
    const std::string elsewhere = box.root() + "elsewhere\\";
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    const std::string link = Bare(box.mainTemp());
    ASSERT_TRUE(MakeFolderLink(link, Bare(elsewhere))) << "no folder link can be made here";

    ASSERT_TRUE(box.run(box.install("download.exe")).finished);

    std::vector<std::string> texts = LogTexts(ReadFile(box.temp() + "download.log"));
    const std::string fallback =
        "CreateDirectory(" + box.mainTemp() + ") failed, must use system temp path.";
    EXPECT_EQ(LastErrorLine(4395), After(texts, fallback));  // ERROR_REPARSE_POINT_ENCOUNTERED
    EXPECT_TRUE(Contains(texts, "Using " + box.temp() + " as main temp path."));
    EXPECT_TRUE(ListFolder(elsewhere).empty());
    // The installer ran all the same, from a folder of its own in the system temp folder.
    EXPECT_EQ(0u, OnlyInstallerSelf(box).find(box.temp() + "log"));
    EXPECT_EQ("Exiting loader...", texts.back());
    EXPECT_TRUE(RemoveFolderLink(link));
}

// Each folder is held from the moment it is judged or made until the run ends: renaming it away
// to put another in its place fails, at each of these moments, and nothing of the run goes
// anywhere else.
TEST(TrustedRun, TheFoldersItWorksInCannotBeSwappedWhileItWorks)
{
    Sandbox box;
    box.setEnvironment("ORVA_HOOK_SWAP_FOLDERS", "1");
    std::string loader = box.install("download.exe", HookedLoaderExe());
    RunningProgram run = box.start(loader, "\"DemoPauseMs 3000\"");
    ASSERT_TRUE(WaitUntil([&] { return box.installerRecords().size() == 1; }, kRecordWithinMs));
    // After "Success!", while the installer runs.
    const std::string runFolder = FolderOf(OnlyInstallerSelf(box));
    for (const std::string& folder : {Bare(box.mainTemp()), Bare(runFolder)})
        EXPECT_FALSE(MoveFileA(folder.c_str(), (folder + ".away").c_str())) << folder;
    ASSERT_TRUE(run.wait(kRunEndsWithinMs));

    EXPECT_EQ((std::vector<std::string>{"Qx_314|refused",
                                        Bare(runFolder).substr(Bare(runFolder).rfind('\\') + 1) +
                                            "|refused"}),
              support::TextLines(ReadFile(box.temp() + "swaps.txt")));
    std::vector<std::string> texts = LogTexts(ReadFile(box.mainTemp() + "download.log"));
    EXPECT_EQ(runFolder, TempLogPathFromLog(texts));
    EXPECT_EQ("Exiting loader...", texts.back());
    EXPECT_FALSE(FolderExists(Bare(box.mainTemp()) + ".away"));
    EXPECT_EQ(std::vector<std::string>{"download.log"}, ListFolder(box.mainTemp()));
}

// The per-run folder's name is random and tried again when taken; a run that can have no name
// in the main temp folder falls back to TEMP, and one that can have none at all says so.
TEST(TrustedRun, APerRunFolderNameAlreadyTakenIsTriedAgain)
{
    const struct {
        const char* taken;
        const char* folder;  // where the run's own folder is, "" for nowhere
    } cases[] = {{"15", "Qx_314\\"}, {"16", ""}, {"32", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.taken) + " names taken");
        Sandbox box;
        box.setEnvironment("ORVA_HOOK_TAKEN", c.taken);
        ASSERT_TRUE(box.run(box.install("download.exe", HookedLoaderExe())).finished);
        std::string log = RunLog(box, "download.log");
        std::vector<std::string> texts = LogTexts(log);
        ASSERT_FALSE(texts.empty());
        if (c.folder) {
            EXPECT_EQ(0u, OnlyInstallerSelf(box).find(box.temp() + c.folder + "log"));
        } else {
            EXPECT_EQ(LastErrorLine(ERROR_ALREADY_EXISTS),
                      After(texts, "GetTempFileName() failed, must use main temp path."));
            EXPECT_TRUE(Contains(
                texts, "The installer is not extracted: this run has no folder of its own."));
            EXPECT_TRUE(box.installerRecords().empty());
        }
        EXPECT_EQ(*c.taken == '1' && c.taken[1] == '5', log.find("failed") == std::string::npos)
            << log;
    }
}

// A SYSTEM run works in the system's own temp folder for SYSTEM where there is one; any other
// run keeps its TEMP.
TEST(TrustedRun, ASystemRunWorksInTheTempFolderOnlySystemCanUse)
{
    for (bool system : {true, false}) {
        SCOPED_TRACE(system ? "SYSTEM" : "another user");
        Sandbox box;
        const std::string systemTemp = box.root() + "SystemTemp\\";
        ASSERT_TRUE(CreateDirectoryA(systemTemp.c_str(), nullptr));
        box.setEnvironment("ORVA_HOOK_TEMP2", systemTemp);
        if (system)
            box.setEnvironment("ORVA_HOOK_SYSTEM", "1");
        ASSERT_TRUE(box.run(box.install("download.exe", HookedLoaderExe())).finished);
        const std::string used = (system ? systemTemp : box.temp()) + "Qx_314\\";
        std::vector<std::string> texts = LogTexts(ReadFile(used + "download.log"));
        EXPECT_TRUE(Contains(texts, "Using " + used + " as main temp path."));
        EXPECT_EQ(system, ListFolder(box.temp()).size() == 2u);  // the hooks' records alone
    }
}

TEST(TrustedRun, TheSelfDeletingBatchRunsWithoutTheAutoRunCommands)
{
    Sandbox box;
    std::string loader = box.install("download.exe", HookedLoaderExe());
    ASSERT_TRUE(box.run(loader, "-x").finished);
    EXPECT_TRUE(WaitUntilGone(loader, kRecordWithinMs));
    char system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryA(system, MAX_PATH));
    const std::string interpreter = std::string(system) + "\\cmd.exe";
    const std::vector<std::string> started = StartedProcesses(box);
    ASSERT_EQ(2u, started.size());
    EXPECT_EQ(0u, started[0].find(OnlyInstallerSelf(box) + "|")) << started[0];
    EXPECT_EQ(interpreter + "|" + interpreter + " /d /s /c \"\"" + box.temp() + "~VO00000.bat\"\"",
              started[1]);
    // Elevated through consent (as Wine runs it): started with the user's own token.
    EXPECT_EQ(std::vector<std::string>{interpreter + "|"},
              support::TextLines(ReadFile(box.temp() + "as-user.txt")));
}

}  // namespace
