#include "VoFoundation/VoTextBuffer.h"

#include <gtest/gtest.h>

#include <string>

#include "FoundationTestSupport.h"

namespace {

TEST(VoTextBuffer, EmptyBufferGivesEmptyTextNotNull)
{
    VoTextBuffer empty;
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(0, empty.size());
    ASSERT_NE(nullptr, empty.c_str());
    EXPECT_STREQ("", empty.c_str());
    EXPECT_TRUE(VoTextBuffer("").isEmpty());
    EXPECT_TRUE(VoTextBuffer(nullptr).isEmpty());
    VoTextBuffer copy(empty);
    EXPECT_TRUE(copy.isEmpty());
}

TEST(VoTextBuffer, AssignCopiesExactBytesAndEmptiesOnShortLength)
{
    VoTextBuffer buffer("old");
    buffer.assign("a\0b", 3);
    EXPECT_EQ(4, buffer.size());
    EXPECT_EQ(std::string("a\0b", 3), std::string(buffer.c_str(), 3));
    buffer.assign("xyz", 0);
    EXPECT_TRUE(buffer.isEmpty());
    buffer = VoTextBuffer("abc");
    buffer.assign("xyz", -4);
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(VoTextBuffer, AppendAndPrepend)
{
    VoTextBuffer buffer;
    EXPECT_FALSE(buffer.append(nullptr));
    EXPECT_FALSE(buffer.append(""));
    EXPECT_FALSE(buffer.prepend(""));
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_TRUE(buffer.prepend("mid"));
    EXPECT_STREQ("mid", buffer.c_str());
    EXPECT_TRUE(buffer.append("-end"));
    EXPECT_TRUE(buffer.prepend("start-"));
    EXPECT_STREQ("start-mid-end", buffer.c_str());
    EXPECT_EQ(14, buffer.size());
}

TEST(VoTextBuffer, CopiesAreDeepAndSelfAssignmentKeepsContent)
{
    VoTextBuffer a("text");
    VoTextBuffer b(a);
    b.append("!");
    EXPECT_STREQ("text", a.c_str());
    EXPECT_STREQ("text!", b.c_str());
    VoTextBuffer& same = a;
    a = same;
    EXPECT_STREQ("text", a.c_str());
    a = VoTextBuffer();
    EXPECT_TRUE(a.isEmpty());
}

TEST(VoTextBuffer, AllocationFailureKeepsContent)
{
    VoTextBuffer buffer("keep");
    {
        AllocFailure fail(1, AllocFailure::kFromCall);
        buffer.assign("other", 5);
        EXPECT_FALSE(buffer.append("x"));
        EXPECT_FALSE(buffer.prepend("x"));
        VoTextBuffer copy(buffer);
        EXPECT_TRUE(copy.isEmpty());
    }
    EXPECT_STREQ("keep", buffer.c_str());
    EXPECT_EQ(5, buffer.size());
}

TEST(VoTextBuffer, ToLowerChangesOnlyAsciiLetters)
{
    VoTextBuffer buffer("AZaz09_-[]@\xC4\xE4");
    buffer.toLower();
    EXPECT_STREQ("azaz09_-[]@\xC4\xE4", buffer.c_str());
    VoTextBuffer empty;
    empty.toLower();
    EXPECT_TRUE(empty.isEmpty());
}

TEST(VoSourceFileName, SplitsOnlyAtBackslashes)
{
    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"C:\\Src\\VoFoundation\\VoString.CPP", "vostring.cpp"},
        {"VoString.cpp", "vostring.cpp"},
        {"C:\\Src\\", ""},
        {"C:\\Src/Sub/File.cpp", "src/sub/file.cpp"},
        {"/home/Src/File.cpp", "/home/src/file.cpp"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.expected, VoSourceFileName(c.path).c_str()) << c.path;
    }
}

}  // namespace
