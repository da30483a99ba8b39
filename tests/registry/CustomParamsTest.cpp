// PersistCustomParams against the real registry of the test's Wine prefix. Each test
// removes both vendors' Orvadesk keys before and after it runs.
#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "loader/CustomParams.h"
#include "loaderlog/LoaderLog.h"
#include "Sandbox.h"
#include "TestFiles.h"
#include "RegistryTestKeys.h"
#include "VoFoundation/VoAllocator.h"

namespace {

using regtest::kCurrentVendor;
using regtest::kFormerVendor;
constexpr char kProduct[] = "Software\\Pemrod\\Orvadesk";
constexpr char kCustomParams[] = "Software\\Pemrod\\Orvadesk\\CustomParams";
constexpr char kFormerProduct[] = "Software\\Brightholm\\Orvadesk";
constexpr char kFormerCustomParams[] = "Software\\Brightholm\\Orvadesk\\CustomParams";
constexpr char kList[] = "InstallerCPList";

typedef std::map<std::string, std::string> Values;

// Every value of a key, by name, as text; empty when the key is missing.
Values ReadValues(const char* path)
{
    Values values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | regtest::kProgramView, &key) !=
        ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof(name);
        BYTE data[2048];
        DWORD dataSize = sizeof(data) - 1;
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        data[dataSize] = 0;
        values[name] = (const char*)data;
    }
    RegCloseKey(key);
    return values;
}

class PersistCustomParamsTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() { regtest::DeleteVendorKeys(); }
};

struct Case {
    const char* name;
    const char* storedList;  // InstallerCPList before the run, null for none
    const char* text;
    Values params;     // the CustomParams key afterwards
    const char* list;  // InstallerCPList afterwards, "<missing>" for none
};

TEST_F(PersistCustomParamsTest, CurrentVendorTable)
{
    const Case cases[] = {
        {"pairs are decoded, the list is kept as given",
         nullptr,
         "a=1&b=hello+world&d=%41%42",
         {{"a", "1"}, {"b", "hello world"}, {"d", "AB"}},
         "a=1&b=hello+world&d=%41%42"},
        {"trailing CR LF is trimmed before parsing and storing",
         nullptr,
         "a=1&b=2\r\n",
         {{"a", "1"}, {"b", "2"}},
         "a=1&b=2"},
        {"trailing blanks and tabs are trimmed, leading ones stay",
         nullptr,
         " a=1 \t",
         {{" a", "1"}},
         " a=1"},
        {"empty text rebuilds from the stored list",
         "c=7&e=%41",
         "",
         {{"c", "7"}, {"e", "A"}},
         "c=7&e=%41"},
        {"empty text with no stored list leaves the key deleted", nullptr, "", {}, "<missing>"},
        {"placeholder prefix acts as an empty text", "c=7", "xxxxxxxxa=1", {{"c", "7"}}, "c=7"},
        {"bare placeholder acts as an empty text", nullptr, "xxxxxxxx", {}, "<missing>"},
        {"fewer than 8 x never match the prefix",
         "c=7",
         "xxxxxxx=1",
         {{"xxxxxxx", "1"}},
         "xxxxxxx=1"},
        {"a name without = joins the next name",
         nullptr,
         "a=1&b&d=3",
         {{"a", "1"}, {"b&d", "3"}},
         "a=1&b&d=3"},
        {"a value may hold =", nullptr, "a=b=d", {{"a", "b=d"}}, "a=b=d"},
        {"empty value", nullptr, "a=&b=2", {{"a", ""}, {"b", "2"}}, "a=&b=2"},
        {"empty name is the default value", nullptr, "=x", {{"", "x"}}, "=x"},
        {"text without = is stored but writes no pair", "c=7", "plain", {}, "plain"},
        {"%00 ends the stored value", nullptr, "a=x%00y", {{"a", "x"}}, "a=x%00y"},
        {"white space alone stores the empty list", "c=7", "   \r\n", {}, ""},
    };
    for (const Case& c : cases) {
        Clean();
        // Stale parameters of an earlier run must never survive.
        ASSERT_TRUE(regtest::SetText(kCustomParams, "stale", "old"));
        if (c.storedList) {
            ASSERT_TRUE(regtest::SetText(kProduct, kList, c.storedList));
        }

        loader::PersistCustomParams(c.text);

        EXPECT_EQ(ReadValues(kCustomParams), c.params) << c.name;
        if (c.params.empty()) {
            EXPECT_FALSE(regtest::KeyExists(kCustomParams)) << c.name;
        }
        EXPECT_EQ(regtest::GetText(kProduct, kList), c.list) << c.name;
        EXPECT_FALSE(regtest::KeyExists(kFormerVendor)) << c.name;
    }
}

TEST_F(PersistCustomParamsTest, NullTextChangesNothing)
{
    ASSERT_TRUE(regtest::SetText(kCustomParams, "stale", "old"));
    ASSERT_TRUE(regtest::SetText(kProduct, kList, "c=7"));
    loader::PersistCustomParams(nullptr);
    EXPECT_EQ(ReadValues(kCustomParams), (Values{{"stale", "old"}}));
    EXPECT_EQ(regtest::GetText(kProduct, kList), "c=7");
}

