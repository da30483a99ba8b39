#include "RunFolders.h"

#include "InstallerStage.h"

#include <gtest/gtest.h>

namespace e2e {

std::string LoggedTempLogPath(const std::vector<std::string>& texts)
{
    const std::string head = "Using ", tail = " as temp log path.";
    for (const std::string& line : texts) {
        if (line.size() > head.size() + tail.size() && line.compare(0, head.size(), head) == 0 &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
            return line.substr(head.size(), line.size() - head.size() - tail.size());
    }
    return std::string();
}

std::string OnlyInstallerSelf(const Sandbox& box)
{
    std::vector<std::string> records = box.installerRecords();
    EXPECT_EQ(1u, records.size());
    return records.empty() ? "<no installer run>" : RecordField(records[0], "self");
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace e2e
