// A loader started with arguments deletes its own file through a batch file once it has
// ended; without arguments, or in a silent install, it keeps its file.
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>

using namespace e2e;

namespace {

constexpr unsigned long kGoneWithinMs = 60000;
constexpr char kSilentLine[] = "### silent install detected ###";

std::vector<std::string> Batches(const std::string& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : ListFolder(folder)) {
        if (name.size() == 12 && name.compare(0, 3, "~VO") == 0 && name.compare(8, 4, ".bat") == 0)
            found.push_back(name);
    }
    return found;
}

bool NoBatchIn(const std::string& folder)
{
    return Batches(folder).empty();
}

bool LogHas(const Sandbox& box, const std::string& logName, const std::string& text)
{
    return Contains(LogTexts(RunLog(box, logName)), text);
}

struct KeepCase {
    const char* name;
    const char* arguments;
    bool silent;
};

TEST(SelfDeletion, KeepsTheLoaderWithoutArgumentsAndInASilentInstall)
{
    const KeepCase cases[] = {
        {"no arguments", "", false},
        {"-s -a and a third argument", "-s -a x", true},
        {"-silent -all and more", "-silent -all x y", true},
    };
    for (const KeepCase& c : cases) {
        Sandbox box;
        std::string loader = box.install("download.exe");
        ASSERT_TRUE(box.run(loader, c.arguments).finished) << c.name;
        // A batch would be in place before the loader ends, and would go only after the loader.
        EXPECT_TRUE(FileExists(loader)) << c.name;
        EXPECT_TRUE(NoBatchIn(box.temp())) << c.name;
        EXPECT_EQ(c.silent, LogHas(box, "download.log", kSilentLine)) << c.name;
    }
}

TEST(SelfDeletion, DeletesTheLoaderAndTheBatchWhenNotSilent)
{
    const char* const cases[] = {"-a -s x", "-s -a", "-S -a x", "x"};
    for (const char* arguments : cases) {
        Sandbox box;
        std::string loader = box.install("download.exe");
        ASSERT_TRUE(box.run(loader, arguments).finished) << arguments;
        EXPECT_TRUE(WaitUntilGone(loader, kGoneWithinMs)) << arguments;
        EXPECT_TRUE(WaitUntil(NoBatchIn, box.temp(), kGoneWithinMs)) << arguments;
        EXPECT_FALSE(LogHas(box, "download.log", kSilentLine)) << arguments;
    }
}

TEST(SelfDeletion, WorksFromFoldersWithBlanksAndPercentSigns)
{
    Sandbox box;
    std::string temp = box.root() + "t e%m%p\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    box.setTemp(temp);
    std::string folder = box.root() + "my loader 100%\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string loader = box.install("down load %OS%.exe", LoaderExe(), folder);
    // A file that a %-expanded or unquoted name would hit instead.
    std::string bystander = box.install("down.exe", LoaderExe(), folder);

    ASSERT_TRUE(box.run(loader, "-x").finished);
    EXPECT_TRUE(WaitUntilGone(loader, kGoneWithinMs));
    EXPECT_TRUE(WaitUntil(NoBatchIn, temp, kGoneWithinMs));
    EXPECT_TRUE(FileExists(bystander));
}

// The batch's retries and its giving up on a loader that never goes are run under the
// command interpreter by selfdeletion_tests; here the real batch waits for a held loader.
TEST(SelfDeletion, TakesTheNextFreeBatchNameAndDeletesTheLoaderOnceItIsFree)
{
    Sandbox box;
    std::string taken = box.temp() + "~VO00000.bat";
    ASSERT_TRUE(WriteFile(taken, "rem someone else's\r\n"));
    std::string loader = box.install("download.exe");
    // Held without delete sharing, the loader's file outlives the loader until it is let go.
    HANDLE holder = CreateFileA(loader.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);

    RunResult result = box.run(loader, "-x");
    std::string batch = box.temp() + "~VO00001.bat";
    std::string text = ReadFile(batch);
    CloseHandle(holder);
    ASSERT_TRUE(result.finished);
    EXPECT_NE(std::string::npos, text.find("del \"" + loader + "\"\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("del \"" + batch + "\"\r\n")) << text;

    EXPECT_TRUE(WaitUntilGone(loader, kGoneWithinMs));
    EXPECT_TRUE(WaitUntilGone(batch, kGoneWithinMs));
    EXPECT_EQ("rem someone else's\r\n", ReadFile(taken));
}

