// Files, folders and condition waits for the test programs (Win32 calls, no code under test).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace support {

// A path of the build machine ("/...") as the Windows path Wine maps it to ("Z:\..."); any
// other path is returned as it is.
std::string UnixToWindowsPath(const std::string& path);

// folder with a final backslash (an empty folder stays empty).
std::string WithBackslash(std::string folder);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
long long FileSize(const std::string& path);    // -1 when the file cannot be queried
std::string ReadFile(const std::string& path);  // "" when the file cannot be read
// The lines of a text whose lines end in "\r\n" (the last one may end without).
std::vector<std::string> TextLines(const std::string& text);
bool WriteFile(const std::string& path, const std::string& content);
std::vector<std::string> ListFolder(const std::string& folder);  // names, without . and ..
// Every name below folder, with its path relative to folder, folders before their contents.
std::vector<std::string> ListTree(const std::string& folder);
// Removes a file, or a folder with everything in it, read-only files included.
void RemoveTree(const std::string& path);

// Polls condition until it holds or timeoutMs have passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, unsigned long timeoutMs);
bool WaitUntil(bool (*condition)(const std::string&), const std::string& argument,
               unsigned long timeoutMs);
// Waits until no file or folder is at path.
bool WaitUntilGone(const std::string& path, unsigned long timeoutMs);

}  // namespace support
