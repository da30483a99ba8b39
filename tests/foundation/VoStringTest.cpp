#include "VoFoundation/VoString/VoString.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "FoundationTestSupport.h"

namespace {

std::string text(const VoString& s)
{
    return s.c_str() != nullptr ? s.c_str() : "<null>";
}

// "<format without %s>unknown(), vostring.cpp:<line>"
::testing::AssertionResult IsStringFailure(const std::string& message, const std::string& lead)
{
    std::regex pattern(lead + "unknown\\(\\), vostring\\.cpp:[0-9]+");
    if (std::regex_match(message, pattern))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message was: " << message;
}

// --- construction

TEST(VoStringConstruction, DefaultIsEmptyWithOneByteArray)
{
    VoString s;
    EXPECT_EQ(0, s.length());
    EXPECT_EQ(1, s.capacity());
    ASSERT_NE(nullptr, s.c_str());
    EXPECT_STREQ("", s.c_str());
}

TEST(VoStringConstruction, CharacterAndCount)
{
    EXPECT_EQ("/", text(VoString('/', 1)));
    EXPECT_EQ("xxx", text(VoString('x', 3)));
    VoString negative('/', -5);
    EXPECT_EQ("", text(negative));
    VoString room('\0', 10);
    EXPECT_EQ(0, room.length());
    EXPECT_EQ(11, room.capacity());
}

TEST(VoStringConstruction, FromTextWithMaximumAndNull)
{
    EXPECT_EQ("abc", text(VoString("abcdef", 3)));
    EXPECT_EQ("ab", text(VoString("ab", 5)));
    VoString fromNull(static_cast<const char*>(nullptr));
    EXPECT_EQ("", text(fromNull));
    VoString original("hello");
    EXPECT_EQ("hel", text(VoString(original, 3)));
}

TEST(VoStringConstruction, FailedAllocationLeavesNoArrayAndIsReported)
{
    TraceCapture trace;
    {
        AllocFailure fail(1);
        VoString s("abc");
        EXPECT_EQ(nullptr, s.c_str());
        EXPECT_EQ(0, s.length());
        EXPECT_EQ(0, s.charAt(0));
        EXPECT_EQ(-1, s.find(""));
        EXPECT_EQ(0, s.compare(""));
        // A copy of a string without an array is an empty string.
        VoString copy(s);
        EXPECT_STREQ("", copy.c_str());
    }
    ASSERT_EQ(1, trace.count());
    EXPECT_EQ(kVoTraceLevelError, trace.level(0));
    EXPECT_TRUE(IsStringFailure(trace.message(0), "Failure in VString\\(char\\*\\) constructor\n\t"
                                                  "Memory allocation failed in "));
}

TEST(VoStringConstruction, FailedDefaultConstructionReportsItsOwnLine)
{
    TraceCapture trace;
    {
        AllocFailure fail(1);
        VoString s;
        EXPECT_EQ(nullptr, s.c_str());
    }
    ASSERT_EQ(1, trace.count());
    EXPECT_TRUE(
        IsStringFailure(trace.message(0),
                        "Failure in default VoString constructor\n\tMemory allocation failed in "));
}

// --- growth and assignment

TEST(VoStringGrowth, ExactGrowthAndShorterAssignmentKeepsCapacity)
{
    VoString s("abc");
    EXPECT_EQ(4, s.capacity());
    ASSERT_EQ(VO_STATUS_OK, s.append("defg").code());
    EXPECT_EQ("abcdefg", text(s));
    EXPECT_EQ(8, s.capacity());
    ASSERT_EQ(VO_STATUS_OK, s.assign("xy").code());
    EXPECT_EQ("xy", text(s));
    EXPECT_EQ(8, s.capacity());
    // Fits in place: length 7 < capacity 8.
    ASSERT_EQ(VO_STATUS_OK, s.append("12345").code());
    EXPECT_EQ("xy12345", text(s));
    EXPECT_EQ(8, s.capacity());
}

TEST(VoStringGrowth, AppendWithMaximumLength)
{
    VoString s("a");
    ASSERT_EQ(VO_STATUS_OK, s.append("bcdef", 3).code());
    EXPECT_EQ("abcd", text(s));
    ASSERT_EQ(VO_STATUS_OK, s.append("xy", 3).code());
    EXPECT_EQ("abcdxy", text(s));
}

TEST(VoStringGrowth, SelfAppendAndSelfAssignmentOfAPart)
{
    VoString s("abc");
    s += s;
    EXPECT_EQ("abcabc", text(s));
    s += s.c_str() + 4;  // "bc", inside the own array, which must grow
    EXPECT_EQ("abcabcbc", text(s));
    s = s.c_str() + 2;  // a part of itself, in place
    EXPECT_EQ("cabcbc", text(s));
    ASSERT_EQ(VO_STATUS_OK, s.assign(s.c_str() + 1, 3).code());
    EXPECT_EQ("abc", text(s));
    VoString& same = s;
    s = same;
    EXPECT_EQ("abc", text(s));
    ASSERT_EQ(VO_STATUS_OK, s._insert(s.c_str(), 1).code());  // in the middle, from itself
    EXPECT_EQ("aabcbc", text(s));
}

TEST(VoStringGrowth, OperatorsJoinCopies)
{
    VoString a("key");
    VoString b = a + "/" + VoString("sub");
    EXPECT_EQ("key/sub", text(b));
    EXPECT_EQ("key", text(a));
    a = b;
    EXPECT_EQ("key/sub", text(a));
}

TEST(VoStringGrowth, AssignFromNullLeavesStringAndQueuesExactRecord)
{
    TraceCapture trace;
    VoString s("keep");
    s = static_cast<const char*>(nullptr);
    EXPECT_EQ("keep", text(s));
    ASSERT_EQ(1, trace.count());
    EXPECT_TRUE(
        IsStringFailure(trace.message(0), "Failure in VoString = operator\n\tNULL pointer in "));
}

TEST(VoStringGrowth, AppendOperatorFromNullIsReported)
{
    TraceCapture trace;
    VoString s("keep");
    s += static_cast<const char*>(nullptr);
    EXPECT_EQ("keep", text(s));
    ASSERT_EQ(1, trace.count());
    EXPECT_TRUE(
        IsStringFailure(trace.message(0), "Failure in VoString \\+= operator\n\tNULL pointer in "));
}

// --- _insert

TEST(VoStringInsert, AtLengthAppendsOneFurtherFailsUnchanged)
{
    VoString s("abc");
    ASSERT_EQ(VO_STATUS_OK, s._insert("X", 3).code());
    EXPECT_EQ("abcX", text(s));
    int32 capacity = s.capacity();
    VoStatus status = s._insert("Y", 5);
    EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, status.code());
    EXPECT_TRUE(IsStringFailure(status.message(), "Bounds check failed in "));
    EXPECT_EQ("abcX", text(s));
    EXPECT_EQ(capacity, s.capacity());
    EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, s._insert("Y", -2).code());
}

