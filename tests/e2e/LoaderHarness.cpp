#include "LoaderHarness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifndef ORVA_BUILD_DIR
#error ORVA_BUILD_DIR must name the build folder
#endif

namespace e2e {
namespace {

std::string UnixToWindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string result = "Z:" + path;
    for (char& c : result) {
        if (c == '/')
            c = '\\';
    }
    return result;
}

std::string WithBackslash(std::string folder)
{
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    return folder;
}

// The current environment with TEMP and TMP replaced, as a CreateProcess environment block.
std::string EnvironmentWithTemp(const std::string& temp)
{
    std::string block;
    char* strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry; entry += strlen(entry) + 1) {
        if (_strnicmp(entry, "TEMP=", 5) == 0 || _strnicmp(entry, "TMP=", 4) == 0)
            continue;
        block.append(entry).push_back('\0');
    }
    FreeEnvironmentStringsA(strings);
    block.append("TEMP=" + temp).push_back('\0');
    block.append("TMP=" + temp).push_back('\0');
    block.push_back('\0');
    return block;
}

const char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";

}  // namespace

std::string BuildFile(const std::string& relativePath)
{
    return UnixToWindowsPath(std::string(ORVA_BUILD_DIR) + "/" + relativePath);
}

std::string LoaderExe() { return BuildFile("loader/loader.exe"); }
std::string DemoInstallerExe() { return BuildFile("tools/demo-installer/demo-installer.exe"); }

std::vector<LogLine> ParseLog(const std::string& content)
{
    std::vector<LogLine> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find("\r\n", start);
        std::string raw = content.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? content.size() : end + 2;
        LogLine line;
        char text[4096] = "";
        int consumed = 0;
        if (sscanf(raw.c_str(), "(%lX, %lu) - %n", &line.processId, &line.tick, &consumed) == 2 &&
            consumed > 0) {
            line.prefixed = true;
            line.text = raw.substr(consumed);
        } else {
            line.text = raw;
        }
        (void)text;
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LogTexts(const std::string& content)
{
    std::vector<std::string> texts;
    for (const LogLine& line : ParseLog(content))
        texts.push_back(line.text);
    return texts;
}

Sandbox::Sandbox()
{
    static int counter = 0;
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    char name[64];
    snprintf(name, sizeof(name), "orva-e2e-%lu-%d-%lu", GetCurrentProcessId(), ++counter,
             GetTickCount());
    _root = WithBackslash(std::string(base) + name);
    _temp = _root + "temp\\";
    _bin = _root + "bin\\";
    CreateDirectoryA(_root.c_str(), nullptr);
    CreateDirectoryA(_temp.c_str(), nullptr);
    CreateDirectoryA(_bin.c_str(), nullptr);
}

Sandbox::~Sandbox()
{
    if (!getenv("ORVA_KEEP_SANDBOX"))
        RemoveTree(_root);
}

std::string Sandbox::install(const std::string& fileName, const std::string& source,
                             const std::string& folder)
{
    std::string target = WithBackslash(folder.empty() ? _bin : folder) + fileName;
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
        ADD_FAILURE() << "cannot copy " << source << " to " << target << ": " << GetLastError();
    return target;
}

RunResult Sandbox::run(const std::string& program, const std::string& arguments,
                       unsigned long timeoutMs)
{
    RunResult result;
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::string environment = EnvironmentWithTemp(_temp);
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0,
                        &environment[0], _bin.c_str(), &startup, &process)) {
        result.startError = GetLastError();
        return result;
    }
    result.started = true;
    result.processId = process.dwProcessId;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        result.finished = true;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.exitCode = code;
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

std::vector<std::string> Sandbox::installerRecords() const
{
    std::vector<std::string> records;
    std::string content = ReadFile(_temp + "demo-installer.txt");
    size_t start = 0;
    while ((start = content.find("run\r\n", start)) != std::string::npos) {
        size_t end = content.find("end\r\n", start);
        records.push_back(content.substr(start, end == std::string::npos ? std::string::npos
                                                                           : end - start));
        start = end == std::string::npos ? content.size() : end;
    }
    return records;
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFile(const std::string& path)
{
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        content.append(buffer, got);
    CloseHandle(file);
    return content;
}

bool WriteFile(const std::string& path, const std::string& content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, content.data(), (DWORD)content.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == content.size();
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((WithBackslash(folder) + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0)
            names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

void RemoveTree(const std::string& path)
{
    if (FolderExists(path)) {
        for (const std::string& name : ListFolder(path))
            RemoveTree(WithBackslash(path) + name);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryA(path.c_str());
    } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

bool WaitUntil(bool (*condition)(const std::string&), const std::string& argument,
               unsigned long timeoutMs)
{
    DWORD start = GetTickCount();
    while (!condition(argument)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(100);
    }
    return true;
}

std::string FinalLog(const Sandbox& sandbox, const std::string& logFileName)
{
    return ReadFile(sandbox.mainTemp() + logFileName);
}

std::vector<std::pair<std::string, std::string>> PendingRenames()
{
    std::vector<std::pair<std::string, std::string>> pairs;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return pairs;
    DWORD size = 0, type = 0;
    if (RegQueryValueExA(key, kPendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size > 0) {
        std::vector<char> data(size + 2, '\0');
        if (RegQueryValueExA(key, kPendingValue, nullptr, &type, (BYTE*)data.data(), &size) ==
            ERROR_SUCCESS) {
            std::vector<std::string> strings;
            for (size_t i = 0; i < size;) {
                std::string s(&data[i]);
                strings.push_back(s);
                i += s.size() + 1;
            }
            // The list ends with an empty string; entries come in source/target pairs.
            while (!strings.empty() && strings.back().empty() && strings.size() % 2 == 1)
                strings.pop_back();
            for (size_t i = 0; i + 1 < strings.size(); i += 2)
                pairs.emplace_back(strings[i], strings[i + 1]);
        }
    }
    RegCloseKey(key);
    return pairs;
}

void ClearPendingRenames()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, kPendingValue);
        RegCloseKey(key);
    }
}

std::string MakeFolderOfLength(const Sandbox& box, size_t length)
{
    std::string folder = box.root();
    while (folder.size() < length) {
        size_t remaining = length - folder.size();
        size_t segment = std::min<size_t>(remaining - 1, 40);
        if (remaining - (segment + 1) == 1)
            --segment;
        folder += std::string(segment, 'd') + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    return folder;
}

}  // namespace e2e
