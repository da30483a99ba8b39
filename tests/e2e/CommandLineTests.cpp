// What the installer receives on its command line, from the loader's arguments and from its
// stamped parameter block.
#include "LoaderHarness.h"
#include "../registry/RegistryTestKeys.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace e2e;

namespace {

// How each argument becomes a switch is the unit table's matter; a real run adds the
// runtime's splitting of the command line into arguments, quotes and blanks included. Without
// arguments the stamped block gives the switches; arguments win over it.
TEST(InstallerCommandLine, FromTheLoaderArgumentsOrItsStampedBlock)
{
    const struct {
        const char* name;
        std::string loader;
        const char* arguments;
        const char* switches;  // after the installer path
    } cases[] = {
        {"arguments rewritten into switches", LoaderExe(),
         "-s \"/Lang en\" \"CustomParams a=1\" --x \"-CustomParams x\" y",
         " /s /Lang \"en\" /-x /CustomParams \"x\" /y"},
        {"unstamped block: the bare installer path", LoaderExe(), "", ""},
        {"stamped block", StampedLoaderExe("loader-stamped"), "", " /Lang \"en\" /Silent"},
        {"block without entries: the bare installer path", StampedLoaderExe("loader-cleared"), "",
         ""},
        {"arguments win over a stamped block", StampedLoaderExe("loader-stamped"), "-q", " /q"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        ASSERT_TRUE(box.run(box.install("download.exe", c.loader), c.arguments).finished);
        EXPECT_EQ(OnlyInstallerSelf(box) + c.switches, OnlyInstallerCommandLine(box));
    }
}

TEST(InstallerCommandLine, QuotesAnInstallerPathWithBlanksAndStartsThatProgram)
{
    Sandbox box;
    std::string temp = box.root() + "Documents and Settings\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    box.setTemp(temp);
    // A program named after the path's first word must never be the one that runs.
    box.install("Documents.exe", DemoInstallerExe(), box.root());

    ASSERT_TRUE(box.run(box.install("download.exe"), "-s").finished);
    std::vector<std::string> records = box.installerRecords();
    ASSERT_EQ(1u, records.size());
    const std::string self = RecordField(records[0], "self");
    EXPECT_EQ(0u, self.find(box.mainTemp() + "log")) << self;
    EXPECT_EQ("\"" + self + "\" /s", RecordField(records[0], "cmdline"));
}

TEST(InstallerCommandLine, LeavesOutAnArgumentTooLongForTheCommandLineAndSaysSo)
{
    Sandbox box;
    std::string huge = "\"/Big " + std::string(2100, 'v') + "\"";
    ASSERT_TRUE(box.run(box.install("download.exe"), "-a " + huge + " -b").finished);
    EXPECT_EQ(OnlyInstallerSelf(box) + " /a /b", OnlyInstallerCommandLine(box));
    EXPECT_TRUE(Contains(LogTexts(RunLog(box, "download.log")),
                         "Argument 2 does not fit the installer command line, skipped."));
}

// The custom-parameter text is only seen through what the loader records in the registry.
// Signing after stamping leaves a loader that runs and reads its block.
TEST(InstallerCommandLine, CustomParamsTextFromArgumentsAndBlock)
{
    const struct {
        const char* name;
        std::string loader;
        const char* arguments;
        const char* storedList;
        const char* switches;  // after the installer path
    } cases[] = {
        {"last CustomParams argument wins", LoaderExe(),
         "\"CustomParams a=1\" \"CustomParams b=2\"", "b=2", ""},
        {"block CustomParams entries are joined", StampedLoaderExe("loader-joined"), "", "a=1&b=2",
         ""},
        {"signed loader", StampedLoaderExe("loader-signed"), "", "signed=1", " /Lang \"en\""},
    };
    const char kProduct[] = "Software\\Pemrod\\Orvadesk";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        regtest::DeleteTree("Software\\Pemrod");
        Sandbox box;
        ASSERT_TRUE(box.run(box.install("download.exe", c.loader), c.arguments).finished);
        EXPECT_EQ(c.storedList, regtest::GetText(kProduct, "InstallerCPList"));
        EXPECT_EQ(OnlyInstallerSelf(box) + c.switches, OnlyInstallerCommandLine(box));
    }
    regtest::DeleteTree("Software\\Pemrod");
}

}  // namespace