// Runs a program given by a wide path with TEMP and TMP pointed at temp; waits for it.
bool RunWide(const std::wstring& program, const std::wstring& arguments, const std::string& temp)
{
    char oldTemp[MAX_PATH] = "", oldTmp[MAX_PATH] = "";
    GetEnvironmentVariableA("TEMP", oldTemp, MAX_PATH);
    GetEnvironmentVariableA("TMP", oldTmp, MAX_PATH);
    SetEnvironmentVariableA("TEMP", temp.c_str());
    SetEnvironmentVariableA("TMP", temp.c_str());
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    BOOL created = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process);
    SetEnvironmentVariableA("TEMP", oldTemp);
    SetEnvironmentVariableA("TMP", oldTmp);
    if (!created)
        return false;
    bool finished = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return finished;
}

TEST(SelfDeletion, DeletesNothingWhenTheAnsiCodePageDoesNotCarryTheLoaderNameAsItIs)
{
    const struct {
        const char* name;
        std::wstring file;
        std::string ansi;       // what the ANSI code page makes of it
        const char* lookalike;  // what the misread name would have del delete
        const char* logged;
    } cases[] = {
        // No form at all, not even a best-fit one: "?", which del takes as a wildcard.
        {"no form", L"setup\x4E2D.exe", "setup?.exe", "setupX.exe",
         "Self-deletion skipped: the loader's path holds '?' or '*' and would match other files."},
        // A full-width quotation mark becomes '"', which ends the quotes around the path:
        // del "...\setup".exe" deletes setup.exe.
        {"full-width quotation mark", L"setup\xFF02.exe", "setup\".exe", "setup.exe",
         "Self-deletion skipped: the loader's path holds '\"' and would break the batch's "
         "quoting."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char converted[64];
        WideCharToMultiByte(CP_ACP, 0, c.file.c_str(), -1, converted, sizeof(converted), nullptr,
                            nullptr);
        if (c.ansi != converted) {
            printf("%s: not tried, the ANSI code page %u makes %s of it\n", c.name, GetACP(),
                   converted);
            continue;
        }

        Sandbox box;
        const std::string binA = box.bin(), sourceA = LoaderExe();  // ASCII paths
        std::wstring bin(binA.begin(), binA.end());
        std::wstring source(sourceA.begin(), sourceA.end());
        ASSERT_TRUE(CopyFileW(source.c_str(), (bin + c.file).c_str(), FALSE));
        std::string lookalike = box.install(c.lookalike);

        ASSERT_TRUE(RunWide(bin + c.file, L"-x", box.temp()));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((bin + c.file).c_str()));
        EXPECT_TRUE(FileExists(lookalike));
        EXPECT_TRUE(NoBatchIn(box.temp()));

        // The log is not lost to the unusable name: it is named after the file's short name
        // (or a fixed name) and says why the loader kept its file.
        std::string log;
        for (const std::string& entry : ListFolder(box.mainTemp())) {
            if (entry.size() > 4 && entry.compare(entry.size() - 4, 4, ".log") == 0)
                log = ReadFile(box.mainTemp() + entry);
        }
        std::vector<std::string> texts = LogTexts(log);
        ASSERT_FALSE(texts.empty()) << "no log in " << box.mainTemp();
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), c.logged));
        EXPECT_EQ("Exiting loader...", texts.back());
    }
}

}  // namespace
