// VoClearEntry against the real registry of the test's Wine prefix. Every test works below
// HKLM\Software\OrvaTest and removes that key before and after it runs.
#include <string>

#include <gtest/gtest.h>

#include "RegistryTestKeys.h"
#include "TraceCapture.h"
#include "VoUtil/VoRegistry/VoClearEntry.h"

namespace {

constexpr char kTestRoot[] = "Software\\OrvaTest";

class VoClearEntryTest : public ::testing::Test {
protected:
    void SetUp() override { regtest::DeleteTree(kTestRoot); }
    void TearDown() override { regtest::DeleteTree(kTestRoot); }

    static VoRegistryEntryPtr Entry(const char* path) { return VoRegistryEntryPtr(createEntry(VoString(path))); }
};

TEST_F(VoClearEntryTest, EntryForAMissingKeyFailsReadsWithTheDefaults)
{
    VoRegistryEntryPtr entry = Entry("Software/OrvaTest/Missing/Key");
    ASSERT_TRUE(entry);

    EXPECT_FALSE(entry->valueExists(VoString("v")));
    EXPECT_FALSE(entry->subKeyExists(VoString("Sub")));

    uint32_t number = 1;
    EXPECT_FALSE(entry->readDword(VoString("v"), number, 77));
    EXPECT_EQ(number, 77u);

    VoString text("old");
    EXPECT_FALSE(entry->readText(VoString("v"), text, "fallback"));
    EXPECT_STREQ(text.c_str(), "fallback");

    EXPECT_TRUE(entry->deleteValue(VoString("v")));
    EXPECT_FALSE(regtest::KeyExists("Software\\OrvaTest"));  // nothing was created
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
        {"binary of exactly 1024 bytes", REG_BINARY, std::string(1024, 'z'), std::string(1024, 'z')},
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
        {"four binary bytes as stored", REG_BINARY, std::string("\x01\x02\x03\x04", 4), true, 0x04030201u},
        {"four big-endian dword bytes as stored", REG_DWORD_BIG_ENDIAN, std::string("\x12\x34\x56\x78", 4), true, 0x78563412u},
        {"two bytes leave the rest zero", REG_BINARY, std::string("\x34\x12", 2), true, 0x1234u},
        {"five bytes give the default", REG_BINARY, std::string("\x01\x02\x03\x04\x05", 5), false, 99u},
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
    RecordingEntry() : VoClearEntry(VoString("Software/OrvaTest/Recording"), (int32)kVoRootLocalMachine) {}
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

}  // namespace

namespace {

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

}  // namespace