TEST(VoStringInsert, MiddleAndFrontInPlaceAndGrowing)
{
    VoString s("ad");
    ASSERT_EQ(VO_STATUS_OK, s._insert("bc", 1).code());
    EXPECT_EQ("abcd", text(s));
    ASSERT_EQ(VO_STATUS_OK, s.assign("d").code());  // capacity 5 stays
    ASSERT_EQ(VO_STATUS_OK, s._insert("abc", 0).code());
    EXPECT_EQ("abcd", text(s));
    EXPECT_EQ(5, s.capacity());
    EXPECT_EQ(VO_STATUS_NULL_POINTER, s._insert(nullptr, 0).code());
    EXPECT_EQ("abcd", text(s));
}

TEST(VoStringInsert, AllocationFailuresLeaveStringUnchanged)
{
    VoString s("abc");
    {
        // The new array.
        AllocFailure fail(1);
        VoStatus status = s.append("defgh");
        EXPECT_EQ(VO_STATUS_NO_MEMORY, status.code());
        EXPECT_TRUE(IsStringFailure(status.message(), "Memory allocation failed in "));
    }
    EXPECT_EQ("abc", text(s));
    EXPECT_EQ(4, s.capacity());
    {
        // The copy of a text that lies in the own array.
        AllocFailure fail(1);
        EXPECT_EQ(VO_STATUS_NO_MEMORY, s.append(s.c_str()).code());
    }
    EXPECT_EQ("abc", text(s));
    {
        // Copy made, new array fails: the copy is freed and the string kept.
        AllocFailure fail(2);
        EXPECT_EQ(VO_STATUS_NO_MEMORY, s.append(s.c_str()).code());
    }
    EXPECT_EQ("abc", text(s));
    TraceCapture trace;
    {
        AllocFailure fail(1);
        s += "defgh";
    }
    EXPECT_EQ("abc", text(s));
    EXPECT_EQ(1, trace.count());
}

// --- _resize

