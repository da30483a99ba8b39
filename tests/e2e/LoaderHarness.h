// End-to-end harness: runs real loader executables under a fresh, private TEMP folder and
// reads back what they left: the loader log, files and folders, the installer's record.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// A file of the build tree (a path relative to the build folder) as a Windows path.
std::string BuildFile(const std::string& relativePath);

// The delivered loader and the demo installer as built in this tree.
std::string LoaderExe();
std::string DemoInstallerExe();

// One line of the loader log, split into its prefix fields and text.
struct LogLine {
    unsigned long processId = 0;
    unsigned long tick = 0;
    std::string text;
    bool prefixed = false;  // false for a line without the "(pid, ticks) - " prefix
};
std::vector<LogLine> ParseLog(const std::string& content);
std::vector<std::string> LogTexts(const std::string& content);

struct RunResult {
    bool started = false;
    bool finished = false;
    unsigned long exitCode = 0;
    unsigned long processId = 0;
    unsigned long startError = 0;  // CreateProcess's error when the program did not start
};

// A fresh folder tree for one scenario: <root>\temp\ serves as TEMP and TMP of the programs
// it starts, <root>\bin\ holds the loader copies. Removed again when the sandbox ends.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& root() const { return _root; }
    const std::string& temp() const { return _temp; }  // ends in a backslash
    const std::string& bin() const { return _bin; }    // ends in a backslash
    std::string mainTemp() const { return _temp + "Qx_314\\"; }

    // Lets the programs started from now on see another folder as TEMP (ending in a backslash).
    void setTemp(const std::string& folder) { _temp = folder; }

    // Copies an executable into folder (bin() by default) under the given file name.
    std::string install(const std::string& fileName, const std::string& source = LoaderExe(),
                        const std::string& folder = std::string());

    // Starts program with the raw command-line tail (after the quoted program path), with this
    // sandbox's TEMP, and waits up to timeoutMs for it to end.
    RunResult run(const std::string& program, const std::string& arguments = std::string(),
                  unsigned long timeoutMs = 120000);

    // The demo installer's records of this sandbox, one string per run.
    std::vector<std::string> installerRecords() const;

private:
    std::string _root, _temp, _bin;
};

// Files and folders.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& content);
std::vector<std::string> ListFolder(const std::string& folder);  // names, without . and ..
void RemoveTree(const std::string& path);
bool WaitUntil(bool (*condition)(const std::string&), const std::string& argument,
               unsigned long timeoutMs);

// Makes (and returns) a folder below the sandbox whose path, final backslash included, is
// exactly length characters long.
std::string MakeFolderOfLength(const Sandbox& box, size_t length);

// The loader log of a finished run: the main temp folder's log named after loaderFileName.
std::string FinalLog(const Sandbox& sandbox, const std::string& logFileName);

// Reboot-time operations registered through MoveFileEx: pairs of source and target ("" for
// a deletion), read from PendingFileRenameOperations; and a way to clear them between tests.
std::vector<std::pair<std::string, std::string>> PendingRenames();
void ClearPendingRenames();

}  // namespace e2e
