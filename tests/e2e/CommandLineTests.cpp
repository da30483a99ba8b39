// What the installer receives on its command line, from the loader's arguments and from its
// stamped parameter block.
#include "LoaderHarness.h"
#include "../registry/RegistryTestKeys.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

using namespace e2e;

namespace {

// How each argument becomes a switch is the unit table's matter; a real run adds the
// runtime's splitting of the command line into arguments, quotes and blanks included.
TEST(InstallerCommandLine, RewritesTheLoaderArgumentsIntoSwitches)
{
    Sandbox box;
    std::string loader = box.install("download.exe");
    ASSERT_TRUE(
        box.run(loader, "-s \"/Lang en\" \"CustomParams a=1\" --x \"-CustomParams x\" y").finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /s /Lang \"en\" /-x /CustomParams \"x\" /y",
              OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, UnstampedBlockGivesTheBareInstallerPath)
{
    Sandbox box;
    std::string loader = box.install("download.exe");
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_EQ(OnlyInstallerSelf(box), OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, StampedBlockPassesItsSwitches)
{
    Sandbox box;
    std::string loader = box.install("download.exe", StampedLoaderExe("loader-stamped"));
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /Lang \"en\" /Silent", OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, BlockWithoutEntriesGivesTheBareInstallerPath)
{
    Sandbox box;
    std::string loader = box.install("download.exe", StampedLoaderExe("loader-cleared"));
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_EQ(OnlyInstallerSelf(box), OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, ArgumentsWinOverAStampedBlock)
{
    Sandbox box;
    std::string loader = box.install("download.exe", StampedLoaderExe("loader-stamped"));
    ASSERT_TRUE(box.run(loader, "-q").finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /q", OnlyInstallerCommandLine(box));
}

TEST(InstallerCommandLine, QuotesAnInstallerPathWithBlanksAndStartsThatProgram)
{
    Sandbox box;
    std::string temp = box.root() + "Documents and Settings\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    box.setTemp(temp);
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
    std::string loader = box.install("download.exe");
    std::string huge = "\"/Big " + std::string(2100, 'v') + "\"";
    ASSERT_TRUE(box.run(loader, "-a " + huge + " -b").finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /a /b", OnlyInstallerCommandLine(box));
    std::vector<std::string> texts = LogTexts(RunLog(box, "download.log"));
    EXPECT_NE(texts.end(),
              std::find(texts.begin(), texts.end(),
                        "Argument 2 does not fit the installer command line, skipped."));
}

// Signing after stamping leaves a loader that runs and reads its block.
TEST(InstallerCommandLine, SignedLoaderRunsWithItsStampedParameters)
{
    const char kProduct[] = "Software\\Pemrod\\Orvadesk";
    regtest::DeleteTree("Software\\Pemrod");
    Sandbox box;
    std::string loader = box.install("download.exe", StampedLoaderExe("loader-signed"));
    ASSERT_TRUE(box.run(loader).finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /Lang \"en\"", OnlyInstallerCommandLine(box));
    EXPECT_EQ("signed=1", regtest::GetText(kProduct, "InstallerCPList"));
    regtest::DeleteTree("Software\\Pemrod");
}

struct CustomCase {
    const char* name;
    std::string loader;
    const char* arguments;
    const char* storedList;
};

// The custom-parameter text is only seen through what the loader records in the registry.
TEST(InstallerCommandLine, CustomParamsTextFromArgumentsAndBlock)
{
    const CustomCase cases[] = {
        {"last CustomParams argument wins", LoaderExe(),
         "\"CustomParams a=1\" \"CustomParams b=2\"", "b=2"},
        {"block CustomParams entries are joined", StampedLoaderExe("loader-joined"), "", "a=1&b=2"},
    };
    const char kProduct[] = "Software\\Pemrod\\Orvadesk";
    for (const CustomCase& c : cases) {
        regtest::DeleteTree("Software\\Pemrod");
        Sandbox box;
        std::string loader = box.install("download.exe", c.loader);
        ASSERT_TRUE(box.run(loader, c.arguments).finished) << c.name;
        EXPECT_EQ(c.storedList, regtest::GetText(kProduct, "InstallerCPList")) << c.name;
    }
    regtest::DeleteTree("Software\\Pemrod");
}

}  // namespace
