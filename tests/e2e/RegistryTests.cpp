// What a loader run leaves in the registry: the custom parameters (in place before the
// installer starts) and the removal of an empty former vendor key at the end.
#include "LoaderHarness.h"
#include "../registry/RegistryTestKeys.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr char kCurrentVendor[] = "Software\\Pemrod";
constexpr char kFormerVendor[] = "Software\\Brightholm";

class LoaderRegistry : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        regtest::DeleteTree(kCurrentVendor);
        regtest::DeleteTree(kFormerVendor);
    }
};

TEST_F(LoaderRegistry, EmptyFormerVendorKeyIsGoneAfterTheRun)
{
    ASSERT_TRUE(regtest::CreateKey(kFormerVendor));
    Sandbox box;
    RunResult result = box.run(box.install("download.exe"));
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_FALSE(regtest::KeyExists(kFormerVendor));
}

TEST_F(LoaderRegistry, FormerVendorKeyThatHoldsAnythingStays)
{
    ASSERT_TRUE(regtest::SetText(kFormerVendor, "kept", "1"));
    ASSERT_TRUE(regtest::CreateKey("Software\\Brightholm\\Other"));
    Sandbox box;
    RunResult result = box.run(box.install("download.exe"));
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_TRUE(regtest::KeyExists(kFormerVendor));
    EXPECT_TRUE(regtest::KeyExists("Software\\Brightholm\\Other"));
}

TEST_F(LoaderRegistry, CustomParamsArgumentIsInTheRegistryBeforeTheInstallerStarts)
{
    Sandbox box;
    RunResult result = box.run(box.install("download.exe"), "\"CustomParams a=1&b=hello+world\"");
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    std::vector<std::string> records = box.installerRecords();
    if (records.empty())
        GTEST_SKIP() << "this loader does not start the installer yet";
    ASSERT_EQ(1u, records.size());
    const std::string& record = records[0];
    const std::string params = "reg: Software\\Pemrod\\Orvadesk\\CustomParams|";
    EXPECT_NE(std::string::npos, record.find(params + "a=1\r\n")) << record;
    EXPECT_NE(std::string::npos, record.find(params + "b=hello world\r\n")) << record;
    EXPECT_NE(std::string::npos,
              record.find("reg: Software\\Pemrod\\Orvadesk|InstallerCPList=a=1&b=hello+world\r\n"))
        << record;
}

}  // namespace
