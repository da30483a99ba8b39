// DKIE against the real registry of the test's Wine prefix, with the trace records it
// writes. Every test removes its keys before and after it runs.
#include <string>
#include "tests/support/SystemCallsHook.h"

#include <gtest/gtest.h>

#include "loader/DeleteKeyIfEmpty.h"
#include "RegistryTestKeys.h"
#include "TraceCapture.h"
#include "VoFoundation/VoAllocator.h"

namespace {

constexpr char kVendor[] = "Software\\OrvaTestVendor";
constexpr char kVendorPath[] = "Software/OrvaTestVendor";
constexpr char kPathRecord[] = "## DKIE() path[Software/OrvaTestVendor]";
constexpr char kSuccessRecord[] = "## DKIE() successful ##";
constexpr int kDebugLevel = 0;

class DeleteKeyIfEmptyTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override
    {
        support::RestoreSystemCalls();
        Clean();
    }
    static void Clean()
    {
        regtest::DeleteTree(kVendor);
        regtest::DeleteTree(kVendor, HKEY_LOCAL_MACHINE, regtest::kOtherView);
    }

    static void ExpectRecords(const TraceCapture& trace, bool deleted)
    {
        const auto& records = trace.records();
        ASSERT_EQ(records.size(), deleted ? 2u : 1u);
        EXPECT_EQ(records[0].level, kDebugLevel);
        EXPECT_EQ(records[0].message, kPathRecord);
        if (deleted) {
            EXPECT_EQ(records[1].level, kDebugLevel);
            EXPECT_EQ(records[1].message, kSuccessRecord);
        }
    }
};

TEST_F(DeleteKeyIfEmptyTest, EmptyKeyIsDeletedWithBothRecords)
{
    ASSERT_TRUE(regtest::CreateKey(kVendor));
    TraceCapture trace;
    EXPECT_TRUE(loader::DKIE(VoString(kVendorPath)));
    EXPECT_FALSE(regtest::KeyExists(kVendor));
    EXPECT_TRUE(regtest::KeyExists("Software"));
    ExpectRecords(trace, true);
}

TEST_F(DeleteKeyIfEmptyTest, KeysThatHoldAnythingStay)
{
    struct Row {
        const char* name;
        bool (*fill)();
    } rows[] = {
        {"one value", [] { return regtest::SetText(kVendor, "v", "1"); }},
        {"an empty default value", [] { return regtest::SetText(kVendor, "", ""); }},
        {"one empty sub-key",
         [] { return regtest::CreateKey("Software\\OrvaTestVendor\\Orvadesk"); }},
    };
    for (const Row& row : rows) {
        regtest::DeleteTree(kVendor);
        ASSERT_TRUE(regtest::CreateKey(kVendor));
        ASSERT_TRUE(row.fill()) << row.name;
        TraceCapture trace;
        EXPECT_FALSE(loader::DKIE(VoString(kVendorPath))) << row.name;
        EXPECT_TRUE(regtest::KeyExists(kVendor)) << row.name;
        ExpectRecords(trace, false);
    }
}

TEST_F(DeleteKeyIfEmptyTest, MissingKeyGivesFalseAndOnlyThePathRecord)
{
    TraceCapture trace;
    EXPECT_FALSE(loader::DKIE(VoString(kVendorPath)));
    ExpectRecords(trace, false);
}

TEST_F(DeleteKeyIfEmptyTest, NeverClimbsToTheParent)
{
    ASSERT_TRUE(regtest::CreateKey("Software\\OrvaTestVendor\\Product"));
    EXPECT_TRUE(loader::DKIE(HKEY_LOCAL_MACHINE, VoString("Software/OrvaTestVendor/Product")));
    EXPECT_FALSE(regtest::KeyExists("Software\\OrvaTestVendor\\Product"));
    EXPECT_TRUE(regtest::KeyExists(kVendor));  // now empty, but only the given key goes
}

// Whichever allocation fails first, only the given key may go.
TEST_F(DeleteKeyIfEmptyTest, RunningOutOfMemoryAnywhereDeletesNothingElse)
{
    const VoString path("Software/OrvaTestVendor/Product");
    ASSERT_TRUE(regtest::CreateKey("Software\\OrvaTestVendor\\Product"));
    int32 before = VoAllocCallCount();
    EXPECT_TRUE(loader::DKIE(path));
    int32 allocations = VoAllocCallCount() - before;

    for (int32 failing = 1; failing <= allocations + 1; ++failing) {
        ASSERT_TRUE(regtest::CreateKey("Software\\OrvaTestVendor\\Product"));
        ASSERT_TRUE(regtest::CreateKey("Software\\OrvaTestVendor\\Sibling"));
        VoAllocFailFrom(failing);
        loader::DKIE(path);
        VoAllocFailFrom(0);
        EXPECT_TRUE(regtest::KeyExists("Software\\OrvaTestVendor\\Sibling"))
            << "failing from " << failing;
        EXPECT_TRUE(regtest::KeyExists("Software\\Microsoft")) << "failing from " << failing;
        regtest::DeleteTree("Software\\OrvaTestVendor\\Product");
    }
}

// Between the emptiness test and the deletion, something (an installer of the former
// vendor) may create a sub-key: the key must then stay, with that sub-key and its values.
TEST_F(DeleteKeyIfEmptyTest, AKeyThatGainsASubKeyBeforeItsDeletionStaysWithIt)
{
    ASSERT_TRUE(regtest::CreateKey(kVendor));
    // Right after the key's counts are read.
    support::g_systemCalls.regQueryInfoKeyA = [](HKEY key, LPSTR, LPDWORD, LPDWORD, LPDWORD subKeys,
                                                 LPDWORD, LPDWORD, LPDWORD values, LPDWORD, LPDWORD,
                                                 LPDWORD, PFILETIME) -> LONG WINAPI {
        LONG result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subKeys, nullptr, nullptr,
                                       values, nullptr, nullptr, nullptr, nullptr);
        regtest::SetText("Software\\OrvaTestVendor\\Orvadesk", "InstallDir", "C:\\Orvadesk");
        return result;
    };
    TraceCapture trace;
    EXPECT_FALSE(loader::DKIE(VoString(kVendorPath)));
    EXPECT_EQ(regtest::GetText("Software\\OrvaTestVendor\\Orvadesk", "InstallDir"), "C:\\Orvadesk");
    ExpectRecords(trace, false);
}

// Only the program's own (32-bit) view is tested and cleaned; the 64-bit view's key of the
// same name belongs to someone else.
TEST_F(DeleteKeyIfEmptyTest, OnlyTheThirtyTwoBitViewIsTestedAndCleaned)
{
    if (!regtest::HasTwoViews())
        GTEST_SKIP() << "this system has a single registry view";
    struct Row {
        const char* name;
        bool inProgramView;
        bool deleted;
    } rows[] = {
        {"empty in both views: the 32-bit key goes", true, true},
        {"empty in the 64-bit view only: nothing goes", false, false},
    };
    for (const Row& row : rows) {
        Clean();
        ASSERT_TRUE(regtest::CreateKey(kVendor, HKEY_LOCAL_MACHINE, regtest::kOtherView));
        if (row.inProgramView) {
            ASSERT_TRUE(regtest::CreateKey(kVendor));
        }
        EXPECT_EQ(loader::DKIE(VoString(kVendorPath)), row.deleted) << row.name;
        EXPECT_FALSE(regtest::KeyExists(kVendor)) << row.name;
        EXPECT_TRUE(regtest::KeyExists(kVendor, HKEY_LOCAL_MACHINE, regtest::kOtherView))
            << row.name;
    }
}

}  // namespace
