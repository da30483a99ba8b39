// What a loader run leaves in the registry: the custom parameters (in place before the
// installer starts) and the removal of an empty former vendor key at the end.
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr char kCurrentVendor[] = "Software\\Pemrod";
constexpr char kFormerVendor[] = "Software\\Brightholm";

bool KeyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CreateKey(const char* path)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SetText(const char* path, const char* name, const char* text)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

class LoaderRegistry : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kCurrentVendor);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kCurrentVendor);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kFormerVendor);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kFormerVendor);
    }
};

TEST_F(LoaderRegistry, EmptyFormerVendorKeyIsGoneAfterTheRun)
{
    ASSERT_TRUE(CreateKey(kFormerVendor));
    Sandbox box;
    RunResult result = box.run(box.install("download.exe"));
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_FALSE(KeyExists(kFormerVendor));
}

TEST_F(LoaderRegistry, FormerVendorKeyThatHoldsAnythingStays)
{
    ASSERT_TRUE(SetText(kFormerVendor, "kept", "1"));
    ASSERT_TRUE(CreateKey("Software\\Brightholm\\Other"));
    Sandbox box;
    RunResult result = box.run(box.install("download.exe"));
    ASSERT_TRUE(result.finished) << "start error " << result.startError;
    EXPECT_TRUE(KeyExists(kFormerVendor));
    EXPECT_TRUE(KeyExists("Software\\Brightholm\\Other"));
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
