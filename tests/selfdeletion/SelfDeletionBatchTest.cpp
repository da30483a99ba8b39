// The text of the self-deleting batch file, and its descriptor.
#include "rules/PrivateFolderRules.h"
#include "rules/SelfDeletionBatch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kPing[] = "C:\\Windows\\system32\\ping.exe";

std::string Compose(const char* module, const char* batch, size_t capacity = 1024)
{
    char text[2048];
    EXPECT_LE(capacity, sizeof(text));
    if (!loader::ComposeSelfDeletionBatch(text, capacity, module, batch, kPing))
        return "<refused:" + std::string(text) + ">";
    return text;
}

// Its last line deletes it and ends the interpreter, which reads nothing after it.
TEST(SelfDeletionBatch, DeletesTheLoaderThenItselfWithEveryPathQuoted)
{
    std::string text = Compose("C:\\My Files\\loader.exe", "C:\\Temp\\~VO00001.bat");
    EXPECT_EQ(text, "set tries=0\r\n"
                    ":Repeat\r\n"
                    "del \"C:\\My Files\\loader.exe\"\r\n"
                    "if not exist \"C:\\My Files\\loader.exe\" goto Done\r\n"
                    "set /a tries+=1\r\n"
                    "if %tries% geq 60 goto Done\r\n"
                    "\"C:\\Windows\\system32\\ping.exe\" -n 2 127.0.0.1 >nul\r\n"
                    "goto Repeat\r\n"
                    ":Done\r\n"
                    "del /f \"C:\\Temp\\~VO00001.bat\" & exit\r\n");
    char sddl[loader::kPrivateFolderSddlChars];
    ASSERT_TRUE(loader::ComposeBatchSddl(sddl, sizeof(sddl), "S-1-5-21-1-2-3-1001"));
    EXPECT_STREQ("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;S-1-5-21-1-2-3-1001)", sddl);
    EXPECT_FALSE(loader::ComposeBatchSddl(sddl, sizeof(sddl), "S-1-5-18)(A;;FA;;;WD"));
}

TEST(SelfDeletionBatch, DoublesEveryPercentSignOfThePaths)
{
    std::string text = Compose("C:\\100%\\a%b%%.exe", "C:\\T%EMP%\\~VO00000.bat");
    EXPECT_NE(text.find("del \"C:\\100%%\\a%%b%%%%.exe\"\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("if not exist \"C:\\100%%\\a%%b%%%%.exe\" goto Done"), std::string::npos);
    EXPECT_NE(text.find("del /f \"C:\\T%%EMP%%\\~VO00000.bat\" & exit\r\n"), std::string::npos);
    EXPECT_NE(text.find("if %tries% geq"), std::string::npos);  // the batch's own variable
}

TEST(SelfDeletionBatch, RefusesATextThatWouldNotFitWithoutWritingPastIt)
{
    std::string fitting = Compose("C:\\l.exe", "C:\\b.bat");
    size_t exact = fitting.size() + 1;
    EXPECT_EQ(Compose("C:\\l.exe", "C:\\b.bat", exact), fitting);
    EXPECT_EQ(Compose("C:\\l.exe", "C:\\b.bat", exact - 1), "<refused:>");

    // Paths of the full 259 characters, all percent signs, cannot fit 1,024 characters.
    std::string longPath(259, '%');
    EXPECT_EQ(Compose(longPath.c_str(), "C:\\b.bat"), "<refused:>");
}

TEST(SelfDeletionBatch, AppendBatchPathIsAllOrNothing)
{
    char dst[7] = "ab";
    EXPECT_TRUE(loader::AppendBatchPath(dst, sizeof(dst), "%c"));
    EXPECT_STREQ(dst, "ab%%c");
    EXPECT_FALSE(loader::AppendBatchPath(dst, sizeof(dst), "%"));  // needs 2, 1 is free
    EXPECT_STREQ(dst, "ab%%c");
    EXPECT_TRUE(loader::AppendBatchPath(dst, sizeof(dst), "d"));
    EXPECT_STREQ(dst, "ab%%cd");
}

}  // namespace
