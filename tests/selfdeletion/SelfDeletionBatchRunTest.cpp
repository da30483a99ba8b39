// The self-deletion batch as the command interpreter runs it, with a stand-in for ping that
// records each wait instead of taking a second: how often it waits before it gives up on a
// loader that never goes, and that it removes itself in every case. (The real batch waiting
// for a loader that goes at last is an end-to-end scenario.)
#include "loader/SelfDeletionBatch.h"

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
    } cases[] = {
        {"deletable at once", false, 0},
        {"never deletable: gives up after the last try", true, 59},
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
        ASSERT_TRUE(support::WriteFile(batch, text));

        // As the loader starts it, but without echoing each command into the test's output,
        // and with the interpreter's complaints (a stand-in that did not start) kept.
        const std::string complaints = box.temp() + "cmd-errors.txt";
        support::RunningProgram run =
            box.start(interpreter, "/d /q /s /c \"\"" + batch + "\" 2>\"" + complaints + "\"\"");
        ASSERT_TRUE(run.result().started) << run.result().startError;
        ASSERT_TRUE(run.wait(kBatchEndsWithinMs));

        EXPECT_EQ(c.readOnly, support::FileExists(loader));
        EXPECT_FALSE(support::FileExists(batch));
        std::vector<std::string> waits =
            support::TextLines(support::ReadFile(box.temp() + "ping-calls.txt"));
        EXPECT_EQ(c.waits, waits.size()) << support::ReadFile(complaints);
        // (The interpreter passes on the blank before the redirection.)
        for (const std::string& arguments : waits)
            EXPECT_EQ("-n 2 127.0.0.1", arguments.substr(0, arguments.find_last_not_of(' ') + 1));
        SetFileAttributesA(loader.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

}  // namespace
