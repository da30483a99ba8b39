// The self-deletion batch as the command interpreter runs it, with a stand-in for ping that
// records each wait instead of taking a second: how often it waits before it gives up on a
// loader that never goes, that it removes itself in every case, and that nothing after its last
// line is ever read. (The real batch waiting for a loader that goes at last is an end-to-end
// scenario.)
#include "rules/SelfDeletionBatch.h"

#include "Sandbox.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr unsigned long kBatchEndsWithinMs = 60000;

std::string SystemProgram(const char* name)
{
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(folder) + "\\" + name;
}

TEST(SelfDeletionBatchRun, TriesUntilTheLoaderIsGoneOrTheTriesRunOutThenRemovesItself)
{
    const struct {
        const char* name;
        bool readOnly;  // the loader's file can never be deleted
        size_t waits;
        bool batchStays;  // the batch cannot delete itself, and more text follows its last line
    } cases[] = {
        {"deletable at once", false, 0, false},
        {"never deletable: gives up after the last try", true, 59, false},
        {"text after the last line, which cannot delete the batch", false, 0, true},
    };
    const std::string interpreter = SystemProgram("cmd.exe");
    const std::string standIn = support::UnixToWindowsPath(PING_STAND_IN_PATH);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        support::Sandbox box;
        const std::string loader = box.bin() + "100% down load.exe";
        const std::string batch = box.temp() + "~VO00000.bat";
        ASSERT_TRUE(support::WriteFile(loader, "MZ"));
        if (c.readOnly) {
            ASSERT_TRUE(SetFileAttributesA(loader.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        char text[loader::kBatchTextChars];
        ASSERT_TRUE(loader::ComposeSelfDeletionBatch(text, sizeof(text), loader.c_str(),
                                                     batch.c_str(), standIn.c_str()));
        // As if someone had put a batch of her own at its name once it was gone.
        const std::string marker = box.temp() + "ran-after-the-last-line.txt";
        ASSERT_TRUE(support::WriteFile(
            batch, text + (c.batchStays ? "echo ran>\"" + marker + "\"\r\n" : std::string())));
        // Held open without delete sharing, the batch cannot delete itself.
        HANDLE holder = c.batchStays ? CreateFileA(batch.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                   nullptr, OPEN_EXISTING, 0, nullptr)
                                     : INVALID_HANDLE_VALUE;

        // As the loader starts it, but without echoing each command into the test's output,
        // and with the interpreter's complaints (a stand-in that did not start) kept.
        const std::string complaints = box.temp() + "cmd-errors.txt";
        support::RunningProgram run =
            box.start(interpreter, "/d /q /s /c \"\"" + batch + "\" 2>\"" + complaints + "\"\"");
        ASSERT_TRUE(run.result().started) << run.result().startError;
        ASSERT_TRUE(run.wait(kBatchEndsWithinMs));
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);

        EXPECT_EQ(c.readOnly, support::FileExists(loader));
        EXPECT_EQ(c.batchStays, support::FileExists(batch));
        EXPECT_FALSE(support::FileExists(marker));
        std::vector<std::string> waits =
            support::TextLines(support::ReadFile(box.temp() + "ping-calls.txt"));
        // Wine's interpreter, on a loaded machine, now and then fails to start a program and
        // says so; such a try is a wait that was tried all the same. A stand-in that never
        // starts is a fault of the test, not a few passes without a pause.
        size_t unstarted = 0;
        for (const std::string& line : support::TextLines(support::ReadFile(complaints)))
            unstarted += line.find("ping-stand-in") != std::string::npos;
        EXPECT_LE(unstarted, c.waits / 10) << support::ReadFile(complaints);
        EXPECT_EQ(c.waits, waits.size() + unstarted) << support::ReadFile(complaints);
        // (The interpreter passes on the blank before the redirection.)
        for (const std::string& arguments : waits)
            EXPECT_EQ("-n 2 127.0.0.1", arguments.substr(0, arguments.find_last_not_of(' ') + 1));
        SetFileAttributesA(loader.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

}  // namespace
