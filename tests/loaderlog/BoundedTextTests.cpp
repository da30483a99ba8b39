// The bounded text helpers: a result that does not fit leaves the destination unchanged.
#include "rules/BoundedText.h"

#include <gtest/gtest.h>

#include <string>

TEST(BoundedText, JoinsUpToTheLastByteOfTheBufferAndRefusesOneMore)
{
    char buffer[8] = "keep";
    EXPECT_TRUE(TextJoin(buffer, "abc", "defg"));  // 7 characters and the terminator
    EXPECT_STREQ("abcdefg", buffer);
    EXPECT_FALSE(TextJoin(buffer, "abcd", "efgh"));
    EXPECT_STREQ("abcdefg", buffer);
    EXPECT_TRUE(TextJoin(buffer, buffer, ""));  // joining onto itself
    EXPECT_STREQ("abcdefg", buffer);
}

TEST(BoundedText, AppendsAndCopiesWithinCapacityOnly)
{
    char buffer[6] = "ab";
    EXPECT_TRUE(TextAppend(buffer, "cde"));
    EXPECT_FALSE(TextAppend(buffer, "f"));
    EXPECT_STREQ("abcde", buffer);
    EXPECT_TRUE(TextAppendN(buffer, 6, "xyz", 0));
    EXPECT_FALSE(TextCopy(buffer, "123456"));
    EXPECT_STREQ("abcde", buffer);
    EXPECT_TRUE(TextCopy(buffer, nullptr));
    EXPECT_STREQ("", buffer);
    EXPECT_TRUE(TextAppendN(buffer, 6, "wxyz", 2));
    EXPECT_STREQ("wx", buffer);
}

TEST(BoundedText, RefusesADestinationWithoutATerminator)
{
    char buffer[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(TextAppend(buffer, ""));
    EXPECT_EQ('d', buffer[3]);
}

TEST(BoundedText, FileNamePartIsWhatFollowsTheLastBackslash)
{
    const struct {
        const char* path;
        const char* name;
    } rows[] = {
        {"C:\\Users\\a\\download.exe", "download.exe"},
        {"download.exe", "download.exe"},  // no folder at all
        {"C:\\Temp\\", ""},                // a folder: no name after it
        {"\\\\server\\share\\x.log", "x.log"},
        {"C:/Temp/x.log", "C:/Temp/x.log"},  // only backslashes separate
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_STREQ(row.name, FileNamePart(row.path)) << row.path;
}
