// Shared by the command-line, launch and self-deletion scenarios: staging the installer and
// reading back what it received.
#pragma once

#include "LoaderHarness.h"

#include <string>
#include <vector>

namespace e2e {

// Puts the demo installer where the loader runs its installer from (the main temp folder's
// Setup.exe). A loader that carries a payload replaces it with the same program.
void StageInstaller(const Sandbox& box);

// The value of the first "label: " line of a demo installer record.
std::string RecordField(const std::string& record, const std::string& label);

// The command line of the only installer run recorded in box; fails the test otherwise.
std::string OnlyInstallerCommandLine(const Sandbox& box);

// The run's final log: in the main temp folder, or still in the per-run folder.
std::string RunLog(const Sandbox& box, const std::string& logName);

// Index of the first log line equal to text, or -1.
int FindLine(const std::vector<LogLine>& lines, const std::string& text, size_t from = 0);

}  // namespace e2e
