// A loader started with arguments deletes its own file through a batch file once it has
// ended; without arguments, or in a silent install, it keeps its file.
#include "InstallerStage.h"
#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>

using namespace e2e;

namespace {

constexpr unsigned long kGoneWithinMs = 60000;
constexpr char kSilentLine[] = "### silent install detected ###";

bool Missing(const std::string& path) { return !FileExists(path); }

std::vector<std::string> Batches(const std::string& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : ListFolder(folder)) {
        if (name.size() == 12 && name.compare(0, 3, "~VO") == 0 &&
            name.compare(8, 4, ".bat") == 0)
            found.push_back(name);
    }
    return found;
}

bool NoBatchIn(const std::string& folder) { return Batches(folder).empty(); }

int RunningInterpreters()
{
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, "cmd.exe") == 0)
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

bool LogHas(const Sandbox& box, const std::string& logName, const std::string& text)
{
    std::vector<std::string> texts = LogTexts(RunLog(box, logName));
    return std::find(texts.begin(), texts.end(), text) != texts.end();
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
        StageInstaller(box);
        std::string loader = box.install("download.exe");
        ASSERT_TRUE(box.run(loader, c.arguments).finished) << c.name;
        Sleep(3000);  // time enough for a batch to have done its work
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
        StageInstaller(box);
        std::string loader = box.install("download.exe");
        ASSERT_TRUE(box.run(loader, arguments).finished) << arguments;
        EXPECT_TRUE(WaitUntil(Missing, loader, kGoneWithinMs)) << arguments;
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
    StageInstaller(box);
    std::string folder = box.root() + "my loader 100%\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string loader = box.install("down load %OS%.exe", LoaderExe(), folder);
    // A file that a %-expanded or unquoted name would hit instead.
    std::string bystander = box.install("down.exe", LoaderExe(), folder);

    ASSERT_TRUE(box.run(loader, "-x").finished);
    EXPECT_TRUE(WaitUntil(Missing, loader, kGoneWithinMs));
    EXPECT_TRUE(WaitUntil(NoBatchIn, temp, kGoneWithinMs));
    EXPECT_TRUE(FileExists(bystander));
}

TEST(SelfDeletion, TakesTheNextFreeBatchNameAndGivesUpOnAReadOnlyLoader)
{
    Sandbox box;
    StageInstaller(box);
    std::string taken = box.temp() + "~VO00000.bat";
    ASSERT_TRUE(WriteFile(taken, "rem someone else's\r\n"));
    std::string loader = box.install("download.exe");
    ASSERT_TRUE(SetFileAttributesA(loader.c_str(), FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(box.run(loader, "-x").finished);
    DWORD ended = GetTickCount();
    std::string batch = box.temp() + "~VO00001.bat";
    std::string text = ReadFile(batch);
    EXPECT_NE(std::string::npos, text.find("del \"" + loader + "\"\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("del \"" + batch + "\"\r\n")) << text;
    EXPECT_EQ("rem someone else's\r\n", ReadFile(taken));

    // The batch gives up after about a minute and removes itself all the same.
    EXPECT_TRUE(WaitUntil(Missing, batch, 3 * kGoneWithinMs));
    EXPECT_GE(GetTickCount() - ended, 30000u);
    EXPECT_TRUE(FileExists(loader));
    Sleep(2000);
    EXPECT_EQ(0, RunningInterpreters());
    EXPECT_TRUE(FileExists(taken));
    SetFileAttributesA(loader.c_str(), FILE_ATTRIBUTE_NORMAL);
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

TEST(SelfDeletion, DeletesNothingWhenTheLoaderNameIsOutsideTheAnsiCodePage)
{
    // A character that the ANSI code page has no form for, not even a best-fit one.
    const std::wstring name = L"setup\x4E2D.exe";
    BOOL lossy = FALSE;
    char converted[64];
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, converted, sizeof(converted), nullptr,
                        &lossy);
    if (!lossy)
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " carries the name";

    Sandbox box;
    StageInstaller(box);
    const std::string binA = box.bin(), sourceA = LoaderExe();  // ASCII paths
    std::wstring bin(binA.begin(), binA.end());
    std::wstring source(sourceA.begin(), sourceA.end());
    ASSERT_TRUE(CopyFileW(source.c_str(), (bin + name).c_str(), FALSE));
    // "setup?.exe" as a del pattern would match this file.
    std::string lookalike = box.install("setupX.exe");

    ASSERT_TRUE(RunWide(bin + name, L"-x", box.temp()));
    Sleep(5000);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((bin + name).c_str()));
    EXPECT_TRUE(FileExists(lookalike));
    EXPECT_TRUE(NoBatchIn(box.temp()));
}

}  // namespace
