#include "CommandLineStep.h"

#include "rules/CommandLine.h"
#include "loaderlog/LoaderLog.h"
#include "StampedParamBlock.h"

#include <wchar.h>
#include <windows.h>

namespace loader {
namespace {

// What the notes and the argument check work with: the run, and the runtime's arguments in
// both forms.
struct Arguments {
    LoaderRun* run;
    char** ansi;
    int wideCount;
    wchar_t** wide;
};

void LogLeftOut(void*, CommandLineNote note, int position)
{
    const char* format = "Parameter block entry %d does not fit, skipped.";
    if (note == CommandLineNote::ArgumentSkipped)
        format = "Argument %d does not fit the installer command line, skipped.";
    else if (note == CommandLineNote::CustomParamsSkipped)
        format = "The CustomParams value of argument %d does not fit, skipped.";
    WriteLoaderLogF(kNoErrorCode, format, position);
}

// The runtime's wide arguments, split by the same rules as the ANSI ones.
struct StartupInfo {
    int newMode;
};
extern "C" int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment,
                                      int expandWildcards, StartupInfo* startup);

// An argument whose ANSI form is not what was typed (the code page gave a character it lacks as
// "?" or as a look-alike, a full-width quotation mark as '"' that regroups the arguments) is
// left out: passed on, it could add switches to the installer's command line.
bool KeepTypedArgument(void* context, int position)
{
    Arguments& arguments = *static_cast<Arguments*>(context);
    wchar_t back[kCommandLineChars];
    int length =
        MultiByteToWideChar(CP_ACP, 0, arguments.ansi[position], -1, back, kCommandLineChars);
    // Too long to compare is too long to fit: the command line leaves it out and says so.
    if (length == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        return true;
    if (arguments.wide && position < arguments.wideCount && length > 0 &&
        wcscmp(back, arguments.wide[position]) == 0)
        return true;
    WriteLoaderLogF(kNoErrorCode, "Argument %d is not as typed in this code page, skipped.",
                    position);
    return false;
}

}  // namespace

void BuildInstallerCommandLine(LoaderRun& run, int argc, char** argv)
{
    char block[kParamBlockSize];
    ReadStampedParamBlock(block);
    Arguments arguments = {&run, argv, 0, nullptr};
    wchar_t** environment = nullptr;
    StartupInfo startup = {0};
    if (argc > 1 &&
        __wgetmainargs(&arguments.wideCount, &arguments.wide, &environment, 0, &startup) < 0)
        arguments.wide = nullptr;
    CommandLineOutput out = {run.commandLine,   sizeof(run.commandLine),
                             run.customParams,  sizeof(run.customParams),
                             &LogLeftOut,       &arguments,
                             &KeepTypedArgument};
    if (!BuildInstallerCommandLine(run.installerPath, argc, argv, block, sizeof(block), out))
        WriteLoaderLog("The installer path does not fit the installer command line.");
}

}  // namespace loader
