// The main sequence's command-line step: the installer's command line and the
// custom-parameter text for this run, with what was left out written to the loader log.
#pragma once

#include "LoaderRun.h"

namespace loader {

// Fills run.commandLine and run.customParams from the arguments argv[1..argc-1] (each cut in
// place at its first blank) or, when there are none, from the stamped parameter block.
void BuildInstallerCommandLine(LoaderRun& run, int argc, char** argv);

}  // namespace loader
