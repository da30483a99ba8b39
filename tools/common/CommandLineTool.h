// What the host tools share as command-line programs: one table of options that both the
// parser and the help text are made from, the exit codes, and messages of one line each.
#pragma once
#include <string>
#include <vector>

namespace tool {

// Exit codes, the same for every host tool.
enum ExitCode {
    kExitDone = 0,     // did what was asked
    kExitRefused = 1,  // the request or the input is not acceptable; no file was changed
    kExitUsage = 2,    // the command line is wrong
    kExitFailed = 3,   // a file could not be read or written, or the tool's own check failed
};

struct Option {
    int id;
    const char* name;     // "--switch"
    const char* letter;   // "-q", or nullptr
    const char* operand;  // what the value is called ("NAME[=VALUE]"), or nullptr: no value
    const char* help;     // "\n" continues the description on a line of its own
};

struct GivenOption {
    int id;
    std::string typed;  // the option as it was typed, without its value: "--switch", "-q"
    std::string value;
};

struct CommandLine {
    std::vector<GivenOption> options;  // in the order given
    std::vector<std::string> operands;
};

// Reads the arguments against the table: "--name", "--name=value", "--name value", "-x",
// "-x value". "-" alone is an operand, and every argument after "--" is one. False, with the
// reason in error, on an unknown option, a missing value, or a value for an option that takes
// none.
bool ParseCommandLine(int argc, char** argv, const std::vector<Option>& table, CommandLine& parsed,
                      std::string& error);

// The options part of a help text: one entry per row of the table, descriptions in a column.
std::string OptionsHelp(const std::vector<Option>& table);

// Text made safe for one line of a terminal or a log: control characters are shown as \xNN.
std::string OneLine(const std::string& text);

// Writes "<tool>: <file>: <reason>" (no file part when file is empty) as one line on standard
// error and returns code.
int Report(const char* tool, const std::string& file, const std::string& reason, int code);

// Writes a usage error and where to find help on standard error; returns kExitUsage.
int ReportUsage(const char* tool, const std::string& reason);

// Reads a whole file. False, with "cannot read: <the system's reason>" in why, when it cannot
// be opened or read (a folder, for one).
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& why);

// Writes a whole file by replacing path: the bytes go to a new file beside it, made under a
// fresh name that nothing else has (so neither another run's file nor a link placed there is
// written through), which is then renamed over path; a failed or interrupted write leaves
// path as it was. The file gets mode, or, for kNewFileMode, what a newly created file gets
// (0666 less the umask). False, with the reason in why, when it cannot be done.
constexpr int kNewFileMode = -1;
bool ReplaceWholeFile(const std::string& path, const unsigned char* data, size_t size, int mode,
                      std::string& why);

// "<tool> (Orvadesk) <version>": the project's version, given when the tools are configured.
std::string VersionLine(const char* tool);

}  // namespace tool
