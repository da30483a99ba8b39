// The installer's command line and the custom-parameter text, built from the loader's
// arguments or, when it has none, from the stamped parameter block. Platform-free.
//
// Every argument or entry becomes a switch: " /", the name, and, when there is a value,
// " \"", the value and "\"". A name beginning with "CustomParams" is never passed on: its
// value becomes the custom-parameter text instead.
#pragma once
#include <stddef.h>

namespace loader {

// Why a piece of the input was left out; each is reported once, with the 1-based position of
// the argument or block entry it concerns.
enum class CommandLineNote {
    ArgumentSkipped,      // its switch would not fit the command line
    CustomParamsSkipped,  // its CustomParams value would not fit the custom-parameter text
    EntrySkipped,         // a block entry's switch or value would not fit
};

// Receives the notes; the caller turns them into log lines. May be null.
using CommandLineNoteSink = void (*)(void* context, CommandLineNote note, int position);

struct CommandLineOutput {
    char* commandLine;  // filled from the start
    size_t commandLineCapacity;
    char* customParams;  // filled from the start; empty when there is none
    size_t customParamsCapacity;
    CommandLineNoteSink noteSink;
    void* noteContext;
    // Asked, with noteContext and the position, before each argument is used: false leaves it
    // out whole (the caller reports why). May be null.
    bool (*keepArgument)(void* context, int position);
};

// Fills both texts. installerPath starts the command line, in double quotes when it holds a
// blank or tab so that neither the system nor the installer splits it. With argc of 2 or more
// the arguments argv[1..argc-1] are used and each is cut in place at its first blank (name
// before, value after); otherwise the block (read up to its first zero byte or blockCapacity)
// is. Nothing is ever cut to fit: an argument or value that would not fit is left out whole and
// reported through the sink. Returns false only when the installer path itself does not fit.
bool BuildInstallerCommandLine(const char* installerPath, int argc, char** argv, const char* block,
                               size_t blockCapacity, const CommandLineOutput& out);

// The same installer-path start alone: path, quoted when it holds a blank or tab.
bool StartCommandLineWithProgram(char* commandLine, size_t capacity, const char* programPath);

}  // namespace loader
