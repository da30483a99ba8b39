// The stamping tool's checks of what it writes, and its reading and cutting of a signed
// image's certificate table, on texts and images made here.
#include "PeImageBuilder.h"
#include "tools/common/PeSignature.h"
#include "tools/loader-stamp/StampText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ItemRow {
    bool custom;
    const char* typed;  // --custom TEXT, or --switch NAME[=VALUE]
    int codePage;
    const char* stored;   // the value (or name, for a switch without one) as written, or null
    const char* refusal;  // part of the reason when it is refused
};

TEST(StampText, PrepareItemWritesWhatTheInstallerReadsBackOrRefuses)
{
    const ItemRow rows[] = {
        {false, "Lang=en", 0, "en", nullptr},
        {false, "Dir=C:\\App", 0, "C:\\App", nullptr},
        {false, "Dir=", 0, "", nullptr},
        // No quote follows a name, and custom text never reaches the command line.
        {false, "Flag\\", 0, "Flag\\", nullptr},
        {true, "path=C:\\", 0, "path=C:\\", nullptr},
        {false, "Dir=C:\\App\\", 0, nullptr, "the value ends in a backslash"},
        {false, "Dir=C:\\App\\", 1252, nullptr, "the value ends in a backslash"},
        {false, "N=say \"hi\"", 0, nullptr, "the value holds a double quote"},
        {false, "N=a\tb", 0, nullptr, "the value holds a control character"},
        {true, "a=\x7f", 0, nullptr, "the custom-parameter text holds a control character"},
        {false, "My Name=1", 0, nullptr, "the name holds a blank"},
        {false, "CustomParamsX=1", 0, nullptr, "use --custom"},
        {false, "=1", 0, nullptr, "the switch has no name"},
        {false, "N=Zo\xc3\xab", 0, nullptr, "the value holds text outside printable ASCII"},
        {false, "Zo\xc3\xab=1", 0, nullptr, "the name holds text outside printable ASCII"},
        {true, "n=Zo\xc3\xab", 0, nullptr, "the custom-parameter text holds text outside"},
        {false, "N=Zo\xc3\xab", 1252, "Zo\xeb", nullptr},
        {false, "N=Zo\xc3\xab", 65001, "Zo\xc3\xab", nullptr},
        {false, "N=\xff", 1252, nullptr, "the value is not valid UTF-8 text"},
        {false, "N=\xff", 65001, nullptr, "the value is not valid UTF-8 text"},
        {false, "N=\xe6\x97\xa5", 1252, nullptr, "code page 1252 cannot represent"},
        {false, "N=\xe6\x97\xa5", 932, "\x93\xfa", nullptr},
        // The second byte of this character in code page 932 is a backslash.
        {false, "N=\xe8\xa1\xa8x", 932, "\x95\\x", nullptr},
        {false, "N=\xe8\xa1\xa8", 932, nullptr, "in code page 932, in the byte of a backslash"},
    };
    for (const ItemRow& row : rows) {
        SCOPED_TRACE(row.typed);
        StampItem item;
        if (row.custom) {
            item.isCustom = item.hasValue = true;
            item.value = row.typed;
        } else {
            item = SplitSwitch(row.typed);
        }
        std::string error;
        bool ok = PrepareItem(item, row.codePage, error);
        if (row.refusal) {
            EXPECT_FALSE(ok);
            EXPECT_NE(std::string::npos, error.find(row.refusal)) << error;
        } else {
            ASSERT_TRUE(ok) << error;
            EXPECT_EQ(row.stored, item.hasValue ? item.value : item.name);
        }
    }
}

TEST(CertificateTable, IsFoundInPe32AndPe32PlusImages)
{
    for (bool plus : {false, true}) {
        test::PeImageBuilder builder(plus);
        builder.appendCertificateTable(72);
        std::vector<uint8_t> image = builder.image();
        CertificateTable table;
        std::string error;
        ASSERT_TRUE(FindCertificateTable(image, table, error)) << error;
        EXPECT_TRUE(table.present);
        EXPECT_EQ(image.size() - 72, table.fileOffset);
        EXPECT_EQ(72u, table.size);
    }
}

