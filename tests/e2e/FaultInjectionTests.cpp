// Faults from outside: a disk that fills up, files held open by others, an installer that
// crashes or takes its time, paths at the path limit, oversized registry values and a damaged
// parameter block. Each scenario checks what the user is left with: log, box and files.
#include "LoaderHarness.h"
#include "../registry/RegistryTestKeys.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

using namespace e2e;

namespace {

constexpr char kBoxRecord[] =
    "Error - Orvadesk|Sorry, Orvadesk cannot be started at this time.\nPlease try again in a few "
    "minutes.\r\n";

}  // namespace

// Over the window station's answers: where no one could see the box (or that cannot be told),
// a line stands in for it and the run goes on as after the box; a run in session 0 would
// otherwise wait on it for ever.
TEST(FaultInjection, DiskFullDuringExtractionLeavesNoPartialInstallerAndABoxOnlyWhereSeen)
{
    const std::string notShown = "No box shown: no visible window station.";
    const struct {
        const char* station;
        std::vector<std::string> afterStart;  // the lines after the failed start's error line
    } rows[] = {
        {"visible", {"Deleting extracted EXEs..."}},
        {"hidden", {notShown, "Deleting extracted EXEs..."}},
        {"unknown", {notShown, LastErrorLine(ERROR_ACCESS_DENIED), "Deleting extracted EXEs..."}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.station);
        Sandbox box;
        box.setEnvironment("ORVA_HOOK_WINDOW_STATION", row.station);
        ASSERT_TRUE(Ended(box.run(box.install("download.exe", DiskFullLoaderExe())), 0));

        std::string log = RunLog(box, "download.log");
        std::vector<std::string> texts = LogTexts(log);
        const std::string setup = TempLogPathFromLog(texts) + "Setup.exe";
        EXPECT_EQ(LastErrorLine(ERROR_DISK_FULL),
                  After(texts, "Could not write data to file for <" + setup + ">."))
            << log;
        EXPECT_FALSE(Contains(texts, "Success!"));
        // No half-written installer is left, and none is started: the failed start carries the
        // extraction's error.
        EXPECT_FALSE(FileExists(setup));
        EXPECT_TRUE(box.installerRecords().empty());
        auto start = std::find(texts.begin(), texts.end(), "Could not create process.");
        ASSERT_LE(row.afterStart.size() + 2, size_t(texts.end() - start)) << log;
        EXPECT_EQ(LastErrorLine(ERROR_DISK_FULL), start[1]);
        EXPECT_EQ(row.afterStart,
                  std::vector<std::string>(start + 2, start + 2 + row.afterStart.size()));
        // At most one box, from the failed start; the extraction itself is quiet.
        EXPECT_EQ(row.afterStart.size() == 1 ? kBoxRecord : "", ReadFile(box.temp() + "boxes.txt"));
        EXPECT_FALSE(FolderExists(TempLogPathFromLog(texts)));
        EXPECT_EQ("Exiting loader...", texts.back());
    }
}

