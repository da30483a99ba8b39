// The whole life of the loader: prepares its temporary folders and log, extracts and runs
// the installer, cleans up. Runs once, on the process's only thread; no step aborts it.
#pragma once

#include "LoaderRun.h"

namespace loader {

// Runs the main sequence with the runtime's argument count and vector (argument 0 is the
// program itself). Always returns 0, the process exit code.
int RunMainSequence(LoaderRun& run, int argc, char** argv);

// The steps that prepare the run, exposed for the main sequence's own use and its tests.
void NameLoaderLog(LoaderRun& run);
void PrepareTempFolders(LoaderRun& run);

}  // namespace loader
