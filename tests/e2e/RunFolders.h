// Where a run put its installer: the per-run folder named in its log, and the path that the
// installer recorded as its own.
#pragma once

#include "LoaderHarness.h"

#include <string>
#include <vector>

namespace e2e {

// The folder of the log line "Using <folder> as temp log path.", or "" when there is none.
std::string LoggedTempLogPath(const std::vector<std::string>& texts);

// The path that the only installer run recorded in box gave as its own; fails the test when
// there was not exactly one run.
std::string OnlyInstallerSelf(const Sandbox& box);

// The folder part of a path, final backslash included.
std::string FolderOf(const std::string& path);

}  // namespace e2e
