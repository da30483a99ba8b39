// VoClearEntry against the real registry of the test's Wine prefix. Every test works below
// HKLM\Software\OrvaTest (in both registry views) and removes that key before and after it
// runs.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RegistryTestKeys.h"
#include "TraceCapture.h"
#include "VoFoundation/VoAllocator.h"
#include "VoUtil/VoRegistry/VoClearEntry.h"

namespace {

constexpr char kTestRoot[] = "Software\\OrvaTest";
constexpr char kTopLevelKey[] = "OrvaTopLevelTest";

class VoClearEntryTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        regtest::DeleteTree(kTestRoot);
        regtest::DeleteTree(kTestRoot, HKEY_LOCAL_MACHINE, regtest::kOtherView);
        regtest::DeleteTree(kTopLevelKey, HKEY_CURRENT_USER);
    }

    static VoRegistryEntryPtr Entry(const char* path)
    {
        return VoRegistryEntryPtr(createEntry(VoString(path)));
    }
};

TEST_F(VoClearEntryTest, EntryForAMissingKeyFailsReadsWithTheDefaults)
{
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Missing/Key");
    ASSERT_TRUE(entry);

    EXPECT_FALSE(entry->valueExists(VoString("v")));
    EXPECT_FALSE(entry->subKeyExists(VoString("Sub")));
    EXPECT_EQ(kVoAbsent, entry->valuePresence(VoString("v")));
    EXPECT_EQ(kVoAbsent, entry->subKeyPresence(VoString("Sub")));

    uint32_t number = 1;
    EXPECT_FALSE(entry->readDword(VoString("v"), number, 77));
    EXPECT_EQ(number, 77u);

    VoString text("old");
    EXPECT_FALSE(entry->readText(VoString("v"), text, "fallback"));
    EXPECT_STREQ(text.c_str(), "fallback");

    EXPECT_TRUE(entry->deleteValue(VoString("v")));
    EXPECT_FALSE(regtest::KeyExists("Software\\OrvaTest"));  // nothing was created
}

// Whether a value or key is there has three answers; running out of memory before the
// question can be asked is "unknown", never "absent", whichever allocation fails.
TEST_F(VoClearEntryTest, PresenceTellsAbsentFromUnknown)
{
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Key\\Sub", "v", "1"));
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Key");
    ASSERT_TRUE(entry);
    EXPECT_EQ(kVoPresent, entry->subKeyPresence(VoString("Sub")));
    EXPECT_EQ(kVoAbsent, entry->subKeyPresence(VoString("Other")));
    EXPECT_EQ(kVoAbsent, entry->valuePresence(VoString("v")));  // it is the sub-key's
    VoRegistryEntryPtr sub(entry->openSubEntry(VoString("Sub")));
    ASSERT_TRUE(sub);
    EXPECT_EQ(kVoPresent, sub->valuePresence(VoString("v")));

    for (int32 failing = 1; failing <= 3; ++failing) {
        VoAllocFailFrom(failing);
        VoPresence value = sub->valuePresence(VoString("v"));
        VoPresence key = entry->subKeyPresence(VoString("Sub"));
        VoAllocFailFrom(0);
        EXPECT_NE(kVoAbsent, value) << "failing from " << failing;
        EXPECT_NE(kVoAbsent, key) << "failing from " << failing;
    }
}

TEST_F(VoClearEntryTest, WriteCreatesTheKeyWithAllMissingParents)
{
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/A/B/C");
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->writeText(VoString("name"), "value"));
    EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\A\\B\\C", "name"), "value");

    EXPECT_TRUE(entry->valueExists(VoString("name")));
    VoString text;
    EXPECT_TRUE(entry->readText(VoString("name"), text, "fallback"));
    EXPECT_STREQ(text.c_str(), "value");
}

TEST_F(VoClearEntryTest, DeleteKeyOfAMissingKeyOrParentCountsAsDeleted)
{
    EXPECT_TRUE(Entry("Software/OrvaTest/NoParent/Key")->deleteKey());
    ASSERT_TRUE(regtest::CreateKey("Software\\OrvaTest\\Parent"));
    EXPECT_TRUE(Entry("Software/OrvaTest/Parent/NoKey")->deleteKey());
    EXPECT_TRUE(regtest::KeyExists("Software\\OrvaTest\\Parent"));
}

