// The loader log's line format and its silent failures.
#include "loaderlog/LoaderLog.h"
#include "VoFoundation/VoLimits.h"

#include "FolderSecurity.h"
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

// A formatted line longer than wvsprintfA's limit is cut at 1,024 characters, never overrun.
TEST_F(LoaderLogTest, AFormattedLineIsCutAtTheFormattersLimit)
{
    const std::string part(1500, 'p');
    loader::WriteLoaderLogF(7, "%d: %s", 42, part.c_str());
    // 1,023 characters and the terminator here; the system may allow one more.
    const std::string log = Log();
    const std::string cut = Prefix() + "*) - 42: " + part.substr(0, 1019);
    const std::string end = "\r\nGetLastError() returned 7 for the preceeding failure!\r\n";
    EXPECT_TRUE(log == cut + end || log == cut + "p" + end) << log.size();
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

// Until the run has a folder of its own the lines wait in memory; outside a private folder the
// log is a new file of the run's own, written through its handle; it moves by that handle.
TEST_F(LoaderLogTest, KeepsLinesInMemoryUntilAFileOfItsOwnAndMovesThroughItsHandle)
{
    for (bool foundFile : {true, false}) {
        SCOPED_TRACE(foundFile ? "someone's file at the log path" : "no file there");
        ASSERT_TRUE(loader::SetLoaderLogPath(folder.c_str(), "test.log"));
        DeleteFileA(path.c_str());
        if (foundFile) {
            ASSERT_TRUE(support::WriteFile(path, "someone's\r\n"));
        }
        loader::KeepLoaderLogInMemory();
        WriteLoaderLog("early", 5);
        EXPECT_EQ(foundFile ? "someone's\r\n" : "", support::ReadFile(path));
        EXPECT_EQ(!foundFile, loader::StartLoaderLogFile(false));
        WriteLoaderLog("later");
        if (foundFile) {
            EXPECT_EQ("someone's\r\n", support::ReadFile(path)) << "written into a file it found";
            continue;
        }
        EXPECT_EQ(Prefix() + "*) - early\r\nGetLastError() returned 5 for the preceeding " +
                      "failure!\r\n" + Prefix() + "*) - later\r\n",
                  Log());
        EXPECT_FALSE(DeleteFileA(path.c_str())) << "not held";
    }
    // From its own folder the log moves by its handle, replacing an older one, and stays held.
    ASSERT_TRUE(loader::SetLoaderLogPath(folder.c_str(), "test.log"));
    ASSERT_TRUE(support::WriteFile(box.root() + "test.log", "older"));
    EXPECT_EQ(0u, loader::MoveLoaderLogTo(box.root().c_str()));
    EXPECT_EQ(box.root() + "test.log", loader::LoaderLogPath());
    WriteLoaderLog("moved");
    EXPECT_FALSE(DeleteFileA(loader::LoaderLogPath())) << "not held";
    path = box.root() + "test.log";
    ASSERT_TRUE(loader::SetLoaderLogPath(box.root().c_str(), "test.log"));
    EXPECT_EQ(Prefix() + "*) - early\r\nGetLastError() returned 5 for the preceeding failure!\r\n" +
                  Prefix() + "*) - later\r\n" + Prefix() + "*) - moved\r\n",
              Log());
    EXPECT_FALSE(support::FileExists(folder + "test.log"));

    // More than the memory holds: whole lines are dropped and counted.
    ASSERT_TRUE(loader::SetLoaderLogPath(folder.c_str(), "full.log"));
    path = folder + "full.log";
    loader::KeepLoaderLogInMemory();
    const std::string big(1000, 'b');
    const unsigned written = loader::kEarlyLogBytes / 1000 + 3;
    for (unsigned i = 0; i < written; ++i)
        WriteLoaderLog(big.c_str());
    EXPECT_TRUE(loader::StartLoaderLogFile(true));
    std::vector<std::string> texts = support::LogTexts(support::ReadFile(path));
    ASSERT_LE(loader::kEarlyLogBytes / 1030u + 1, texts.size());
    EXPECT_EQ(big, texts[texts.size() - 2]);
    EXPECT_EQ(std::to_string(written - (texts.size() - 1)) +
                  " earlier lines of this log were lost.",
              texts.back());
}

TEST_F(LoaderLogTest, DeletesAnOldLogOnlyWhenItIsAPlainFile)
{
    HANDLE folderHandle = CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES, 7, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_TRUE(support::WriteFile(path, "old"));
    loader::DeleteOldLoaderLog(folderHandle);
    EXPECT_FALSE(support::FileExists(path));
    // A link someone put at the log path: neither it nor what it leads to is deleted.
    const std::string target = box.root() + "target";
    ASSERT_TRUE(support::WriteFile(target, "someone else's"));
    ASSERT_TRUE(support::MakeFolderLink(path, target)) << "no link can be made here";
    loader::DeleteOldLoaderLog(folderHandle);
    CloseHandle(folderHandle);
    EXPECT_EQ("someone else's", support::ReadFile(target));
    EXPECT_TRUE(support::FileExists(path));
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
