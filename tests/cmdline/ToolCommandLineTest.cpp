// The host tools' command lines: the forms an option and its value may take, which arguments
// are files, and what is a usage error.
#include "CommandLineTool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum { kName, kQuiet };

const std::vector<tool::Option> kTable = {
    {kName, "--name", nullptr, "NAME", "a value"},
    {kQuiet, "--quiet", "-q", nullptr, "a switch"},
};

// Each option as "typed=value(id)", then "|" and the operands; or the usage error.
std::string Parse(std::vector<std::string> args)
{
    std::vector<char*> argv = {const_cast<char*>("tool")};
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    tool::CommandLine line;
    std::string error;
    if (!tool::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), kTable, line, error))
        return "error: " + error;
    std::string parsed;
    for (const tool::GivenOption& given : line.options)
        parsed += given.typed + "=" + given.value + (given.id == kName ? "(name) " : "(quiet) ");
    parsed += "|";
    for (const std::string& operand : line.operands)
        parsed += " " + operand;
    return parsed;
}

TEST(ToolCommandLineTest, OptionsValuesOperandsAndErrors)
{
    const struct {
        const char* why;
        std::vector<std::string> args;
        const char* parsed;
    } rows[] = {
        {"value after a blank or an equals sign, in the order given",
         {"in", "--name", "a", "out", "--name=b=c"},
         "--name=a(name) --name=b=c(name) | in out"},
        {"a value may begin with a dash or be empty",
         {"--name", "-q", "--name="},
         "--name=-q(name) --name=(name) |"},
        {"the letter of an option", {"-q", "x"}, "-q=(quiet) | x"},
        {"a lone dash is a file", {"-", "--quiet"}, "--quiet=(quiet) | -"},
        {"everything after a double dash is a file", {"--", "--quiet", "-q"}, "| --quiet -q"},
        {"no abbreviations", {"--na=x"}, "error: unknown option --na"},
        {"no letters run together", {"-qq"}, "error: unknown option -qq"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.parsed, Parse(row.args)) << row.why;
}

}  // namespace
