// The loader log's line format and its silent failures.
#include "loaderlog/LoaderLog.h"
#include "VoFoundation/VoLimits.h"

#include "LoaderLogLines.h"
#include "Sandbox.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

using loader::WriteLoaderLog;

namespace {

class LoaderLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = box.temp();
        ASSERT_TRUE(loader::SetLoaderLogPath(folder.c_str(), "test.log"));
        path = folder + "test.log";
    }
    std::string Prefix() const
    {
        char prefix[64];
        snprintf(prefix, sizeof(prefix), "(%lX, ", GetCurrentProcessId());
        return prefix;
    }
    // The log with each line's tick count removed: "(PID, *) - text".
    std::string Log() const
    {
        std::string content = support::ReadFile(path), result;
        size_t at = 0;
        while (at < content.size()) {
            size_t open = content.find(Prefix(), at);
            if (open == std::string::npos) {
                result += content.substr(at);
                break;
            }
            size_t close = content.find(") - ", open);
            result += content.substr(at, open - at) + Prefix() + "*";
            at = close;
        }
        return result;
    }
    support::Sandbox box;
    std::string folder, path;
};

TEST_F(LoaderLogTest, WritesOnePrefixedLinePerCall)
{
    WriteLoaderLog("Success!");
    WriteLoaderLog("Exiting loader...", loader::kNoErrorCode);
    EXPECT_EQ(Prefix() + "*) - Success!\r\n" + Prefix() + "*) - Exiting loader...\r\n", Log());

    // The prefix is the process id in upper-case hexadecimal and the tick count in decimal.
    std::vector<support::LogLine> lines = support::ParseLog(support::ReadFile(path));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(GetCurrentProcessId(), lines[0].processId);
    EXPECT_LE(lines[0].tick, GetTickCount());
}

TEST_F(LoaderLogTest, AddsALineBreakOnlyWhereTheTextHasNone)
{
    WriteLoaderLog("ends in LF\n");
    WriteLoaderLog("ends in CRLF\r\n");
    WriteLoaderLog("two\nlines");
    WriteLoaderLog("");
    EXPECT_EQ(Prefix() + "*) - ends in LF\n" + Prefix() + "*) - ends in CRLF\r\n" + Prefix() +
                  "*) - two\nlines\r\n" + Prefix() + "*) - \r\n",
              Log());
}

TEST_F(LoaderLogTest, AddsTheLastErrorLineForEveryCodeButMinusOne)
{
    WriteLoaderLog("zero", 0);
    WriteLoaderLog("five", 5);
    WriteLoaderLog("negative", -2);
    WriteLoaderLog("none", -1);
    EXPECT_EQ(Prefix() + "*) - zero\r\nGetLastError() returned 0 for the preceeding failure!\r\n" +
                  Prefix() +
                  "*) - five\r\nGetLastError() returned 5 for the preceeding failure!\r\n" +
                  Prefix() +
                  "*) - negative\r\nGetLastError() returned -2 for the preceeding failure!\r\n" +
                  Prefix() + "*) - none\r\n",
              Log());
}

TEST_F(LoaderLogTest, ANullTextWritesNothingAndCreatesNoFile)
{
    WriteLoaderLog(nullptr, 5);
    EXPECT_FALSE(support::FileExists(path));
    WriteLoaderLog("x");
    EXPECT_TRUE(support::FileExists(path));
}

TEST_F(LoaderLogTest, DropsLinesWhileAnotherProcessHoldsTheLogAndKeepsNoHandle)
{
    WriteLoaderLog("before");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    WriteLoaderLog("dropped", 3);
    CloseHandle(held);
    WriteLoaderLog("after");
    EXPECT_EQ(Prefix() + "*) - before\r\n" + Prefix() + "*) - after\r\n", Log());

    // No handle is kept between lines: the file can be moved away at any time.
    std::string moved = folder + "moved.log";
    EXPECT_TRUE(MoveFileA(path.c_str(), moved.c_str()));
}

TEST_F(LoaderLogTest, RefusesALogPathOverThePathLimit)
{
    std::string longFolder = folder + std::string(300, 'x') + "\\";
    EXPECT_FALSE(loader::SetLoaderLogPath(longFolder.c_str(), "test.log"));
    EXPECT_EQ(path, loader::LoaderLogPath());
    std::string exact(kVoPathChars - 1 - 8, 'y');
    EXPECT_TRUE(loader::SetLoaderLogPath(exact.c_str(), "test.log"));
    EXPECT_EQ(size_t(kVoPathChars - 1), strlen(loader::LoaderLogPath()));
    EXPECT_FALSE(loader::SetLoaderLogPath((exact + "z").c_str(), "test.log"));
}

TEST(LogFileName, ReplacesEverythingFromTheFirstDot)
{
    struct Row {
        const char* loaderName;
        const char* logName;
    } rows[] = {
        {"download.exe", "download.log"},
        {"my.setup.exe", "my.log"},
        {"setup", "setup.log"},
        {".hidden", ".log"},
        {"", ".log"},
    };
    for (const Row& row : rows) {
        char out[kVoPathChars];
        ASSERT_TRUE(loader::MakeLogFileName(row.loaderName, out, sizeof(out))) << row.loaderName;
        EXPECT_STREQ(row.logName, out) << row.loaderName;
    }
    char small[9] = "unset";
    EXPECT_TRUE(loader::MakeLogFileName("abcd.exe", small, sizeof(small)));
    EXPECT_STREQ("abcd.log", small);
    EXPECT_FALSE(loader::MakeLogFileName("abcde.exe", small, sizeof(small)));
    EXPECT_STREQ("abcd.log", small);
}

}  // namespace
