#include "CommandLineStep.h"

#include "CommandLine.h"
#include "loaderlog/LoaderLog.h"
#include "ParamBlock.h"

#include <windows.h>

namespace loader {
namespace {

void LogLeftOut(void* context, CommandLineNote note, int position)
{
    LoaderRun& run = *static_cast<LoaderRun*>(context);
    const char* format = "Parameter block entry %d does not fit, skipped.";
    if (note == CommandLineNote::ArgumentSkipped)
        format = "Argument %d does not fit the installer command line, skipped.";
    else if (note == CommandLineNote::CustomParamsSkipped)
        format = "The CustomParams value of argument %d does not fit, skipped.";
    wsprintfA(run.messageText, format, position);
    WriteLoaderLog(run.messageText);
}

}  // namespace

void BuildInstallerCommandLine(LoaderRun& run, int argc, char** argv)
{
    char block[kParamBlockSize];
    ReadStampedParamBlock(block);
    CommandLineOutput out = {run.commandLine,  sizeof(run.commandLine),
                             run.customParams, sizeof(run.customParams),
                             &LogLeftOut,      &run};
    if (!BuildInstallerCommandLine(run.installerPath, argc, argv, block, sizeof(block), out))
        WriteLoaderLog("The installer path does not fit the installer command line.");
}

}  // namespace loader