TEST(CertificateTable, RemovalCutsTheTableAndClearsItsEntry)
{
    test::PeImageBuilder builder(false);
    std::vector<uint8_t> unsigned_ = builder.image();
    builder.appendCertificateTable(64);
    std::vector<uint8_t> image = builder.image();
    std::string error;
    ASSERT_TRUE(RemoveCertificateTable(image, error)) << error;
    EXPECT_EQ(unsigned_, image);
    CertificateTable table;
    ASSERT_TRUE(FindCertificateTable(image, table, error));
    EXPECT_FALSE(table.present);
    // An unsigned image stays as it is.
    ASSERT_TRUE(RemoveCertificateTable(image, error));
    EXPECT_EQ(unsigned_, image);
}

TEST(CertificateTable, DamagedOrUnusualImagesAreRefusedWithoutChange)
{
    struct Case {
        const char* what;
        void (*damage)(test::PeImageBuilder&);
        const char* findError;    // null: the table is found
        const char* removeError;  // null: removal succeeds
    };
    const Case cases[] = {
        {"table past the end",
         [](test::PeImageBuilder& b) {
             b.appendCertificateTable(64);
             b.setSecurityEntry(b.size() - 64, 65);
         },
         "lies outside the file", "lies outside the file"},
        {"table offset past the end",
         [](test::PeImageBuilder& b) { b.setSecurityEntry(0xFFFFFFF0u, 16); },
         "lies outside the file", "lies outside the file"},
        {"table over the headers",
         [](test::PeImageBuilder& b) {
             b.appendCertificateTable(64);
             b.setSecurityEntry(0x10, b.size() - 0x10);
         },
         "overlaps the headers", "overlaps the headers"},
        {"data after the table",
         [](test::PeImageBuilder& b) {
             b.appendCertificateTable(64);
             b.appendBytes(8);
         },
         nullptr, "other data follow the certificate table"},
        {"optional header cut short", [](test::PeImageBuilder& b) { b.setOptionalHeaderSize(80); },
         "optional header cut short", "optional header cut short"},
        {"unknown optional header", [](test::PeImageBuilder& b) { b.setMagic(0x107); },
         "unknown optional header", "unknown optional header"},
        {"no PE signature", [](test::PeImageBuilder& b) { b.setNewHeaderOffset(0x7FFFFFF0u); },
         "no PE header", "no PE header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::PeImageBuilder builder(false);
        c.damage(builder);
        std::vector<uint8_t> image = builder.image();
        CertificateTable table;
        std::string error;
        EXPECT_EQ(c.findError == nullptr, FindCertificateTable(image, table, error));
        if (c.findError)
            EXPECT_NE(std::string::npos, error.find(c.findError)) << error;
        std::vector<uint8_t> changed = image;
        error.clear();
        EXPECT_EQ(c.removeError == nullptr, RemoveCertificateTable(changed, error));
        if (c.removeError) {
            EXPECT_NE(std::string::npos, error.find(c.removeError)) << error;
            EXPECT_EQ(image, changed);
        }
    }
}

TEST(CertificateTable, DirectoryWithoutASecurityEntryMeansUnsigned)
{
    test::PeImageBuilder builder(false);
    builder.appendCertificateTable(64);
    builder.setDirectoryCount(4);  // entries 0 to 3 only
    CertificateTable table;
    std::string error;
    ASSERT_TRUE(FindCertificateTable(builder.image(), table, error)) << error;
    EXPECT_FALSE(table.present);
}

// The value a checksum gets is checked against the signing tool (check_loader_stamp.py).
TEST(PeChecksum, AnImageWithoutOneKeepsNone)
{
    test::PeImageBuilder builder(false);
    std::vector<uint8_t> image = builder.image();
    std::string error;
    ASSERT_TRUE(RefreshPeChecksum(image, error)) << error;
    EXPECT_EQ(builder.image(), image);
}

}  // namespace