TEST(VoStringResize, FillsTruncatesAndKeepsOnFailure)
{
    VoString s("abc");
    ASSERT_EQ(VO_STATUS_OK, s._resize('-', 5).code());
    EXPECT_EQ("abc--", text(s));
    EXPECT_EQ(6, s.capacity());
    ASSERT_EQ(VO_STATUS_OK, s._resize(0, 2).code());
    EXPECT_EQ("ab", text(s));
    EXPECT_EQ(3, s.capacity());
    ASSERT_EQ(VO_STATUS_OK, s._resize(0, 6).code());
    EXPECT_EQ("ab", text(s));
    EXPECT_EQ(2, s.length());
    EXPECT_EQ(7, s.capacity());
    ASSERT_EQ(VO_STATUS_OK, s._resize('x', -1).code());  // the current length
    EXPECT_EQ("ab", text(s));
    EXPECT_EQ(3, s.capacity());
    AllocFailure fail(1);
    EXPECT_EQ(VO_STATUS_NO_MEMORY, s._resize('x', 10).code());
    EXPECT_EQ("ab", text(s));
    EXPECT_EQ(3, s.capacity());
}

// --- _remove0

TEST(VoStringRemove, CountZeroOrEmptyStringInsertsNothing)
{
    VoString s("abc");
    EXPECT_EQ(VO_STATUS_OK, s._remove0(1, 0, "XYZ").code());
    EXPECT_EQ("abc", text(s));
    VoString empty;
    EXPECT_EQ(VO_STATUS_OK, empty._remove0(0, 2, "XYZ").code());
    EXPECT_EQ("", text(empty));
}

TEST(VoStringRemove, CountsAndReplacement)
{
    struct Case {
        const char* name;
        int32 position;
        int32 count;
        const char* insert;
        const char* expected;
    } cases[] = {
        {"negative count removes to the end", 2, -1, "", "ab"},
        {"count past the end is cut", 3, 99, "", "abc"},
        {"middle", 1, 2, "", "adef"},
        {"replace with longer text", 1, 1, "XYZ", "aXYZcdef"},
        {"replace with shorter text", 0, 4, "-", "-ef"},
    };
    for (const Case& c : cases) {
        VoString s("abcdef");
        EXPECT_EQ(VO_STATUS_OK, s._remove0(c.position, c.count, c.insert).code()) << c.name;
        EXPECT_EQ(c.expected, text(s)) << c.name;
    }
}

TEST(VoStringRemove, BoundsAndNull)
{
    VoString s("abc");
    EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, s._remove0(3, 1, "").code());
    EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, s._remove0(-1, 1, "").code());
    EXPECT_EQ(VO_STATUS_NULL_POINTER, s._remove0(0, 1, nullptr).code());
    EXPECT_EQ("abc", text(s));
}

TEST(VoStringRemove, FailedInsertKeepsRemovalAndAddsContext)
{
    VoString s("abcdef");
    AllocFailure fail(1);  // the grown array for the inserted text
    VoStatus status = s._remove0(1, 1, "0123456789");
    EXPECT_EQ(VO_STATUS_NO_MEMORY, status.code());
    EXPECT_TRUE(IsStringFailure(
        status.message(),
        "Unexpected error in VoString::_remove0\\(\\)\n\tMemory allocation failed in "));
    EXPECT_EQ("acdef", text(s));
}

TEST(VoStringRemove, TextFromOwnArray)
{
    VoString s("abcdef");
    ASSERT_EQ(VO_STATUS_OK, s._remove0(0, 2, s.c_str() + 4).code());
    EXPECT_EQ("efcdef", text(s));
}

// --- trimming

TEST(VoStringTrim, TrimRight)
{
    struct Case {
        const char* input;
        const char* expected;
    } cases[] = {
        {"value \r\n", "value"}, {" \t \t", ""}, {"value", "value"},
        {"\tvalue", "\tvalue"},  {"", ""},
    };
    for (const Case& c : cases) {
        VoString s(c.input);
        int32 capacity = s.capacity();
        EXPECT_EQ(VO_STATUS_OK, s.trimRight().code()) << c.input;
        EXPECT_EQ(c.expected, text(s)) << c.input;
        EXPECT_EQ(capacity, s.capacity()) << c.input;
    }
}

TEST(VoStringTrim, ModesAndSets)
{
    VoString everywhere("/a//b/c/");
    EXPECT_EQ(VO_STATUS_OK, everywhere._trim("/", 0).code());
    EXPECT_EQ("abc", text(everywhere));
    VoString start("//a/b//");
    EXPECT_EQ(VO_STATUS_OK, start._trim("/", 1).code());
    EXPECT_EQ("a/b//", text(start));
    VoString other("//a");
    EXPECT_EQ(VO_STATUS_OK, other._trim("/", 7).code());
    EXPECT_EQ("//a", text(other));
    VoString all("////");
    EXPECT_EQ(VO_STATUS_OK, all._trim("/", 1).code());
    EXPECT_EQ("", text(all));
    EXPECT_EQ(VO_STATUS_NULL_POINTER, other._trim(nullptr, 0).code());
    VoString own("abcab");
    EXPECT_EQ(VO_STATUS_OK, own._trim(own.c_str() + 3, 0).code());  // set "ab" from itself
    EXPECT_EQ("c", text(own));
}