TEST_F(PersistCustomParamsTest, FormerVendorKeyTakesTheParametersAndBothOldKeysGo)
{
    ASSERT_TRUE(regtest::SetText(kCustomParams, "stale", "current"));
    ASSERT_TRUE(regtest::SetText(kFormerCustomParams, "stale", "former"));
    ASSERT_TRUE(regtest::SetText(kProduct, kList, "p=1"));

    loader::PersistCustomParams("a=1&b=hello+world");

    EXPECT_FALSE(regtest::KeyExists(kCustomParams));
    EXPECT_EQ(ReadValues(kFormerCustomParams), (Values{{"a", "1"}, {"b", "hello world"}}));
    EXPECT_EQ(regtest::GetText(kFormerProduct, kList), "a=1&b=hello+world");
    EXPECT_EQ(regtest::GetText(kProduct, kList), "p=1");  // the current vendor's is left alone
}

// A CustomParams key made a registry link, and a former vendor's key that Users may write, are
// neither written nor deleted through: each is left as it is, with one line in the loader log.
TEST_F(PersistCustomParamsTest, ALinkOrAKeyOthersMayChangeIsLeftAsItIs)
{
    support::Sandbox box;
    ASSERT_TRUE(loader::SetLoaderLogPath(box.temp().c_str(), "test.log"));
    const char* target = "Software\\Pemrod\\Target";
    const struct {
        const char* name;
        const char* refused;  // the key logged, as the loader names it
    } cases[] = {{"CustomParams as a link", "Software/Pemrod/Orvadesk/CustomParams"},
                 {"a former vendor key Users may write", "Software/Brightholm/Orvadesk"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        DeleteFileA((box.temp() + "test.log").c_str());
        ASSERT_TRUE(regtest::SetText(target, "keep", "1"));
        if (c.refused[9] == 'P') {
            ASSERT_TRUE(regtest::CreateKey(kProduct));
            ASSERT_TRUE(regtest::MakeLink(kCustomParams, target));
        } else {
            ASSERT_TRUE(regtest::SetText(kFormerCustomParams, "old", "1"));
            ASSERT_TRUE(
                regtest::SetKeyDacl(kFormerProduct, "D:(A;;KA;;;SY)(A;;KA;;;BA)(A;;KW;;;BU)"));
        }

        loader::PersistCustomParams("a=1");

        EXPECT_EQ(ReadValues(target), (Values{{"keep", "1"}}));
        EXPECT_EQ(ReadValues(kFormerCustomParams),
                  (c.refused[9] == 'P' ? Values{} : Values{{"old", "1"}}));
        EXPECT_EQ(regtest::GetText(kFormerProduct, kList), "<missing>");
        EXPECT_NE(support::ReadFile(box.temp() + "test.log")
                      .find(std::string("### registry key ") + c.refused +
                            " is not trusted, left as it is\r\n"),
                  std::string::npos);
        if (c.refused[9] == 'P') {
            EXPECT_TRUE(regtest::DeleteLink(kCustomParams));
        }
    }
}

TEST_F(PersistCustomParamsTest, FormerVendorWithoutProductKeyIsNotUsed)
{
    ASSERT_TRUE(regtest::CreateKey(kFormerVendor));

    loader::PersistCustomParams("a=1");

    EXPECT_EQ(ReadValues(kCustomParams), (Values{{"a", "1"}}));
    EXPECT_FALSE(regtest::KeyExists(kFormerProduct));
}

// Whichever allocation fails first, nothing may land outside the product and parameter
// keys: no value under the root or "Software", no CustomParams key in the wrong place.
TEST_F(PersistCustomParamsTest, RunningOutOfMemoryAnywhereWritesNothingElsewhere)
{
    int32 before = VoAllocCallCount();
    loader::PersistCustomParams("a=1&b=2");
    int32 allocations = VoAllocCallCount() - before;
    ASSERT_GT(allocations, 0);

    const char* strayKeys[] = {"CustomParams", "Software\\CustomParams",
                               "Software\\Pemrod\\CustomParams"};
    const char* strayParents[] = {"", "Software", "Software\\Pemrod"};
    for (int32 failing = 1; failing <= allocations + 1; ++failing) {
        Clean();
        ASSERT_TRUE(regtest::SetText(kCustomParams, "stale", "old"));
        VoAllocFailFrom(failing);
        loader::PersistCustomParams("a=1&b=2");
        VoAllocFailFrom(0);
        for (const char* key : strayKeys)
            EXPECT_FALSE(regtest::KeyExists(key)) << key << ", failing from " << failing;
        for (const char* parent : strayParents) {
            for (const char* name : {"a", "b", kList})
                EXPECT_FALSE(regtest::GetValue(parent, name).found)
                    << parent << "|" << name << ", failing from " << failing;
        }
        EXPECT_FALSE(regtest::GetValue(kProduct, "a").found) << "failing from " << failing;
        EXPECT_FALSE(regtest::KeyExists(kFormerVendor)) << "failing from " << failing;
    }
}

// A run without new parameters rebuilds the key from the stored list. Whichever single
// allocation fails, the stored list must never be taken for an empty one (which would
// delete the parameters in place), nor the placeholder text for a list of pairs: at least
// one stored pair stays (a failed write loses only its own pair) and nothing else appears.
TEST_F(PersistCustomParamsTest, ARebuildShortOfMemoryKeepsTheStoredParameters)
{
    const char* text = "xxxxxxxxa=1";
    auto prepare = [] {
        Clean();
        ASSERT_TRUE(regtest::SetText(kProduct, kList, "c=7&e=8"));
        ASSERT_TRUE(regtest::SetText(kCustomParams, "c", "7"));
        ASSERT_TRUE(regtest::SetText(kCustomParams, "e", "8"));
    };
    prepare();
    int32 before = VoAllocCallCount();
    loader::PersistCustomParams(text);
    int32 allocations = VoAllocCallCount() - before;
    ASSERT_EQ(ReadValues(kCustomParams), (Values{{"c", "7"}, {"e", "8"}}));

    const Values stored = {{"c", "7"}, {"e", "8"}};
    for (int32 failing = 1; failing <= allocations; ++failing) {
        prepare();
        VoAllocFailOnCall(failing);
        loader::PersistCustomParams(text);
        VoAllocFailOnCall(0);
        Values params = ReadValues(kCustomParams);
        EXPECT_FALSE(params.empty()) << "allocation " << failing;
        for (const auto& param : params)
            EXPECT_EQ(stored.count(param.first), 1u) << param.first << ", allocation " << failing;
        EXPECT_EQ(regtest::GetText(kProduct, kList), "c=7&e=8") << "allocation " << failing;
        for (const char* key : {"", "Software", kCurrentVendor, kProduct}) {
            EXPECT_FALSE(regtest::GetValue(key, "c").found) << key << ", allocation " << failing;
            EXPECT_FALSE(regtest::GetValue(key, "e").found) << key << ", allocation " << failing;
        }
    }
}

// Questions the run cannot answer for lack of memory are never answered "no": a stored list
// too long to read back is not taken for a missing one (which would delete the parameters
// in place), and the former vendor's product is not taken for absent (which would put the
// parameters under the current vendor's key).
TEST_F(PersistCustomParamsTest, AnUnansweredExistenceTestIsNeverTakenForAbsence)
{
    const std::string longList = "c=7&z=" + std::string(1100, 'z');
    auto sweep = [](const char* text, const std::function<void()>& prepare,
                    const std::function<void(int32)>& check) {
        prepare();
        int32 before = VoAllocCallCount();
        loader::PersistCustomParams(text);
        int32 allocations = VoAllocCallCount() - before;
        for (int32 failing = 1; failing <= allocations; ++failing) {
            prepare();
            VoAllocFailOnCall(failing);
            loader::PersistCustomParams(text);
            VoAllocFailOnCall(0);
            check(failing);
        }
    };

    sweep(
        "xxxxxxxxa=1",
        [&] {
            Clean();
            ASSERT_TRUE(regtest::SetText(kProduct, kList, longList.c_str()));
            ASSERT_TRUE(regtest::SetText(kCustomParams, "c", "7"));
        },
        [&](int32 failing) {
            EXPECT_EQ(ReadValues(kCustomParams), (Values{{"c", "7"}})) << "allocation " << failing;
            EXPECT_EQ(regtest::GetText(kProduct, kList), longList) << "allocation " << failing;
        });

    sweep(
        "a=1",
        [&] {
            Clean();
            ASSERT_TRUE(regtest::CreateKey(kFormerProduct));
        },
        [&](int32 failing) {
            EXPECT_FALSE(regtest::GetValue(kProduct, kList).found) << "allocation " << failing;
            EXPECT_FALSE(regtest::GetValue(kCustomParams, "a").found) << "allocation " << failing;
        });
}

// The product keys of the 64-bit view are someone else's: never taken for the former
// vendor's, never deleted, never written.
TEST_F(PersistCustomParamsTest, TheSixtyFourBitViewIsNeverTouched)
{
    if (!regtest::HasTwoViews())
        GTEST_SKIP() << "this system has a single registry view";
    const REGSAM other = regtest::kOtherView;
    ASSERT_TRUE(regtest::SetText(kFormerCustomParams, "x", "64", other));
    ASSERT_TRUE(regtest::SetText(kCustomParams, "y", "64", other));

    loader::PersistCustomParams("a=1");

    EXPECT_EQ(ReadValues(kCustomParams), (Values{{"a", "1"}}));
    EXPECT_EQ(regtest::GetText(kProduct, kList), "a=1");
    EXPECT_FALSE(regtest::KeyExists(kFormerVendor));
    EXPECT_EQ(regtest::GetText(kFormerCustomParams, "x", other), "64");
    EXPECT_EQ(regtest::GetText(kCustomParams, "y", other), "64");
    EXPECT_EQ(regtest::GetText(kCustomParams, "a", other), "<missing>");
    EXPECT_EQ(regtest::GetText(kProduct, kList, other), "<missing>");
}

}  // namespace
