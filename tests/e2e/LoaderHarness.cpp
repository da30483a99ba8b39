#include "LoaderHarness.h"

#include <gtest/gtest.h>

#ifndef ORVA_BUILD_DIR
#error ORVA_BUILD_DIR must name the build folder
#endif

namespace e2e {

std::string BuildFile(const std::string& relativePath)
{
    return support::UnixToWindowsPath(std::string(ORVA_BUILD_DIR) + "/" + relativePath);
}

std::string LoaderExe()
{
    return BuildFile("tests/e2e/loader-e2e.exe");
}
std::string OtherPayloadLoaderExe()
{
    return BuildFile("tests/e2e/loader-other.exe");
}
std::string NoPayloadLoaderExe()
{
    return BuildFile("tests/e2e/loader-nopayload.exe");
}
std::string DiskFullLoaderExe()
{
    return BuildFile("tests/e2e/loader-diskfull.exe");
}
std::string HookedLoaderExe()
{
    return BuildFile("tests/e2e/loader-hooked.exe");
}
std::string TemplateMadeLoaderExe()
{
    return BuildFile("tests/e2e/loader-from-template.exe");
}
std::string StampedLoaderExe(const std::string& name)
{
    return BuildFile("tests/e2e/" + name + ".exe");
}
std::string DemoInstallerExe()
{
    return BuildFile("tests/fixtures/demo-installer/demo-installer.exe");
}
std::string OtherInstallerExe()
{
    return BuildFile("tests/e2e/other-installer.exe");
}

std::vector<std::string> Sandbox::installerRecords() const
{
    std::vector<std::string> records;
    std::string content = ReadFile(temp() + "demo-installer.txt");
    size_t start = 0;
    while ((start = content.find("run\r\n", start)) != std::string::npos) {
        // A record still being written is not one yet.
        size_t end = content.find("end\r\n", start);
        if (end == std::string::npos)
            break;
        records.push_back(content.substr(start, end - start));
        start = end;
    }
    return records;
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

namespace {

std::string OnlyInstallerField(const Sandbox& box, const std::string& label)
{
    std::vector<std::string> records = box.installerRecords();
    EXPECT_EQ(1u, records.size());
    return records.empty() ? "<no installer run>" : RecordField(records[0], label);
}

}  // namespace

::testing::AssertionResult Ended(const RunResult& result, long exitCode)
{
    if (!result.finished)
        return ::testing::AssertionFailure() << "start error " << result.startError;
    if (exitCode >= 0 && result.exitCode != (unsigned long)exitCode)
        return ::testing::AssertionFailure() << "exit code " << result.exitCode;
    return ::testing::AssertionSuccess();
}

std::string OnlyInstallerCommandLine(const Sandbox& box)
{
    return OnlyInstallerField(box, "cmdline");
}

std::string OnlyInstallerSelf(const Sandbox& box)
{
    return OnlyInstallerField(box, "self");
}

std::string RunLog(const Sandbox& box, const std::string& logName)
{
    for (const std::string& folder : {box.mainTemp(), box.temp()}) {
        if (FileExists(folder + logName))
            return ReadFile(folder + logName);
        for (const std::string& sub : ListFolder(folder)) {
            if (sub.compare(0, 3, "log") == 0 && FileExists(folder + sub + "\\" + logName))
                return ReadFile(folder + sub + "\\" + logName);
        }
    }
    return std::string();
}

std::string TempLogPathFromLog(const std::vector<std::string>& texts)
{
    const std::string head = "Using ", tail = " as temp log path.";
    for (const std::string& line : texts) {
        if (line.compare(0, head.size(), head) == 0 && line.size() > head.size() + tail.size() &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
            return line.substr(head.size(), line.size() - head.size() - tail.size());
    }
    return std::string();
}

}  // namespace e2e