// --- characters and searches

TEST(VoStringChars, SetCharAtZeroTruncatesKeepingCapacity)
{
    VoString s("abcdef");
    ASSERT_EQ(VO_STATUS_OK, s.setCharAt('X', 1).code());
    EXPECT_EQ("aXcdef", text(s));
    ASSERT_EQ(VO_STATUS_OK, s.setCharAt(0, 2).code());
    EXPECT_EQ(2, s.length());
    EXPECT_EQ(7, s.capacity());
    EXPECT_EQ("aX", text(s));
    EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, s.setCharAt('Y', 2).code());
    EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, s.setCharAt('Y', -1).code());
    ASSERT_EQ(VO_STATUS_OK, s.append("Z").code());
    EXPECT_EQ("aXZ", text(s));
}

TEST(VoStringChars, CharAtEdges)
{
    VoString s("ab");
    EXPECT_EQ('b', s.charAt(1));
    EXPECT_EQ(0, s.charAt(2));
    EXPECT_EQ(0, s.charAt(3));
    EXPECT_EQ(0, s.charAt(-1));
}

TEST(VoStringSearch, Compare)
{
    VoString s("Software/Brightholm");
    EXPECT_EQ(0, s.compare("Software", 8));
    EXPECT_GT(s.compare("Software"), 0);
    EXPECT_LT(VoString("Soft").compare("Software"), 0);
    EXPECT_EQ(0, s.compare("Software/Brightholm"));
    EXPECT_EQ(0, s.compare("xyz", 0));
    EXPECT_EQ(0, VoString().compare(nullptr));
    EXPECT_GT(s.compare(nullptr), 0);
}

TEST(VoStringSearch, Find)
{
    VoString s("a=b=c");
    EXPECT_EQ(1, s.find("="));
    EXPECT_EQ(3, s.find("=", 2));
    EXPECT_EQ(-1, s.find("=", 4));
    EXPECT_EQ(5, s.find(""));
    EXPECT_EQ(2, s.find("b=c"));
    EXPECT_EQ(-1, s.find("c=", 0));
    EXPECT_EQ(-1, s.find("=", 6));
    EXPECT_EQ(-1, s.find("=", -1));
    EXPECT_EQ(-1, s.find(nullptr));
    EXPECT_EQ(-1, VoString().find(""));
}

TEST(VoStringSearch, FindLastOf)
{
    VoString path("Software/Vendor/Key");
    EXPECT_EQ(15, path.findLastOf("/"));
    EXPECT_EQ(8, path.findLastOf("/", 4));
    EXPECT_EQ(-1, VoString("NoSlashes").findLastOf("/", 0));
    EXPECT_EQ(-1, path.findLastOf("/", 19));
    EXPECT_EQ(-1, path.findLastOf("/", -1));
    EXPECT_EQ(-1, path.findLastOf(nullptr));
}

TEST(VoStringSearch, SubstrAndLeftEdges)
{
    VoString s("abcdef");
    struct Case {
        int32 start;
        int32 count;
        const char* expected;
    } cases[] = {
        {6, -1, ""}, {6, 3, ""},  {2, -1, "cdef"}, {2, -2, ""},  {2, 99, "cdef"},
        {0, 0, ""},  {7, -1, ""}, {-1, 2, ""},     {1, 2, "bc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, text(s.substr(c.start, c.count))) << c.start << "," << c.count;
    }
    EXPECT_EQ("abcdef", text(s.left(99)));
    EXPECT_EQ("ab", text(s.left(2)));
    EXPECT_EQ("", text(s.left(-1)));
    EXPECT_EQ("", text(s.left(0)));
}

TEST(VoStringSearch, SubstrAllocationFailureIsReported)
{
    VoString s("abcdef");
    TraceCapture trace;
    {
        // The result's default construction succeeds; its assignment fails.
        AllocFailure fail(2);
        VoString part = s.substr(1, 2);
        EXPECT_STREQ("", part.c_str());
    }
    ASSERT_EQ(1, trace.count());
    EXPECT_TRUE(IsStringFailure(trace.message(0),
                                "Unexpected error in VoString::substr\\(int32, int32\\)\n\t"
                                "Memory allocation failed in "));
}

}  // namespace
