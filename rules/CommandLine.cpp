#include "rules/CommandLine.h"

#include "rules/BoundedText.h"
#include "rules/ParamBlock.h"

#include <string.h>

namespace loader {
namespace {

constexpr char kSwitchLead[] = " /";
constexpr char kValueOpen[] = " \"";
constexpr char kValueClose[] = "\"";

void Note(const CommandLineOutput& out, CommandLineNote note, int position)
{
    if (out.noteSink)
        out.noteSink(out.noteContext, note, position);
}

// Appends " /name" and, with a value, " \"value\"" as a whole, or nothing at all.
bool AppendSwitch(const CommandLineOutput& out, const char* name, size_t nameLength,
                  const char* value, size_t valueLength, bool hasValue)
{
    char* line = out.commandLine;
    size_t capacity = out.commandLineCapacity;
    size_t before = strnlen(line, capacity);
    bool fits =
        TextAppend(line, capacity, kSwitchLead) && TextAppendN(line, capacity, name, nameLength);
    if (fits && hasValue) {
        fits = TextAppend(line, capacity, kValueOpen) &&
               TextAppendN(line, capacity, value, valueLength) &&
               TextAppend(line, capacity, kValueClose);
    }
    if (!fits && before < capacity)
        line[before] = '\0';  // take back the parts that did fit
    return fits;
}

void AppendArguments(int argc, char** argv, const CommandLineOutput& out)
{
    for (int i = 1; i < argc; ++i) {
        char* name = argv[i];
        if (!name || (out.keepArgument && !out.keepArgument(out.noteContext, i)))
            continue;
        // Only a quoted argument holds a blank: its first blank separates name and value.
        char* value = strchr(name, ' ');
        if (value)
            *value++ = '\0';

        // Compared on the argument itself: -CustomParams and /CustomParams are switches.
        if (IsCustomParamsName(name, strlen(name))) {
            if (value && !TextCopy(out.customParams, out.customParamsCapacity, value))
                Note(out, CommandLineNote::CustomParamsSkipped, i);
            continue;  // without a value the argument is dropped
        }
        if (name[0] == '-' || name[0] == '/')
            ++name;  // one leading switch character only
        if (!AppendSwitch(out, name, strlen(name), value, value ? strlen(value) : 0,
                          value != nullptr))
            Note(out, CommandLineNote::ArgumentSkipped, i);
    }
}

void AppendBlockEntries(const char* block, size_t blockCapacity, const CommandLineOutput& out)
{
    ParamBlockReader reader(block, blockCapacity);
    ParamEntry entry;
    int position = 0;
    while (reader.Next(entry)) {
        ++position;
        bool fits = true;
        if (entry.isCustomParams) {
            // Several CustomParams entries are joined, one after the other.
            if (entry.hasValue)
                fits = TextAppendN(out.customParams, out.customParamsCapacity, entry.value,
                                   entry.valueLength);
        } else {
            fits = AppendSwitch(out, entry.name, entry.nameLength, entry.value, entry.valueLength,
                                entry.hasValue);
        }
        if (!fits)
            Note(out, CommandLineNote::EntrySkipped, position);
    }
}

}  // namespace

bool StartCommandLineWithProgram(char* commandLine, size_t capacity, const char* programPath)
{
    if (!commandLine || capacity == 0)
        return false;
    commandLine[0] = '\0';
    if (!programPath)
        return true;
    if (!strchr(programPath, ' ') && !strchr(programPath, '\t'))
        return TextCopy(commandLine, capacity, programPath);
    if (TextCopy(commandLine, capacity, "\"") && TextAppend(commandLine, capacity, programPath) &&
        TextAppend(commandLine, capacity, "\""))
        return true;
    commandLine[0] = '\0';
    return false;
}

bool BuildInstallerCommandLine(const char* installerPath, int argc, char** argv, const char* block,
                               size_t blockCapacity, const CommandLineOutput& out)
{
    if (!out.customParams || out.customParamsCapacity == 0)
        return false;
    out.customParams[0] = '\0';
    if (!StartCommandLineWithProgram(out.commandLine, out.commandLineCapacity, installerPath))
        return false;

    if (argc >= 2 && argv)
        AppendArguments(argc, argv, out);
    else if (block)
        AppendBlockEntries(block, blockCapacity, out);
    return true;
}

}  // namespace loader
