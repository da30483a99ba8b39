// Runs the extracted installer and removes what the loader put on disk for it.
#pragma once

#include "LoaderRun.h"

namespace loader {

// Starts the installer (the installer path as the program, run.commandLine as its command
// line) only when run.installerLock holds it: then this run wrote it and checked what it
// holds. Releases the lock once CreateProcessA has returned, waits for the installer without
// a time limit and logs its exit code, pauses, deletes the installer file (at the next reboot
// where it cannot be deleted now) and, when this run made a temp log folder, moves the log into
// the main temp folder and removes the temp log folder (each at the next reboot where it cannot
// be done now; the log then stays in the folder until it moves, and takes every later line).
// Without a lock, or when the start fails, "Could not create process." is logged (with
// run.installerError when nothing was started) and shown to the user; the clean-up still runs.
void RunInstallerAndCleanUp(LoaderRun& run);

}  // namespace loader
