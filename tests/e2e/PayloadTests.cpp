// Loaders built with different payloads: what they extract and how they fail.
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

using namespace e2e;

namespace {

std::vector<std::string> RunAndReadLog(Sandbox& box, const std::string& loader,
                                       const std::string& logName)
{
    EXPECT_TRUE(Ended(box.run(loader), 0));
    return LogTexts(RunLog(box, logName));
}

std::string FileDigest(const std::string& path)
{
    std::string bytes = ReadFile(path);
    unsigned long long hash = 1469598103934665603ull;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    char text[17];
    snprintf(text, sizeof(text), "%016llx", hash);
    return text;
}

}  // namespace

TEST(Payload, TheDefaultInstallerIsExtractedAndReportedAsSuccess)
{
    Sandbox box;
    std::vector<std::string> lines =
        RunAndReadLog(box, box.install("download.exe"), "download.log");
    const std::string installer = TempLogPathFromLog(lines) + "Setup.exe";
    EXPECT_EQ("Success!", After(lines, installer));
    // What ran is the demo installer, byte for byte: it records a digest of its own file.
    std::vector<std::string> records = box.installerRecords();
    ASSERT_EQ(1u, records.size());
    EXPECT_NE(std::string::npos, records[0].find("self: " + installer + "\r\n"));
    EXPECT_NE(std::string::npos,
              records[0].find("digest: " + FileDigest(DemoInstallerExe()) + "\r\n"))
        << records[0];
}

// Built with it, or put into the tree's template afterwards: the same run.
TEST(Payload, ALoaderBuiltWithAnotherInstallerOrMadeWithItFromTheTemplateRunsThatOne)
{
    for (const std::string& source : {OtherPayloadLoaderExe(), TemplateMadeLoaderExe()}) {
        SCOPED_TRACE(source);
        Sandbox box;
        std::vector<std::string> lines =
            RunAndReadLog(box, box.install("download.exe", source), "download.log");
        EXPECT_TRUE(Contains(lines, "Success!"));
        EXPECT_EQ("Exiting loader...", lines.back());
        std::vector<std::string> records = box.installerRecords();
        ASSERT_EQ(1u, records.size());
        EXPECT_NE(std::string::npos, records[0].find("flavour: other\r\n")) << records[0];
        EXPECT_NE(std::string::npos,
                  records[0].find("digest: " + FileDigest(OtherInstallerExe()) + "\r\n"))
            << records[0];
    }
}

TEST(Payload, ALoaderWithoutPayloadLogsTheMissingResourceAndGoesOn)
{
    Sandbox box;
    std::vector<std::string> lines =
        RunAndReadLog(box, box.install("download.exe", NoPayloadLoaderExe()), "download.log");
    EXPECT_EQ(
        LastErrorLine(ERROR_RESOURCE_TYPE_NOT_FOUND),
        After(lines, "Could not find resource for <" + TempLogPathFromLog(lines) + "Setup.exe>."));
    EXPECT_FALSE(Contains(lines, "Success!"));
    EXPECT_EQ("Exiting loader...", lines.back());
}

TEST(Payload, AnEarlierInstallerStillHeldOpenInTheMainTempFolderIsLeftAlone)
{
    Sandbox box;
    CreateDirectoryA(box.mainTemp().c_str(), nullptr);
    std::string setup = box.mainTemp() + "Setup.exe";
    ASSERT_TRUE(WriteFile(setup, "an installer of an earlier run, still running"));
    HANDLE held = CreateFileA(setup.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::vector<std::string> lines =
        RunAndReadLog(box, box.install("download.exe"), "download.log");
    CloseHandle(held);

    // This run extracts into a folder of its own and runs its own installer.
    EXPECT_TRUE(Contains(lines, "Success!"));
    EXPECT_EQ(1u, box.installerRecords().size());
    EXPECT_EQ("an installer of an earlier run, still running", ReadFile(setup));
}
