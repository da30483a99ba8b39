// Runs the extracted installer and removes what the loader put on disk for it.
#pragma once

#include "LoaderRun.h"

namespace loader {

// Holds the finished installer file open for reading with read sharing only, so that between
// the extraction and the start nobody can write, delete or rename it. Does nothing when
// run.installerLock is already held (the extraction may hand over its own handle).
// Logs and goes on without a lock when the file cannot be opened.
void LockExtractedInstaller(LoaderRun& run);

// Starts the installer (the installer path as the program, run.commandLine as its command
// line), releases the lock once it has started, waits for it without a time limit, pauses,
// deletes the installer file and, when this run made a temp log folder, moves the log into
// the main temp folder and removes the temp log folder (at the next reboot where it cannot be
// removed now). A failed start is logged and shown to the user; the clean-up still runs.
void RunInstallerAndCleanUp(LoaderRun& run);

// The pause after the installer goes through this pointer (Sleep unless a test replaces it).
using PauseFunction = void(__stdcall*)(unsigned long milliseconds);
extern PauseFunction g_pauseAfterInstaller;

}  // namespace loader
