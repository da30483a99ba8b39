#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string siblingPath(const char* fileName) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path, n);
    return own.substr(0, own.find_last_of("\\/") + 1) + fileName;
}

std::string readFile(const std::string& path) {
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
    char buffer[1024];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

TEST(VoStaticObjects, MadeBeforeEntryAndTornDownInFixedOrder) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string output = std::string(folder) + "vo-teardown-probe.txt";
    DeleteFileA(output.c_str());
    std::string commandLine = "\"" + siblingPath("foundation_teardown_probe.exe") + "\" \"" + output + "\"";

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(0u, exitCode);

    EXPECT_EQ("started\n"
              "step 1: process mutex gone, tls index present\n"
              "step 2: process mutex gone, tls index gone\n"
              "step 3: process mutex gone, tls index gone\n",
              readFile(output));
    DeleteFileA(output.c_str());
}

}  // namespace
