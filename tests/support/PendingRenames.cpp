#include "PendingRenames.h"

#include <windows.h>

namespace support {
namespace {

const char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";

}  // namespace

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

std::vector<std::pair<std::string, std::string>> PendingRenamesUnder(const std::string& folder)
{
    std::vector<std::pair<std::string, std::string>> below;
    for (const auto& operation : PendingRenames()) {
        // The source is kept as "\??\" + the full path.
        if (operation.first.find(folder) != std::string::npos)
            below.push_back(operation);
    }
    return below;
}

std::vector<std::string> PendingOperationsUnder(const std::string& folder)
{
    std::vector<std::string> operations;
    for (const auto& operation : PendingRenamesUnder(folder)) {
        std::string text = operation.first + " -> " + operation.second;
        for (size_t at; (at = text.find("\\??\\" + folder)) != std::string::npos;)
            text.erase(at, 4 + folder.size());
        operations.push_back(text);
    }
    return operations;
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

}  // namespace support
