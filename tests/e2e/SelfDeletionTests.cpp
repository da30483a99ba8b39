// A loader started with arguments deletes its own file through a batch file once it has
// ended; without arguments, or in a silent install, it keeps its file.
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

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

TEST(SelfDeletion, DeletesTheLoaderAndTheBatchOnlyWithArgumentsAndNotSilent)
{
    const struct {
        const char* arguments;
        bool silent;  // and the loader kept
    } cases[] = {
        {"", false},        {"-s -a x", true}, {"-silent -all x y", true},
        {"-a -s x", false}, {"-s -a", false},  {"-S -a x", false},
        {"x", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("arguments: ") + c.arguments);
        Sandbox box;
        std::string loader = box.install("download.exe");
        ASSERT_TRUE(box.run(loader, c.arguments).finished);
        if (c.silent || !*c.arguments) {
            // A batch would be in place before the loader ends, and would go only after it.
            EXPECT_TRUE(FileExists(loader));
            EXPECT_TRUE(NoBatchIn(box.temp()));
        } else {
            EXPECT_TRUE(WaitUntilGone(loader, kGoneWithinMs));
            EXPECT_TRUE(WaitUntil(NoBatchIn, box.temp(), kGoneWithinMs));
        }
        EXPECT_EQ(c.silent, LogHas(box, "download.log", kSilentLine));
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
    EXPECT_NE(std::string::npos, text.find("del /f \"" + batch + "\" & exit\r\n")) << text;

    EXPECT_TRUE(WaitUntilGone(loader, kGoneWithinMs));
    EXPECT_TRUE(WaitUntilGone(batch, kGoneWithinMs));
    EXPECT_EQ("rem someone else's\r\n", ReadFile(taken));
}

// Runs a program given by a wide path with TEMP and TMP pointed at temp; waits for it.
bool RunWide(const std::wstring& program, const std::wstring& arguments, const std::wstring& temp)
{
    wchar_t oldTemp[MAX_PATH] = L"", oldTmp[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
    GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    SetEnvironmentVariableW(L"TEMP", temp.c_str());
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    BOOL created = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process);
    SetEnvironmentVariableW(L"TEMP", oldTemp);
    SetEnvironmentVariableW(L"TMP", oldTmp);
    if (!created)
        return false;
    bool finished = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return finished;
}

std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// Names the ANSI code page (Western under Wine's C.UTF-8) cannot carry come back from the ANSI
// calls as "?" or as a best-fit look-alike, another file's name: the loader acts on the short
// name of what it names instead, so it never writes into, runs from or deletes a look-alike.
// An argument that the ANSI form changes is not passed on.
TEST(SelfDeletion, AnsiNamesThatCannotNameTheirFileAreNeverActedOn)
{
    const struct {
        const char* name;
        std::wstring file;      // the loader's file name
        std::wstring temp;      // the folder TEMP names, below the sandbox root
        const char* lookalike;  // what the ANSI form would name instead, made beforehand:
                                // a file beside the loader, or a folder beside TEMP
        std::wstring arguments;
    } cases[] = {
        // "?", which del takes as a wildcard: it would match setupX.exe.
        {"a name with no ANSI form", L"setup\x4E2D.exe", L"tmp", "setupX.exe", L"-x"},
        // '"', which ends the quotes around the path: del "...\setup".exe" deletes setup.exe.
        {"a full-width quotation mark in the name", L"setup\xFF02.exe", L"tmp", "setup.exe", L"-x"},
        {"an L with a stroke in the name", L"setup\x0141.exe", L"tmp", "setupL.exe", L"-x"},
        {"an e with an acute accent in TEMP", L"download.exe", L"tmp\x00E9", nullptr, L"-x"},
        {"an L with a stroke in TEMP", L"download.exe", L"tmp\x0141", "tmpL\\", L"-x"},
        {"a full-width quotation mark in an argument", L"download.exe", L"tmp", nullptr,
         L"-x /Lang=en\xFF02 /Evil\xFF02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        const std::wstring temp = Wide(box.root()) + c.temp + L"\\";
        const std::wstring loader = Wide(box.bin()) + c.file;
        ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
        ASSERT_TRUE(CopyFileW(Wide(LoaderExe()).c_str(), loader.c_str(), FALSE));
        std::string lookalike;
        if (c.lookalike && std::string(c.lookalike).back() == '\\') {
            lookalike = box.root() + c.lookalike;
            ASSERT_TRUE(CreateDirectoryA(lookalike.c_str(), nullptr));
        } else if (c.lookalike) {
            lookalike = box.install(c.lookalike);
        }
        ASSERT_TRUE(RunWide(loader, c.arguments, temp));

        // The loader deleted its own file, and nothing else.
        EXPECT_TRUE(
            WaitUntil([&] { return GetFileAttributesW(loader.c_str()) == INVALID_FILE_ATTRIBUTES; },
                      kGoneWithinMs));
        if (c.lookalike && lookalike.back() == '\\') {
            EXPECT_TRUE(ListFolder(lookalike).empty()) << "written into " << lookalike;
        } else if (c.lookalike) {
            EXPECT_TRUE(FileExists(lookalike)) << lookalike;
        }
        // The installer ran, from TEMP as it is named, and without the argument's switches.
        HANDLE file = CreateFileW((temp + L"demo-installer.txt").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << "the installer did not run";
        char record[4096];
        DWORD got = 0;
        ::ReadFile(file, record, sizeof(record), &got, nullptr);
        CloseHandle(file);
        const std::string cmdline = RecordField(std::string(record, got), "cmdline");
        EXPECT_EQ(std::string::npos, cmdline.find("Evil")) << cmdline;
        EXPECT_EQ(std::string::npos, cmdline.find("Lang")) << cmdline;
    }
}

}  // namespace
