#include "InstallerStage.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace e2e {

void StageInstaller(const Sandbox& box)
{
    CreateDirectoryA(box.mainTemp().c_str(), nullptr);
    std::string target = box.mainTemp() + "Setup.exe";
    if (!CopyFileA(DemoInstallerExe().c_str(), target.c_str(), FALSE))
        ADD_FAILURE() << "cannot stage " << target << ": " << GetLastError();
}

std::string RecordField(const std::string& record, const std::string& label)
{
    std::string head = label + ": ";
    size_t at = record.find("\r\n" + head);
    if (at == std::string::npos)
        return "<no " + label + ">";
    at += 2 + head.size();
    return record.substr(at, record.find("\r\n", at) - at);
}

std::string OnlyInstallerCommandLine(const Sandbox& box)
{
    std::vector<std::string> records = box.installerRecords();
    EXPECT_EQ(1u, records.size());
    return records.empty() ? "<no installer run>" : RecordField(records[0], "cmdline");
}

std::string RunLog(const Sandbox& box, const std::string& logName)
{
    std::string log = ReadFile(box.mainTemp() + logName);
    if (!log.empty())
        return log;
    for (const std::string& sub : ListFolder(box.mainTemp())) {
        if (sub.compare(0, 3, "log") == 0 && FileExists(box.mainTemp() + sub + "\\" + logName))
            return ReadFile(box.mainTemp() + sub + "\\" + logName);
    }
    return std::string();
}

int FindLine(const std::vector<LogLine>& lines, const std::string& text, size_t from)
{
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].text == text)
            return (int)i;
    }
    return -1;
}

}  // namespace e2e
