// A small stand-in installer. Each run appends one record to %TEMP%\demo-installer.txt:
//
//   run
//   cmdline: <GetCommandLineA>
//   cwd: <current folder>
//   self: <own path>
//   digest: <FNV-1a 64 of its own file, 16 hex digits>
//   flavour: <which build of this program ran: "demo" unless built otherwise>
//   reg: <key>|<value name>=<value>     one per string value found under the product keys,
//                                       read in the 32-bit registry view as a 32-bit
//                                       installer reads them, whatever this build's width
//   end
//
// Switches (each takes the next argument as its value) change what it does, so end-to-end
// tests can stage installer behaviour:
//   /DemoExitCode <n>      exit with code n instead of 0
//   /DemoPauseMs <n>       sleep n milliseconds before exiting
//   /DemoLeaveFile <dir>   create the file <dir>\left-by-installer.txt
//   /DemoCrash 1           end by an access violation instead of exiting
//   /DemoLeaveFileInRunFolders 1
//                          create left-by-installer.txt in the loader's per-run folder, whose
//                          name the system chooses: its own folder when that is named log*,
//                          else every log* folder beside itself
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#ifndef DEMO_INSTALLER_FLAVOUR
#define DEMO_INSTALLER_FLAVOUR "demo"
#endif

namespace {

constexpr char kRecordName[] = "demo-installer.txt";

struct Behaviour {
    UINT exitCode = 0;
    DWORD pauseMs = 0;
    const char* leaveFileIn = nullptr;
    bool crash = false;
    bool leaveInRunFolders = false;
};

typedef void (*SwitchHandler)(Behaviour&, const char* value);

struct Switch {
    const char* name;
    SwitchHandler apply;
};

const Switch kSwitches[] = {
    {"/DemoExitCode",
     [](Behaviour& b, const char* v) { b.exitCode = (UINT)strtoul(v, nullptr, 0); }},
    {"/DemoPauseMs", [](Behaviour& b, const char* v) { b.pauseMs = strtoul(v, nullptr, 0); }},
    {"/DemoLeaveFile", [](Behaviour& b, const char* v) { b.leaveFileIn = v; }},
    {"/DemoCrash", [](Behaviour& b, const char* v) { b.crash = v[0] == '1'; }},
    {"/DemoLeaveFileInRunFolders",
     [](Behaviour& b, const char* v) { b.leaveInRunFolders = v[0] == '1'; }},
};

// One run's record, written whole while no other run may write: installers of loaders that
// run at the same time wait for each other (up to a few seconds) instead of losing a record.
class Record {
public:
    explicit Record(const wchar_t* path) : _file(INVALID_HANDLE_VALUE)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(20)) {
            _file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
            if (_file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
                break;
        }
    }
    ~Record()
    {
        if (_file != INVALID_HANDLE_VALUE)
            CloseHandle(_file);
    }
    void line(const char* label, const char* text)
    {
        write(label);
        write(text);
        write("\r\n");
    }
    void write(const char* text)
    {
        DWORD written;
        if (_file != INVALID_HANDLE_VALUE)
            WriteFile(_file, text, (DWORD)strlen(text), &written, nullptr);
    }

private:
    HANDLE _file;
};

void RecordStringValues(Record& record, const char* keyPath)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[2048];
        DWORD nameLength = sizeof(name), dataLength = sizeof(data) - 1, type = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        if (type != REG_SZ)
            continue;
        data[dataLength] = 0;
        record.write("reg: ");
        record.write(keyPath);
        record.write("|");
        record.write(name);
        record.write("=");
        record.line("", (const char*)data);
    }
    RegCloseKey(key);
}

void LeaveFileIn(const char* folder)
{
    char leftPath[MAX_PATH];
    if (strlen(folder) + 24 >= sizeof(leftPath))
        return;
    strcpy(leftPath, folder);
    strcat(leftPath, "\\left-by-installer.txt");
    HANDLE f = CreateFileA(leftPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
}

// Leaves a file in every folder named log* beside this program's own file.
struct Digest {
    char text[17];
};

// FNV-1a over the file's bytes, so a test can tell that exactly this file ran.
Digest FileDigest(const char* path)
{
    Digest digest = {"unreadable"};
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return digest;
    unsigned long long hash = 1469598103934665603ull;
    unsigned char buffer[16384];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        for (DWORD i = 0; i < got; ++i)
            hash = (hash ^ buffer[i]) * 1099511628211ull;
    }
    CloseHandle(file);
    wsprintfA(digest.text, "%08lx%08lx", (unsigned long)(hash >> 32), (unsigned long)hash);
    return digest;
}

void LeaveFileInRunFolders(const char* self)
{
    char folder[MAX_PATH];
    strcpy(folder, self);
    char* slash = strrchr(folder, '\\');
    if (!slash)
        return;
    slash[0] = '\0';
    const char* ownName = strrchr(folder, '\\');
    if (ownName && _strnicmp(ownName + 1, "log", 3) == 0) {
        LeaveFileIn(folder);
        return;
    }
    slash[0] = '\\';
    slash[1] = '\0';
    char pattern[MAX_PATH + 8];
    strcpy(pattern, folder);
    strcat(pattern, "log*");
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        char sub[MAX_PATH];
        if (strlen(folder) + strlen(data.cFileName) < sizeof(sub)) {
            strcpy(sub, folder);
            strcat(sub, data.cFileName);
            LeaveFileIn(sub);
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Behaviour behaviour;
    for (int i = 1; i + 1 < __argc; ++i) {
        for (const Switch& s : kSwitches) {
            if (strcmp(__argv[i], s.name) == 0)
                s.apply(behaviour, __argv[i + 1]);
        }
    }

    // Found by its wide name: TEMP may hold a character that the ANSI code page lacks.
    wchar_t recordPath[MAX_PATH + sizeof(kRecordName)];
    DWORD tempLength = GetTempPathW(MAX_PATH, recordPath);
    if (tempLength == 0 || tempLength >= MAX_PATH)
        return 1;
    for (size_t i = 0; i < sizeof(kRecordName); ++i)
        recordPath[tempLength + i] = (wchar_t)kRecordName[i];

    char currentFolder[MAX_PATH] = "";
    char self[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, currentFolder);
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    {
        Record record(recordPath);
        record.line("run", "");
        record.line("cmdline: ", GetCommandLineA());
        record.line("cwd: ", currentFolder);
        record.line("self: ", self);
        record.line("digest: ", FileDigest(self).text);
        record.line("flavour: ", DEMO_INSTALLER_FLAVOUR);
        RecordStringValues(record, "Software\\Pemrod\\Orvadesk");
        RecordStringValues(record, "Software\\Pemrod\\Orvadesk\\CustomParams");
        RecordStringValues(record, "Software\\Brightholm\\Orvadesk");
        RecordStringValues(record, "Software\\Brightholm\\Orvadesk\\CustomParams");
        record.line("end", "");
    }

    if (behaviour.leaveFileIn)
        LeaveFileIn(behaviour.leaveFileIn);
    if (behaviour.leaveInRunFolders)
        LeaveFileInRunFolders(self);
    if (behaviour.pauseMs)
        Sleep(behaviour.pauseMs);
    if (behaviour.crash)
        *(volatile int*)nullptr = 0;
    return (int)behaviour.exitCode;
}
