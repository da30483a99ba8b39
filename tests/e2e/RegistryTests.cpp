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

using regtest::kCurrentVendor;
using regtest::kFormerVendor;

class LoaderRegistry : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() { regtest::DeleteVendorKeys(); }
};

TEST_F(LoaderRegistry, EmptyFormerVendorKeyIsGoneAfterTheRun)
{
    ASSERT_TRUE(regtest::CreateKey(kFormerVendor));
    Sandbox box;
    ASSERT_TRUE(Ended(box.run(box.install("download.exe"))));
    EXPECT_FALSE(regtest::KeyExists(kFormerVendor));
}

TEST_F(LoaderRegistry, FormerVendorKeyThatHoldsAnythingStays)
{
    ASSERT_TRUE(regtest::SetText(kFormerVendor, "kept", "1"));
    ASSERT_TRUE(regtest::CreateKey("Software\\Brightholm\\Other"));
    Sandbox box;
    ASSERT_TRUE(Ended(box.run(box.install("download.exe"))));
    EXPECT_TRUE(regtest::KeyExists(kFormerVendor));
    EXPECT_TRUE(regtest::KeyExists("Software\\Brightholm\\Other"));
}

TEST_F(LoaderRegistry, CustomParamsArgumentIsInTheRegistryBeforeTheInstallerStarts)
{
    Sandbox box;
    ASSERT_TRUE(Ended(box.run(box.install("download.exe"), "\"CustomParams a=1&b=hello+world\"")));
    std::vector<std::string> records = box.installerRecords();
    ASSERT_EQ(1u, records.size());
    const std::string& record = records[0];
    const std::string params = "reg: Software\\Pemrod\\Orvadesk\\CustomParams|";
    EXPECT_NE(std::string::npos, record.find(params + "a=1\r\n")) << record;
    EXPECT_NE(std::string::npos, record.find(params + "b=hello world\r\n")) << record;
    EXPECT_NE(std::string::npos,
              record.find("reg: Software\\Pemrod\\Orvadesk|InstallerCPList=a=1&b=hello+world\r\n"))
        << record;
}

// The delivered loader is 32-bit: on 64-bit Windows its values lie below
// Software\WOW6432Node, and the tested build must put them exactly there.
TEST_F(LoaderRegistry, CustomParamsLandInTheThirtyTwoBitViewOnly)
{
    if (!regtest::HasTwoViews())
        GTEST_SKIP() << "this system has a single registry view";
    const REGSAM other = regtest::kOtherView;
    Sandbox box;
    ASSERT_TRUE(Ended(box.run(box.install("download.exe"), "\"CustomParams a=1&b=hello+world\"")));
    const char* redirected = "Software\\WOW6432Node\\Pemrod\\Orvadesk";
    EXPECT_EQ(regtest::GetText("Software\\WOW6432Node\\Pemrod\\Orvadesk\\CustomParams", "b", other),
              "hello world");
    EXPECT_EQ(regtest::GetText(redirected, "InstallerCPList", other), "a=1&b=hello+world");
    EXPECT_FALSE(regtest::KeyExists(kCurrentVendor, HKEY_LOCAL_MACHINE, other));
}

// The former vendor's keys count in the 32-bit view only: a product key of that name in the
// 64-bit view is not taken, and an empty vendor key there is not removed.
TEST_F(LoaderRegistry, FormerVendorKeysCountInTheThirtyTwoBitViewOnly)
{
    if (!regtest::HasTwoViews())
        GTEST_SKIP() << "this system has a single registry view";
    const REGSAM other = regtest::kOtherView;
    ASSERT_TRUE(regtest::CreateKey("Software\\Brightholm\\Orvadesk", HKEY_LOCAL_MACHINE, other));
    Sandbox box;
    ASSERT_TRUE(Ended(box.run(box.install("download.exe"), "\"CustomParams a=1\"")));
    EXPECT_EQ(regtest::GetText("Software\\Pemrod\\Orvadesk\\CustomParams", "a"), "1");
    EXPECT_FALSE(regtest::KeyExists(kFormerVendor));
    EXPECT_FALSE(regtest::KeyExists("Software\\Brightholm\\Orvadesk\\CustomParams",
                                    HKEY_LOCAL_MACHINE, other));

    // In the 32-bit view the former vendor's product key is found; the 64-bit twin, now
    // empty, stays.
    regtest::DeleteTree("Software\\Brightholm\\Orvadesk", HKEY_LOCAL_MACHINE, other);
    ASSERT_TRUE(regtest::CreateKey("Software\\Brightholm\\Orvadesk"));
    ASSERT_TRUE(Ended(box.run(box.install("second.exe"), "\"CustomParams a=2\"")));
    EXPECT_EQ(regtest::GetText("Software\\Brightholm\\Orvadesk\\CustomParams", "a"), "2");
    EXPECT_TRUE(regtest::KeyExists(kFormerVendor, HKEY_LOCAL_MACHINE, other));

    regtest::DeleteTree("Software\\Brightholm\\Orvadesk");
    ASSERT_TRUE(Ended(box.run(box.install("third.exe"))));
    EXPECT_FALSE(regtest::KeyExists(kFormerVendor));
    EXPECT_TRUE(regtest::KeyExists(kFormerVendor, HKEY_LOCAL_MACHINE, other));
}

}  // namespace
