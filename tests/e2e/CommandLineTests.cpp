// What the installer receives on its command line, from the loader's arguments and from its
// stamped parameter block.
#include "InstallerStage.h"
#include "LoaderHarness.h"
#include "RunFolders.h"
#include "../registry/RegistryTestKeys.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

using namespace e2e;

namespace {

// Runs a copy of loader with the given raw arguments; returns the installer's command line.
std::string InstallerCommandLine(const std::string& arguments,
                                 const std::string& loader = LoaderExe())
{
    Sandbox box;
    StageInstaller(box);
    std::string copy = box.install("download.exe", loader);
    RunResult result = box.run(copy, arguments);
    EXPECT_TRUE(result.finished) << "start error " << result.startError;
    return OnlyInstallerCommandLine(box);
}

struct Row {
    const char* name;
    const char* arguments;  // the loader's command line after its own path
    const char* appended;   // what follows the installer path
};

TEST(InstallerCommandLine, RewritesTheLoaderArgumentsIntoSwitches)
{
    const Row rows[] = {
        {"dash switches", "-s -a", " /s /a"},
        {"quoted name and value", "\"/Lang en\"", " /Lang \"en\""},
        {"custom parameters are not passed on", "\"CustomParams a=1&b=2\"", ""},
        {"bare word", "x", " /x"},
        {"dashed CustomParams is a switch", "\"-CustomParams x\"", " /CustomParams \"x\""},
        {"only one leading dash goes", "--x", " /-x"},
        {"two CustomParams arguments, switches kept", "\"CustomParams a=1\" -s \"CustomParams b=2\"", " /s"},
    };
    for (const Row& row : rows) {
        Sandbox box;
        StageInstaller(box);
        std::string loader = box.install("download.exe");
        ASSERT_TRUE(box.run(loader, row.arguments).finished) << row.name;
        EXPECT_EQ(OnlyInstallerSelf(box) + row.appended, OnlyInstallerCommandLine(box))
            << row.name;
    }
}

TEST(InstallerCommandLine, UnstampedBlockGivesTheBareInstallerPath)
{
    Sandbox box;
    StageInstaller(box);
    std::string loader = box.install("download.exe");
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_EQ(OnlyInstallerSelf(box), OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, StampedBlockPassesItsSwitches)
{
    Sandbox box;
    StageInstaller(box);
    std::string loader = box.install("download.exe", BuildFile("tests/e2e/loader-stamped.exe"));
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /Lang \"en\" /Silent", OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, BlockWithoutEntriesGivesTheBareInstallerPath)
{
    Sandbox box;
    StageInstaller(box);
    std::string loader = box.install("download.exe", BuildFile("tests/e2e/loader-cleared.exe"));
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_EQ(OnlyInstallerSelf(box), OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, ArgumentsWinOverAStampedBlock)
{
    Sandbox box;
    StageInstaller(box);
    std::string loader = box.install("download.exe", BuildFile("tests/e2e/loader-stamped.exe"));
    ASSERT_TRUE(box.run(loader, "-q").finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /q", OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, QuotesAnInstallerPathWithBlanksAndStartsThatProgram)
{
    Sandbox box;
    std::string temp = box.root() + "Documents and Settings\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    box.setTemp(temp);
    StageInstaller(box);
    // A program named after the path's first word must never be the one that runs.
    box.install("Documents.exe", DemoInstallerExe(), box.root());

    std::string loader = box.install("download.exe");
    ASSERT_TRUE(box.run(loader, "-s").finished);
    std::vector<std::string> records = box.installerRecords();
    ASSERT_EQ(1u, records.size());
    const std::string self = RecordField(records[0], "self");
    EXPECT_EQ(0u, self.find(box.mainTemp() + "log")) << self;
    EXPECT_EQ("\"" + self + "\" /s", RecordField(records[0], "cmdline"));
}

TEST(InstallerCommandLine, LeavesOutAnArgumentTooLongForTheCommandLineAndSaysSo)
{
    Sandbox box;
    StageInstaller(box);
    std::string loader = box.install("download.exe");
    std::string huge = "\"/Big " + std::string(2100, 'v') + "\"";
    ASSERT_TRUE(box.run(loader, "-a " + huge + " -b").finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /a /b", OnlyInstallerCommandLine(box));
    std::vector<std::string> texts = LogTexts(RunLog(box, "download.log"));
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(),
                                     "Argument 2 does not fit the installer command line, skipped."));
}

struct CustomCase {
    const char* name;
    const char* loader;     // relative to the build folder
    const char* arguments;
    const char* storedList;
};

// The custom-parameter text is only seen through what the loader records in the registry.
TEST(InstallerCommandLine, CustomParamsTextFromArgumentsAndBlock)
{
    const CustomCase cases[] = {
        {"last CustomParams argument wins", "loader/loader.exe",
         "\"CustomParams a=1\" \"CustomParams b=2\"", "b=2"},
        {"block CustomParams entries are joined", "tests/e2e/loader-joined.exe", "", "a=1&b=2"},
    };
    const char kProduct[] = "Software\\Pemrod\\Orvadesk";
    for (const CustomCase& c : cases) {
        regtest::DeleteTree("Software\\Pemrod");
        Sandbox box;
        StageInstaller(box);
        std::string loader = box.install("download.exe", BuildFile(c.loader));
        ASSERT_TRUE(box.run(loader, c.arguments).finished) << c.name;
        EXPECT_EQ(c.storedList, regtest::GetText(kProduct, "InstallerCPList")) << c.name;
    }
    regtest::DeleteTree("Software\\Pemrod");
}

}  // namespace
