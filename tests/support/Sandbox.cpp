#include "Sandbox.h"

#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace support {
namespace {

bool SameName(const std::string& entry, const std::string& name)
{
    return entry.size() > name.size() && entry[name.size()] == '=' &&
           _strnicmp(entry.c_str(), name.c_str(), name.size()) == 0;
}

}  // namespace

RunningProgram::~RunningProgram()
{
    if (!_process)
        return;
    if (!_result.finished)
        TerminateProcess(_process, 99);
    CloseHandle(_process);
}

RunningProgram::RunningProgram(RunningProgram&& other) noexcept
    : _process(other._process), _result(other._result)
{
    other._process = nullptr;
}

bool RunningProgram::wait(unsigned long timeoutMs)
{
    if (_result.finished)
        return true;
    if (!_process || WaitForSingleObject(_process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(_process, &code);
    _result.exitCode = code;
    _result.finished = true;
    return true;
}

Sandbox::Sandbox()
{
    static int counter = 0;
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    char name[64];
    snprintf(name, sizeof(name), "orva-test-%lu-%d-%lu", GetCurrentProcessId(), ++counter,
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

void Sandbox::setEnvironment(const std::string& name, const std::string& value)
{
    _environment[name] = value;
}

std::string Sandbox::install(const std::string& fileName, const std::string& source,
                             const std::string& folder) const
{
    std::string target = WithBackslash(folder.empty() ? _bin : folder) + fileName;
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
        ADD_FAILURE() << "cannot copy " << source << " to " << target << ": " << GetLastError();
    return target;
}

// The current environment with TEMP, TMP and this sandbox's variables replaced, as a
// CreateProcess environment block.
std::string Sandbox::environmentBlock() const
{
    std::map<std::string, std::string> replaced = _environment;
    replaced["TEMP"] = _temp;
    replaced["TMP"] = _temp;
    std::string block;
    char* strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry; entry += strlen(entry) + 1) {
        bool keep = true;
        for (const auto& variable : replaced)
            keep = keep && !SameName(entry, variable.first);
        if (keep)
            block.append(entry).push_back('\0');
    }
    FreeEnvironmentStringsA(strings);
    for (const auto& variable : replaced)
        block.append(variable.first + "=" + variable.second).push_back('\0');
    block.push_back('\0');
    return block;
}

RunningProgram Sandbox::start(const std::string& program, const std::string& arguments) const
{
    RunningProgram running;
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::string environment = environmentBlock();
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0,
                        &environment[0], _bin.c_str(), &startup, &process)) {
        running._result.startError = GetLastError();
        return running;
    }
    CloseHandle(process.hThread);
    running._process = process.hProcess;
    running._result.started = true;
    running._result.processId = process.dwProcessId;
    return running;
}

RunResult Sandbox::run(const std::string& program, const std::string& arguments,
                       unsigned long timeoutMs) const
{
    RunningProgram running = start(program, arguments);
    running.wait(timeoutMs);
    return running.result();
}

ProcessTemp::ProcessTemp(const std::string& folder)
{
    char value[MAX_PATH] = "";
    if (GetEnvironmentVariableA("TEMP", value, MAX_PATH) < MAX_PATH)
        _oldTemp = value;
    value[0] = '\0';
    if (GetEnvironmentVariableA("TMP", value, MAX_PATH) < MAX_PATH)
        _oldTmp = value;
    SetEnvironmentVariableA("TEMP", folder.c_str());
    SetEnvironmentVariableA("TMP", folder.c_str());
}

ProcessTemp::~ProcessTemp()
{
    SetEnvironmentVariableA("TEMP", _oldTemp.empty() ? nullptr : _oldTemp.c_str());
    SetEnvironmentVariableA("TMP", _oldTmp.empty() ? nullptr : _oldTmp.c_str());
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

}  // namespace support
