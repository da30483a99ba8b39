#include "VoFoundation/VoTraceLog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "FoundationFileSupport.h"
#include "VoFoundation/VoThreads/VoThreadLocalStorage.h"

namespace {

time_t gFixedTime = 0;
time_t fixedClock(time_t* now)
{
    if (now != nullptr)
        *now = gFixedTime;
    return gFixedTime;
}

// Seconds since 1970 for a UTC date and time.
time_t utcTime(int year, int month, int day, int hour, int minute, int second)
{
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return _mkgmtime(&t);
}

// Tests in this program run in order; the first ones see the singleton before it exists.
TEST(VoTraceLogCreation, NullFormatWritesNothingAndCreatesNothing)
{
    ASSERT_FALSE(VoTraceLog::created());
    VoTraceLog::debug(nullptr);
    VoTraceLog::error(nullptr);
    EXPECT_FALSE(VoTraceLog::created());
}

TEST(VoTraceLogCreation, FailedCreationLosesRecordAndRetriesNextTime)
{
    {
        AllocFailure fail(1);
        VoTraceLog::write(kVoTraceLevelError, "", "lost");
        EXPECT_FALSE(VoTraceLog::created());
        EXPECT_EQ(-1, VoTraceLog::slot());
    }
    {
        AllocFailure fail(1);
        EXPECT_EQ(nullptr, VoTraceLog::name());
    }
    EXPECT_EQ(0, VoTraceLog::queuedCount());
}

TEST(VoTraceLogCreation, FirstRecordCreatesSingletonAndTakesSlotZero)
{
    VoTraceLog::write(kVoTraceLevelError, VoTraceLog::name(), "first");
    ASSERT_TRUE(VoTraceLog::created());
    EXPECT_EQ(0, VoTraceLog::slot());
    EXPECT_STREQ("", VoTraceLog::name());
    ASSERT_EQ(1, VoTraceLog::queuedCount());
    const VoTraceRecord* record = VoTraceLog::queuedRecord(0);
    EXPECT_EQ(kVoTraceLevelError, record->level);
    EXPECT_STREQ("first", record->message.c_str());
    EXPECT_STREQ("", record->name.c_str());
    EXPECT_EQ(std::to_string(VoTraceThreadNumber()), record->id.c_str());
    EXPECT_EQ(23, record->stamp.size() - 1);
    EXPECT_EQ(" PST", std::string(record->stamp.c_str()).substr(19));
    VoTraceLog::clearQueue();
}

TEST(VoTraceLogQueue, KeepsFirst100AndDropsTheRest)
{
    VoTraceLog::clearQueue();
    for (int i = 0; i < 105; ++i) {
        VoTraceLog::write(i % 7, nullptr, std::to_string(i).c_str());
    }
    ASSERT_EQ(kVoTraceQueueLimit, VoTraceLog::queuedCount());
    EXPECT_STREQ("0", VoTraceLog::queuedRecord(0)->message.c_str());
    EXPECT_STREQ("99", VoTraceLog::queuedRecord(99)->message.c_str());
    EXPECT_EQ(nullptr, VoTraceLog::queuedRecord(100));
    // Levels without a line (0 with debug off, 4, 6) are queued like the others.
    EXPECT_EQ(0, VoTraceLog::queuedRecord(0)->level);
    EXPECT_EQ(4, VoTraceLog::queuedRecord(4)->level);
    EXPECT_EQ(6, VoTraceLog::queuedRecord(6)->level);
    VoTraceLog::clearQueue();
}

TEST(VoTraceLogQueue, DebugAndErrorCutAt1023Characters)
{
    VoTraceLog::clearQueue();
    std::string longText(3000, 'q');
    VoTraceLog::debug("%s", longText.c_str());
    VoTraceLog::error("%s-%d", "short", 5);
    ASSERT_EQ(2, VoTraceLog::queuedCount());
    EXPECT_EQ(std::string(1023, 'q'), VoTraceLog::queuedRecord(0)->message.c_str());
    EXPECT_EQ(kVoTraceLevelDebug, VoTraceLog::queuedRecord(0)->level);
    EXPECT_STREQ("short-5", VoTraceLog::queuedRecord(1)->message.c_str());
    EXPECT_EQ(kVoTraceLevelError, VoTraceLog::queuedRecord(1)->level);
    VoTraceLog::clearQueue();
}

struct Received {
    int32 level;
    std::string stamp, name, id, message;
    bool nameNull, messageNull;
};
std::vector<Received> gReceived;
void receive(int32 level, const char* stamp, const char* name, const char* id, const char* message)
{
    gReceived.push_back({level, stamp, name ? name : "", id, message ? message : "",
                         name == nullptr, message == nullptr});
}

TEST(VoTraceLogCallback, ReceivesRecordsInsteadOfQueue)
{
    VoTraceLog::clearQueue();
    gReceived.clear();
    gFixedTime = utcTime(2004, 9, 15, 10, 15, 0);
    VoTraceLog::setTimeSource(fixedClock);
    VoTraceLog::setCallback(receive);
    VoTraceLog::write(4, nullptr, nullptr);
    VoTraceLog::write(kVoTraceLevelInfo, "name", "text");
    VoTraceLog::setCallback(nullptr);
    VoTraceLog::setTimeSource(nullptr);
    EXPECT_EQ(0, VoTraceLog::queuedCount());
    ASSERT_EQ(2u, gReceived.size());
    EXPECT_TRUE(gReceived[0].nameNull);
    EXPECT_TRUE(gReceived[0].messageNull);
    EXPECT_EQ(4, gReceived[0].level);
    EXPECT_EQ("2004-09-15 02:15:00 PST", gReceived[1].stamp);
    EXPECT_EQ("name", gReceived[1].name);
    EXPECT_EQ("text", gReceived[1].message);
}

TEST(VoTraceLogTime, PacificIsUtcLessEightHours)
{
    struct Case {
        time_t utc;
        const char* expected;
    } cases[] = {
        {utcTime(2004, 9, 15, 3, 0, 0), "2004-09-14 19:00:00 PST"},
        {utcTime(2004, 9, 15, 10, 15, 0), "2004-09-15 02:15:00 PST"},
        {utcTime(2005, 1, 1, 3, 0, 0), "2004-12-31 19:00:00 PST"},
        {utcTime(2004, 3, 1, 7, 59, 59), "2004-02-29 23:59:59 PST"},
        {utcTime(2004, 7, 4, 8, 0, 0), "2004-07-04 00:00:00 PST"},  // no summer time
    };
    for (const Case& c : cases) {
        char stamp[kVoTraceStampChars + 1];
        VoFormatPstTimeStamp(c.utc, stamp);
        EXPECT_STREQ(c.expected, stamp);
    }
}

TEST(VoTraceLogLine, CompositionByLevelAndSwitches)
{
    const char* stamp = "2004-09-15 02:15:00 PST";
    struct Case {
        const char* name;
        int32 level;
        const char* logName;
        const char* message;
        bool debugOn;
        bool threadIdOn;
        const char* expected;
    } cases[] = {
        {"error with the default name", 3, "", "x", false, true,
         "2004-09-15 02:15:00 PST E: [] <1234> x"},
        {"info", 1, "Log", "m", false, true, "2004-09-15 02:15:00 PST i: [Log] <1234> m"},
        {"warning without id", 2, "", "m", false, false, "2004-09-15 02:15:00 PST W: [] m"},
        {"status without name", 5, nullptr, "m", false, true,
         "2004-09-15 02:15:00 PST s: <1234> m"},
        {"debug off", 0, "", "m", false, true, ""},
        {"debug on", 0, "", "m", true, true, "2004-09-15 02:15:00 PST d: [] <1234> m"},
        {"level 4", 4, "", "m", true, true, ""},
        {"level 6", 6, "", "m", true, true, ""},
        {"level -1", -1, "", "m", true, true, ""},
        {"no message", 3, "", nullptr, false, true, "2004-09-15 02:15:00 PST E: [] <1234> "},
    };
    for (const Case& c : cases) {
        VoTextBuffer line = VoComposeTraceLine(c.level, stamp, c.logName, "1234", c.message,
                                               c.debugOn, c.threadIdOn);
        EXPECT_STREQ(c.expected, line.c_str()) << c.name;
    }
}

HANDLE createFile(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(VoTraceFile, LineFeedsBecomeCrLf)
{
    std::string path = tempFilePath("vo-trace-file-test.txt");
    VoTraceFile file;
    EXPECT_FALSE(file.write("x", true)) << "no file";
    file.setHandle(createFile(path));
    ASSERT_TRUE(file.valid());
    EXPECT_FALSE(file.write("", true));
    EXPECT_FALSE(file.write(nullptr, true));
    EXPECT_TRUE(file.write("a\nb", true));
    EXPECT_TRUE(file.write("c\r\n", false));
    EXPECT_TRUE(file.write("\n\n", false));
    EXPECT_TRUE(file.close());
    EXPECT_FALSE(file.valid());
    EXPECT_EQ("a\r\nb\r\nc\r\r\n\r\n\r\n", readFile(path));
    DeleteFileA(path.c_str());
}

TEST(VoTraceFile, CloseOfNoFileAndInvalidHandle)
{
    VoTraceFile file;
    EXPECT_TRUE(file.close());
    file.setHandle(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(file.valid());
    EXPECT_TRUE(file.close());
    EXPECT_EQ(nullptr, file.handle());
}

TEST(VoTraceLogOutput, FileOutputWritesComposedLineWithCrLf)
{
    std::string path = tempFilePath("vo-trace-output-test.txt");
    HANDLE handle = createFile(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    gFixedTime = utcTime(2004, 9, 15, 10, 15, 0);
    VoTraceLog::setTimeSource(fixedClock);
    VoTraceLog::setFile(handle);
    VoTraceLog::setFileOutput(true);
    VoTraceLog::write(kVoTraceLevelInfo, VoTraceLog::name(), "a\nb");
    VoTraceLog::write(4, VoTraceLog::name(), "never a line");
    VoTraceLog::write(kVoTraceLevelDebug, VoTraceLog::name(), "debug is off");
    VoTraceLog::setFileOutput(false);
    VoTraceLog::setFile(nullptr);
    VoTraceLog::setTimeSource(nullptr);
    CloseHandle(handle);
    std::string expected =
        "2004-09-15 02:15:00 PST i: [] <" + std::to_string(VoTraceThreadNumber()) + "> a\r\nb\r\n";
    EXPECT_EQ(expected, readFile(path));
    EXPECT_EQ(3, VoTraceLog::queuedCount());
    VoTraceLog::clearQueue();
    DeleteFileA(path.c_str());
}

TEST(VoTraceLogId, StoredThreadNameIsUsed)
{
    VoTextBuffer threadName("worker");
    ASSERT_EQ(VO_STATUS_OK,
              VoTlsContext::process()->setValue(VoTraceLog::slot(), &threadName).code());
    VoTraceLog::clearQueue();
    VoTraceLog::write(kVoTraceLevelInfo, nullptr, "named");
    ASSERT_EQ(VO_STATUS_OK, VoTlsContext::process()->setValue(VoTraceLog::slot(), nullptr).code());
    ASSERT_EQ(1, VoTraceLog::queuedCount());
    EXPECT_STREQ("worker", VoTraceLog::queuedRecord(0)->id.c_str());
    VoTraceLog::clearQueue();
}

DWORD WINAPI writeFromThread(LPVOID parameter)
{
    *static_cast<int32*>(parameter) = VoTraceThreadNumber();
    VoTraceLog::write(kVoTraceLevelInfo, nullptr, "other thread");
    return 0;
}

TEST(VoTraceLogId, EachThreadHasItsOwnNumber)
{
    VoTraceLog::clearQueue();
    int32 otherNumber = 0;
    HANDLE thread = CreateThread(nullptr, 0, writeFromThread, &otherNumber, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_NE(VoTraceThreadNumber(), otherNumber);
    ASSERT_EQ(1, VoTraceLog::queuedCount());
    EXPECT_EQ(std::to_string(otherNumber), VoTraceLog::queuedRecord(0)->id.c_str());
    VoTraceLog::clearQueue();
}

}  // namespace