TEST_F(VoClearEntryTest, DeleteKeyRemovesSubKeysAndValuesButNotTheParent)
{
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Parent\\Key\\Sub\\Deeper", "v", "1"));
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Parent\\Key", "w", "2"));
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Parent\\Sibling", "x", "3"));

    EXPECT_TRUE(Entry("Software/OrvaTest/Parent/Key")->deleteKey());

    EXPECT_FALSE(regtest::KeyExists("Software\\OrvaTest\\Parent\\Key"));
    EXPECT_TRUE(regtest::KeyExists("Software\\OrvaTest\\Parent\\Sibling"));
}

TEST_F(VoClearEntryTest, DeleteKeyRefusesAPathWithoutAChildComponent)
{
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Keep", "v", "1"));
    // A trailing "/" names no child: the parent and its subtree must survive.
    EXPECT_FALSE(Entry("Software/OrvaTest/")->deleteKey());
    EXPECT_TRUE(regtest::KeyExists("Software\\OrvaTest\\Keep"));
}

TEST_F(VoClearEntryTest, ReadTextTakesAtMost1024StoredBytes)
{
    struct Row {
        const char* name;
        size_t textLength;  // stored with a terminator: textLength + 1 bytes
        bool read;
    } rows[] = {
        {"1024 bytes with terminator fit", 1023, true},
        {"1025 bytes give the default", 1024, false},
        {"far longer gives the default", 3000, false},
    };
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Text");
    for (const Row& row : rows) {
        std::string stored(row.textLength, 'q');
        ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Text", "t", stored));
        VoString text;
        EXPECT_EQ(entry->readText(VoString("t"), text, "fallback"), row.read) << row.name;
        EXPECT_EQ(std::string(text.c_str()), row.read ? stored : "fallback") << row.name;
    }
}

TEST_F(VoClearEntryTest, ReadTextEndsAValueAtItsReturnedBytes)
{
    struct Row {
        const char* name;
        DWORD type;
        std::string bytes;
        std::string expected;
    } rows[] = {
        {"text stored without its terminator", REG_SZ, "abc", "abc"},
        {"binary without a zero byte", REG_BINARY, "abcd", "abcd"},
        {"binary of exactly 1024 bytes", REG_BINARY, std::string(1024, 'z'),
         std::string(1024, 'z')},
        {"binary with an inner zero byte ends there", REG_BINARY, std::string("ab\0cd", 5), "ab"},
    };
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Raw");
    for (const Row& row : rows) {
        ASSERT_TRUE(regtest::SetValue("Software\\OrvaTest\\Raw", "r", row.type, row.bytes.data(),
                                      (DWORD)row.bytes.size()));
        VoString text;
        EXPECT_TRUE(entry->readText(VoString("r"), text, "fallback")) << row.name;
        EXPECT_EQ(std::string(text.c_str()), row.expected) << row.name;
    }
}