TEST(FaultInjection, InstallerAndLogHeldOpenAtCleanUpStayWholeAndGoAtTheNextReboot)
{
    Sandbox box;
    std::string loader = box.install("download.exe");
    RunningProgram run = box.start(loader, "\"DemoPauseMs 1500\"");
    // Once the installer has written its record, another process (a scanner) opens its file and
    // the log, letting them be read and written but not deleted or moved, and keeps them open
    // past the loader's end.
    ASSERT_TRUE(WaitUntil([&] { return box.installerRecords().size() == 1; }, 60000));
    const std::string setup = OnlyInstallerSelf(box);
    const std::string folder = setup.substr(0, setup.rfind('\\') + 1);
    std::vector<HANDLE> holders;
    for (const std::string& held : {setup, folder + "download.log"}) {
        holders.push_back(CreateFileA(held.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
        EXPECT_NE(INVALID_HANDLE_VALUE, holders.back()) << held;
    }
    run.wait(120000);
    for (HANDLE holder : holders) {
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
    }
    ASSERT_TRUE(Ended(run.result(), 0));

    // The log stayed in the per-run folder, and every line of the run is in it.
    std::string log = ReadFile(folder + "download.log");
    std::vector<std::string> texts = LogTexts(log);
    ASSERT_FALSE(texts.empty());
    EXPECT_FALSE(FileExists(box.mainTemp() + "download.log"));
    EXPECT_EQ("Preparing loader...", texts.front());
    const std::string failure = "Failed to delete file '" + setup + "'.";
    EXPECT_EQ(LastErrorLine(ERROR_SHARING_VIOLATION), After(texts, failure)) << log;
    EXPECT_EQ("Delaying previous delete attempt until next reboot.",
              After(texts, LastErrorLine(ERROR_SHARING_VIOLATION)));
    EXPECT_TRUE(Contains(texts, "Delaying previous move attempt until next reboot.")) << log;
    EXPECT_EQ("Exiting loader...", texts.back());
    // The file that could not be deleted is the whole installer, not a part of it.
    EXPECT_EQ(FileSize(DemoInstallerExe()), FileSize(setup));
    // At the next reboot the installer goes, the log moves whole, replacing an earlier run's,
    // and then their folder goes, empty by then.
    const std::string inRoot = folder.substr(box.root().size());
    EXPECT_EQ((std::vector<std::string>{inRoot + "Setup.exe -> ",
                                        inRoot + "download.log -> !temp\\Qx_314\\download.log",
                                        inRoot + " -> "}),
              PendingOperationsUnder(box.root()));
}

TEST(FaultInjection, AnOldLogHeldOpenWithoutSharingIsLeftAloneAndNoLineIsLost)
{
    Sandbox box;
    const std::string oldLog = box.temp() + "download.log";
    ASSERT_TRUE(WriteFile(oldLog, "OLD RUN\r\n"));
    HANDLE holder =
        CreateFileA(oldLog.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    RunResult result = box.run(box.install("download.exe"));
    CloseHandle(holder);
    ASSERT_TRUE(Ended(result, 0));

    // The held file is neither deleted nor written; the first lines wait in memory until the
    // per-run folder exists, so the log is whole and ends in the main temp folder.
    EXPECT_EQ("OLD RUN\r\n", ReadFile(oldLog));
    EXPECT_EQ(1u, box.installerRecords().size());
    std::vector<std::string> texts = LogTexts(ReadFile(box.mainTemp() + "download.log"));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ("Preparing loader...", texts.front());
    EXPECT_EQ("Exiting loader...", texts.back());
    EXPECT_FALSE(FileExists(OnlyInstallerSelf(box)));
}

TEST(FaultInjection, InstallerThatCrashesIsCleanedUpAfter)
{
    Sandbox box;
    std::string loader = box.install("download.exe");
    // One argument holding a blank: the installer receives /DemoCrash "1".
    ASSERT_TRUE(Ended(box.run(loader, "\"DemoCrash 1\""), 0));
    const std::string setup = OnlyInstallerSelf(box);
    EXPECT_EQ(setup + " /DemoCrash \"1\"", OnlyInstallerCommandLine(box));

    std::vector<std::string> texts = LogTexts(RunLog(box, "download.log"));
    EXPECT_EQ("Deleting extracted EXEs...",
              After(texts, "The installer exited with code 3221225477 (0xC0000005)."));
    EXPECT_EQ("Exiting loader...", texts.back());
    EXPECT_FALSE(FileExists(setup));
    EXPECT_FALSE(FileExists(box.temp() + "boxes.txt"));
}

TEST(FaultInjection, WaitsForAnInstallerThatTakesLongWithoutTouchingItsFile)
{
    constexpr unsigned long kInstallerMs = 5000;
    Sandbox box;
    std::string loader = box.install("download.exe");
    RunningProgram run = box.start(loader, "\"DemoPauseMs " + std::to_string(kInstallerMs) +
                                               "\" \"DemoExitCode 3010\"");
    ASSERT_TRUE(WaitUntil([&] { return box.installerRecords().size() == 1; }, 60000));
    const std::string setup = OnlyInstallerSelf(box);
    // No time limit: while the installer runs, the loader waits and leaves its file whole.
    EXPECT_FALSE(run.wait(kInstallerMs - 1000));
    EXPECT_EQ(FileSize(DemoInstallerExe()), FileSize(setup));
    ASSERT_TRUE(run.wait(60000));

    std::string log = RunLog(box, "download.log");
    std::vector<LogLine> lines = ParseLog(log);
    int deleting = FindLine(lines, "Deleting extracted EXEs...");
    ASSERT_GT(deleting, 1) << log;
    // Written once the installer has ended; the line before it, before the installer started.
    EXPECT_EQ("The installer exited with code 3010.", lines[deleting - 1].text);
    EXPECT_GE(lines[deleting - 1].tick - lines[deleting - 2].tick, kInstallerMs) << log;
    EXPECT_FALSE(FileExists(setup));
    EXPECT_EQ("Exiting loader...", lines.back().text);
}

// Every place where a folder and a name are joined, at 259, 260 and 261 characters: a path
// that fits is used, one that does not is refused with a log line, and nothing is ever made
// under a cut name.
TEST(FaultInjection, PathsAtThePathLimit)
{
    struct Join {
        const char* name;
        size_t tail;  // characters the join adds to TEMP (with its final backslash)
    };
    const Join joins[] = {
        {"main temp folder", 7},  // Qx_314 and a backslash
        {"installer path", 28},   // Qx_314\logXXXX.tmp\Setup.exe (the system picks the digits)
        {"log in TEMP", 5},       // d.log
    };
    for (const Join& join : joins) {
        for (size_t total : {259u, 260u, 261u}) {
            SCOPED_TRACE(std::string(join.name) + " of " + std::to_string(total) + " characters");
            Sandbox box;
            const std::string temp = MakeFolderOfLength(box, total - join.tail);
            ASSERT_EQ(total - join.tail, temp.size());
            box.setTemp(temp);
            ASSERT_TRUE(Ended(box.run(box.install("d.exe")), 0));

            std::string log = RunLog(box, "d.log");
            if (log.empty())
                log = ReadFile(temp + "d.log");
            std::vector<std::string> texts = LogTexts(log);
            if (join.tail == 5 && total > 259) {
                // No place for the log at all: the run goes on without one.
                EXPECT_TRUE(texts.empty());
            } else {
                ASSERT_FALSE(texts.empty());
                EXPECT_EQ("Exiting loader...", texts.back());
            }

            const std::string setup = TempLogPathFromLog(texts) + "Setup.exe";
            if (join.tail == 28) {
                // (The demo installer keeps no record from so deep a folder; the log tells.)
                if (setup.size() <= 259) {
                    EXPECT_TRUE(Contains(texts, "Success!")) << log;
                    EXPECT_FALSE(Contains(texts, "Could not create process.")) << log;
                } else {
                    EXPECT_FALSE(Contains(texts, "Extracting data for...") &&
                                 Contains(texts, "Success!"));
                    EXPECT_EQ(LastErrorLine(ERROR_FILENAME_EXCED_RANGE),
                              After(texts, setup + " is too long a path for the installer."))
                        << log;
                    EXPECT_EQ(LastErrorLine(ERROR_FILENAME_EXCED_RANGE),
                              After(texts, "Could not create process."));
                }
                EXPECT_FALSE(FileExists(setup));
            }
            if (join.tail == 7 && total == 259) {
                // The folder is made, but too long a folder for the per-run folder's name.
                EXPECT_EQ(LastErrorLine(ERROR_BUFFER_OVERFLOW),
                          After(texts, "GetTempFileName() failed, must use main temp path."))
                    << log;
            }
            std::vector<std::string> names = ListTree(temp);
            for (const std::string& name : names) {
                std::string leaf = name.substr(name.rfind('\\') + 1);
                bool known = leaf == "Qx_314" || leaf == "Setup.exe" || leaf == "d.log" ||
                             leaf == "demo-installer.txt" || leaf.compare(0, 3, "log") == 0;
                EXPECT_TRUE(known) << "made under a cut name: " << name;
            }
        }
    }
}

// InstallerCPList as left by an earlier run, read back when a run brings no new parameters.
TEST(FaultInjection, StoredParameterListAroundTheReadLimit)
{
    const char* product = "Software\\Pemrod\\Orvadesk";
    const char* custom = "Software\\Pemrod\\Orvadesk\\CustomParams";
    for (size_t bytes : {1023u, 1024u, 1025u}) {
        SCOPED_TRACE(std::to_string(bytes) + " bytes");
        regtest::DeleteTree("Software\\Pemrod");
        const std::string value(bytes - 3, 'v');  // "p=", the value and the terminator
        ASSERT_TRUE(regtest::SetText(product, "InstallerCPList", "p=" + value));
        ASSERT_TRUE(regtest::SetText(custom, "earlier", "1"));
        Sandbox box;
        ASSERT_TRUE(
            Ended(box.run(box.install("download.exe"), "\"CustomParams xxxxxxxxplaceholder\"")));
        std::vector<std::string> records = box.installerRecords();
        ASSERT_EQ(1u, records.size());
        const std::string params = "reg: " + std::string(custom) + "|";
        if (bytes <= 1024) {
            EXPECT_NE(std::string::npos, records[0].find(params + "p=" + value + "\r\n"));
            EXPECT_EQ(std::string::npos, records[0].find(params + "earlier="));
        } else {
            // Too long to read back: the parameters in place are kept, not wiped.
            EXPECT_NE(std::string::npos, records[0].find(params + "earlier=1\r\n")) << records[0];
        }
        EXPECT_EQ("p=" + value, regtest::GetText(product, "InstallerCPList"));
    }
    regtest::DeleteTree("Software\\Pemrod");
}

// A stamp that ran over its block: no closing quote for the last entry and no zero byte
// anywhere in or after the 273 characters.
TEST(FaultInjection, StampedBlockWithoutClosingQuoteOrZeroByte)
{
    const std::string unstamped =
        "\"/CustomParams" + std::string(257, ' ') + "\" " + std::string(1, '\0');
    std::string image = ReadFile(LoaderExe());
    size_t at = image.find(unstamped);
    ASSERT_NE(std::string::npos, at);
    ASSERT_EQ(std::string::npos, image.find(unstamped, at + 1));
    const struct {
        const char* name;
        std::string block;
        const char* appended;
    } rows[] = {
        {"last entry open", "\"/Lang en\" \"/Open", " /Lang \"en\""},
        {"custom parameters open", "\"/CustomParams a=1", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string patched = image;
        std::string block = row.block + std::string(unstamped.size() - row.block.size(), 'x');
        patched.replace(at, block.size(), block);
        Sandbox box;
        const std::string loader = box.bin() + "download.exe";
        ASSERT_TRUE(WriteFile(loader, patched));
        ASSERT_TRUE(Ended(box.run(loader), 0));
        EXPECT_EQ(OnlyInstallerSelf(box) + row.appended, OnlyInstallerCommandLine(box));
        EXPECT_EQ("Exiting loader...", LogTexts(RunLog(box, "download.log")).back());
    }
}
