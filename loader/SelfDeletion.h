// Silent mode and the self-deletion of a loader that was started with arguments.
#pragma once

namespace loader {

// True when "-s" and "-a" (two characters each, case-sensitive) begin the first two of at
// least three arguments (argc counts the program too); then logs "### silent install
// detected ###". Logs nothing when false.
bool IsSilentInstall(int argc, char** argv);

// Writes a new batch file ~VOnnnnn.bat into the system temp folder, with a descriptor that lets
// only SYSTEM and Administrators change it, that deletes the loader's file once the loader has
// ended and then itself, and starts it through the system folder's command interpreter
// (cmd.exe /d /s /c, so no AutoRun command runs with it) hidden, suspended and at idle priority
// from the root folder; then raises the loader's own priority so that the batch runs only after
// the loader is done. A run elevated through the user's consent starts the batch with the user's
// own token, not elevated. Schedules nothing (and logs why) when the module path may not name
// the loader: cut at the path limit (modulePathComplete false), without a name in the ANSI code
// page (modulePathNamed false), holding "?" or "*", which the batch's del would take as
// wildcards, or holding '"', which would end the quotes around it; nor when the batch would run
// with raised rights and someone else could change a folder on the loader's path. A batch that
// cannot be written whole is deleted unstarted.
void ScheduleSelfDeletion(const char* systemTempPath, const char* modulePath,
                          bool modulePathComplete, bool modulePathNamed = true);

}  // namespace loader