TEST_F(VoClearEntryTest, ReadDwordTakesUpToFourBytesOfAnyType)
{
    struct Row {
        const char* name;
        DWORD type;
        std::string bytes;
        bool read;
        uint32_t expected;
    } rows[] = {
        {"a dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4), true, 0x12345678u},
        {"four binary bytes as stored", REG_BINARY, std::string("\x01\x02\x03\x04", 4), true,
         0x04030201u},
        {"four big-endian dword bytes as stored", REG_DWORD_BIG_ENDIAN,
         std::string("\x12\x34\x56\x78", 4), true, 0x78563412u},
        {"two bytes leave the rest zero", REG_BINARY, std::string("\x34\x12", 2), true, 0x1234u},
        {"five bytes give the default", REG_BINARY, std::string("\x01\x02\x03\x04\x05", 5), false,
         99u},
    };
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Dword");
    for (const Row& row : rows) {
        ASSERT_TRUE(regtest::SetValue("Software\\OrvaTest\\Dword", "d", row.type, row.bytes.data(),
                                      (DWORD)row.bytes.size()));
        uint32_t value = 0xFFFFFFFFu;
        EXPECT_EQ(entry->readDword(VoString("d"), value, 99), row.read) << row.name;
        EXPECT_EQ(value, row.expected) << row.name;
    }
}

TEST_F(VoClearEntryTest, WritesStoreTheirTypesAndSizes)
{
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Write");
    EXPECT_TRUE(entry->writeText(VoString("empty"), ""));
    EXPECT_TRUE(entry->writeText(VoString("text"), VoString("hello")));
    EXPECT_TRUE(entry->writeDword(VoString("number"), 0xCAFEu));

    regtest::StoredValue empty = regtest::GetValue("Software\\OrvaTest\\Write", "empty");
    ASSERT_TRUE(empty.found);
    EXPECT_EQ(empty.type, (DWORD)REG_SZ);
    EXPECT_EQ(empty.bytes, std::string(1, '\0'));

    regtest::StoredValue text = regtest::GetValue("Software\\OrvaTest\\Write", "text");
    EXPECT_EQ(text.type, (DWORD)REG_SZ);
    EXPECT_EQ(text.bytes, std::string("hello", 6));

    regtest::StoredValue number = regtest::GetValue("Software\\OrvaTest\\Write", "number");
    EXPECT_EQ(number.type, (DWORD)REG_DWORD);
    EXPECT_EQ(number.bytes, std::string("\xFE\xCA\0\0", 4));

    uint32_t value = 0;
    EXPECT_TRUE(entry->readDword(VoString("number"), value, 0));
    EXPECT_EQ(value, 0xCAFEu);
}

TEST_F(VoClearEntryTest, DeleteValueRemovesItAndAcceptsAMissingOne)
{
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Values", "gone", "1"));
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Values", "kept", "2"));
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Values");
    EXPECT_TRUE(entry->deleteValue(VoString("gone")));
    EXPECT_TRUE(entry->deleteValue(VoString("never-there")));
    EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Values", "gone"), "<missing>");
    EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Values", "kept"), "2");

    // A key that is there but may only be read keeps its value: a failure, not a value gone.
    ASSERT_TRUE(regtest::SetKeyDacl("Software\\OrvaTest\\Values", "D:(A;;KR;;;WD)"));
    EXPECT_FALSE(entry->deleteValue(VoString("kept")));
    EXPECT_TRUE(regtest::SetKeyDacl("Software\\OrvaTest\\Values", "D:(A;;KA;;;WD)"));
    EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Values", "kept"), "2");
}

TEST_F(VoClearEntryTest, SubKeyExistsFollowsASlashSeparatedPath)
{
    ASSERT_TRUE(regtest::CreateKey("Software\\OrvaTest\\Vendor\\Product\\Part"));
    VoRegistryEntryPtr software = Entry("Software/OrvaTest");
    EXPECT_TRUE(software->subKeyExists(VoString("Vendor/Product")));
    EXPECT_TRUE(software->subKeyExists(VoString("Vendor/Product/Part")));
    EXPECT_FALSE(software->subKeyExists(VoString("Vendor/Other")));
}

TEST_F(VoClearEntryTest, UnknownRootIndexIsReportedOnceAndFallsBackToCurrentUser)
{
    TraceCapture trace;
    VoClearEntry entry(VoString("x"), 7);
    EXPECT_EQ(entry.rootKey(), HKEY_CURRENT_USER);
    ASSERT_EQ(trace.records().size(), 1u);
    const TraceCapture::Record& record = trace.records()[0];
    EXPECT_EQ(record.level, 3);
    EXPECT_EQ(record.message.find("(false) failed: Unknown key 7 in VoClearEntry.cpp at line "), 0u)
        << record.message;
}

// The VoString form of writeText goes through the text form's slot.
class RecordingEntry : public VoClearEntry {
public:
    RecordingEntry()
        : VoClearEntry(VoString("Software/OrvaTest/Recording"), (int32)kVoRootLocalMachine)
    {
    }
    using VoClearEntry::writeText;
    bool writeText(const VoString& name, const char* text) override
    {
        lastName = name.c_str();
        lastText = text;
        return true;
    }
    std::string lastName;
    std::string lastText;
};

TEST_F(VoClearEntryTest, StringWriteHonoursAnOverrideOfTheTextWrite)
{
    RecordingEntry entry;
    VoRegistryEntry& asInterface = entry;
    EXPECT_TRUE(asInterface.writeText(VoString("n"), VoString("v")));
    EXPECT_EQ(entry.lastName, "n");
    EXPECT_EQ(entry.lastText, "v");
    EXPECT_FALSE(regtest::KeyExists("Software\\OrvaTest\\Recording"));
}

// Makes every foundation allocation fail while it lives.
class OutOfMemory {
public:
    OutOfMemory() { VoAllocFailFrom(1); }
    ~OutOfMemory() { VoAllocFailFrom(0); }
};

TEST_F(VoClearEntryTest, CreateEntryGivesNullWhenOutOfMemory)
{
    VoString path("Software/OrvaTest/Key");
    VoAllocFailOnCall(1);
    VoRegistryEntry* entry = createEntry(path);
    VoAllocFailOnCall(0);
    EXPECT_EQ(entry, nullptr);
    delete entry;
}

// Out of memory, a path or name copy has no text; it must never reach the registry as a
// null path (the root key itself) or a null name (the default value).
TEST_F(VoClearEntryTest, OperationsOutOfMemoryNeverFallBackToTheRootOrDefaultValue)
{
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Parent\\Key", "v", "1"));
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Parent/Key");
    VoString name("orva-test-value");
    {
        OutOfMemory oom;
        EXPECT_FALSE(entry->writeText(name, "x"));
        EXPECT_FALSE(entry->writeDword(name, 1));
        EXPECT_FALSE(entry->deleteKey());
        EXPECT_FALSE(entry->subKeyExists(VoString("Missing")));
        EXPECT_FALSE(entry->writeText(VoString("made-without-memory"), "x"));
    }
    EXPECT_TRUE(regtest::KeyExists("Software\\OrvaTest\\Parent\\Key"));
    EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Parent\\Key", "v"), "1");
    EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Parent\\Key", ""), "<missing>");
    EXPECT_FALSE(regtest::GetValue("", "orva-test-value").found);
    EXPECT_FALSE(regtest::KeyExists("Key"));
}

// The delivered program is 32-bit: its keys lie in the 32-bit view, below
// Software\WOW6432Node as the 64-bit view sees it. A key of the same name in the 64-bit view
// is someone else's and is never read, written or deleted.
TEST_F(VoClearEntryTest, EveryOperationWorksInTheThirtyTwoBitViewOnly)
{
    if (!regtest::HasTwoViews())
        GTEST_SKIP() << "this system has a single registry view";
    const char* twin = "Software\\OrvaTest\\Twin";
    const REGSAM other = regtest::kOtherView;
    ASSERT_TRUE(regtest::SetText(twin, "v", "64-bit", other));
    ASSERT_TRUE(regtest::SetText(twin, "x", "64-bit", other));
    ASSERT_TRUE(regtest::CreateKey("Software\\OrvaTest\\Twin\\Sub", HKEY_LOCAL_MACHINE, other));
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Twin");

    VoString text;
    EXPECT_FALSE(entry->valueExists(VoString("v")));
    EXPECT_FALSE(entry->readText(VoString("v"), text, "fallback"));
    EXPECT_FALSE(entry->subKeyExists(VoString("Sub")));

    EXPECT_TRUE(entry->writeText(VoString("w"), "32-bit"));
    EXPECT_TRUE(entry->writeText(VoString("x"), "32-bit"));
    EXPECT_EQ(regtest::GetText("Software\\WOW6432Node\\OrvaTest\\Twin", "w", other), "32-bit");
    EXPECT_EQ(regtest::GetText(twin, "w", other), "<missing>");
    EXPECT_TRUE(entry->deleteValue(VoString("x")));
    EXPECT_EQ(regtest::GetText(twin, "x", other), "64-bit");

    ASSERT_TRUE(regtest::CreateKey("Software\\OrvaTest\\Twin\\Sub"));
    EXPECT_TRUE(entry->deleteKey());
    EXPECT_FALSE(regtest::KeyExists(twin));
    EXPECT_FALSE(
        regtest::KeyExists("Software\\WOW6432Node\\OrvaTest\\Twin", HKEY_LOCAL_MACHINE, other));
    EXPECT_EQ(regtest::GetText(twin, "v", other), "64-bit");
    EXPECT_TRUE(regtest::KeyExists("Software\\OrvaTest\\Twin\\Sub", HKEY_LOCAL_MACHINE, other));
}

// "Software" or "/Software" would have the root stand in for the parent and lose the
// whole key; the test uses a key of its own under HKEY_CURRENT_USER instead.
TEST_F(VoClearEntryTest, DeleteKeyRefusesAKeyWithoutParentAndReportsIt)
{
    for (const char* path : {"OrvaTopLevelTest", "/OrvaTopLevelTest"}) {
        ASSERT_TRUE(
            regtest::SetValue("OrvaTopLevelTest\\Sub", "v", REG_SZ, "1", 2, HKEY_CURRENT_USER));
        TraceCapture trace;
        VoClearEntry entry(VoString(path), HKEY_CURRENT_USER);
        EXPECT_FALSE(entry.deleteKey()) << path;
        EXPECT_FALSE(entry.deleteKeyWithoutSubKeys()) << path;
        EXPECT_TRUE(regtest::KeyExists("OrvaTopLevelTest\\Sub", HKEY_CURRENT_USER)) << path;
        ASSERT_EQ(trace.records().size(), 2u) << path;
        const TraceCapture::Record& record = trace.records()[0];
        EXPECT_EQ(record.level, 3) << path;
        EXPECT_EQ(record.message.find(std::string("(slash > 0) failed: No parent key in ") + path +
                                      " in VoClearEntry.cpp at line "),
                  0u)
            << record.message;
    }
}

// Whichever allocation fails, readText reports true only with the stored text, and false
// with the default (or, when even the default finds no memory, with an empty text): never
// with the caller's old text.
TEST_F(VoClearEntryTest, ReadTextNeverReportsATextItCouldNotHandOver)
{
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Text", "t", "the stored text"));
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Text");
    VoString name("t");
    VoString counted("old");
    int32 before = VoAllocCallCount();
    ASSERT_TRUE(entry->readText(name, counted, "fallback"));
    int32 allocations = VoAllocCallCount() - before;  // the last one hands the text over

    struct Mode {
        const char* name;
        void (*fail)(int32);
        std::vector<std::string> failedTexts;
    } modes[] = {
        {"one allocation fails", VoAllocFailOnCall, {"fallback"}},
        {"every allocation fails from then on", VoAllocFailFrom, {"fallback", ""}},
    };
    for (const Mode& mode : modes) {
        for (int32 failing = 1; failing <= allocations; ++failing) {
            VoString text("old");
            mode.fail(failing);
            bool read = entry->readText(name, text, "fallback");
            mode.fail(0);
            std::string got(text.c_str() ? text.c_str() : "<no array>");
            if (read) {
                EXPECT_NE(failing, allocations) << mode.name;
                EXPECT_EQ(got, "the stored text") << mode.name << ", allocation " << failing;
                continue;
            }
            bool expected = false;
            for (const std::string& allowed : mode.failedTexts)
                expected = expected || got == allowed;
            EXPECT_TRUE(expected) << got << ": " << mode.name << ", allocation " << failing;
        }
    }
    EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Text", "t"), "the stored text");
}

TEST_F(VoClearEntryTest, StringWriteOfAStringWithoutTextWritesNothing)
{
    ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Kept", "v", "kept"));
    VoAllocFailOnCall(1);
    VoString lost("replacement");
    VoAllocFailOnCall(0);
    ASSERT_EQ(lost.c_str(), nullptr);

    EXPECT_FALSE(Entry("Software/OrvaTest/Kept")->writeText(VoString("v"), lost));
    EXPECT_FALSE(Entry("Software/OrvaTest/New")->writeText(VoString("v"), lost));
    EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Kept", "v"), "kept");
    EXPECT_FALSE(regtest::KeyExists("Software\\OrvaTest\\New"));
}

// A sub-entry whose path lost its "/", its name or its parent's path for lack of memory
// would name Parent itself, ParentOrvaSub or "/OrvaSub" (HKLM\OrvaSub); it must refuse
// every operation instead of working on those.
TEST_F(VoClearEntryTest, SubEntryOfAFailedJoinRefusesEveryOperation)
{
    VoRegistryEntryPtr parent = Entry("Software/OrvaTest/Parent");
    VoString name("OrvaSub");
    int32 before = VoAllocCallCount();
    delete parent->openSubEntry(name);
    int32 allocations = VoAllocCallCount() - before;

    int32 refusing = 0;
    for (int32 failing = 1; failing <= allocations; ++failing) {
        Clean();
        ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\Parent", "p", "1"));
        ASSERT_TRUE(regtest::SetText("Software\\OrvaTest\\ParentOrvaSub", "q", "2"));
        regtest::DeleteTree("OrvaSub");
        VoAllocFailOnCall(failing);
        VoRegistryEntryPtr sub(parent->openSubEntry(name));
        VoAllocFailOnCall(0);
        if (!sub)
            continue;
        VoClearEntry& clear = static_cast<VoClearEntry&>(*sub);
        const char* path = clear.path().c_str();
        if (path && std::string(path) == "Software/OrvaTest/Parent/OrvaSub") {
            EXPECT_TRUE(sub->writeText(VoString("w"), "x")) << "allocation " << failing;
            EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Parent\\OrvaSub", "w"), "x");
            continue;
        }
        ++refusing;
        VoString text("old");
        uint32_t number = 5;
        EXPECT_FALSE(sub->valueExists(VoString("p"))) << "allocation " << failing;
        EXPECT_FALSE(sub->subKeyExists(VoString("Sub"))) << "allocation " << failing;
        EXPECT_EQ(kVoPresenceUnknown, sub->valuePresence(VoString("p"))) << failing;
        EXPECT_EQ(kVoPresenceUnknown, sub->subKeyPresence(VoString("Sub"))) << failing;
        EXPECT_FALSE(sub->readText(VoString("p"), text, "fallback")) << "allocation " << failing;
        EXPECT_STREQ(text.c_str(), "fallback");
        EXPECT_FALSE(sub->readDword(VoString("p"), number, 9)) << "allocation " << failing;
        EXPECT_EQ(number, 9u);
        EXPECT_FALSE(sub->writeText(VoString("w"), "x")) << "allocation " << failing;
        EXPECT_FALSE(sub->writeText(VoString("w"), VoString("x"))) << "allocation " << failing;
        EXPECT_FALSE(sub->writeDword(VoString("d"), 1)) << "allocation " << failing;
        EXPECT_FALSE(sub->deleteValue(VoString("q"))) << "allocation " << failing;
        EXPECT_FALSE(sub->deleteKey()) << "allocation " << failing;
        EXPECT_FALSE(clear.deleteKeyWithoutSubKeys()) << "allocation " << failing;
        // Nothing written, nothing deleted, at any place a broken path could name.
        EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\Parent", "p"), "1") << failing;
        EXPECT_EQ(regtest::GetText("Software\\OrvaTest\\ParentOrvaSub", "q"), "2") << failing;
        for (const char* key : {"Software\\OrvaTest\\Parent\\OrvaSub", "OrvaSub"})
            EXPECT_FALSE(regtest::KeyExists(key)) << key << ", allocation " << failing;
        for (const char* key :
             {"Software\\OrvaTest\\Parent", "Software\\OrvaTest\\ParentOrvaSub", ""}) {
            EXPECT_FALSE(regtest::GetValue(key, "w").found) << key << ", allocation " << failing;
            EXPECT_FALSE(regtest::GetValue(key, "d").found) << key << ", allocation " << failing;
        }
    }
    EXPECT_GT(refusing, 0);
    regtest::DeleteTree("OrvaSub");
}

}  // namespace
