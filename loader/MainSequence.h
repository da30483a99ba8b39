// The whole life of the loader: prepares its temporary folders and log, extracts and runs
// the installer, cleans up. Runs once, on the process's only thread; no step aborts it.
#pragma once

#include "LoaderRun.h"

namespace loader {

// Runs the main sequence with the runtime's argument count and vector (argument 0 is the
// program itself). Always returns 0, the process exit code.
int RunMainSequence(LoaderRun& run, int argc, char** argv);

// The system's temp folder for SYSTEM alone (GetTempPath2A where the system has it, looked up
// at run time; 0 elsewhere). A SYSTEM run works there. Tests set another source.
using TempPathFunction = unsigned long(__stdcall*)(unsigned long capacity, char* path);
extern TempPathFunction g_systemTempPath2;

// The steps that prepare the run, exposed for the main sequence's own use and its tests.
void NameLoaderLog(LoaderRun& run);
void PrepareTempFolders(LoaderRun& run);

}  // namespace loader
