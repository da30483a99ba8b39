// loader-stamp: writes the parameter block of a delivered loader in place, without changing
// the file's size, and shows what the loader will make of the block.
#include "PeSection.h"
#include "StampText.h"

#include "loader/CommandLine.h"
#include "loader/ParamBlock.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: loader-stamp LOADER.EXE [--switch NAME[=VALUE]]... [--custom TEXT]... [--show]\n"
    "       loader-stamp LOADER.EXE --reset|--clear [--show]\n"
    "\n"
    "Writes the parameter block that a loader started without arguments reads: each\n"
    "--switch is passed to the installer as /NAME (with \"VALUE\" when given); each --custom\n"
    "TEXT becomes the custom-parameter text (several are joined). The file is changed in\n"
    "place and keeps its size; stamp first, then sign.\n"
    "\n"
    "  --switch NAME[=VALUE]  add an installer switch (NAME without blanks)\n"
    "  --custom TEXT          add custom parameters, for example 'a=1&b=2'\n"
    "  --reset                restore the block the loader was built with\n"
    "  --clear                blank the block: no switches, no custom parameters\n"
    "  --show                 print the block and what the loader makes of it\n"
    "  --help                 print this text\n"
    "\n"
    "No text may hold a double quote. A block that would not fit, or a file that is not a\n"
    "loader, is refused and the file is left untouched.\n";

struct Options {
    std::string path;
    std::vector<StampItem> items;
    bool reset = false;
    bool clear = false;
    bool show = false;
};

int Fail(const std::string& path, const std::string& message)
{
    std::cerr << "loader-stamp: " << (path.empty() ? "" : path + ": ") << message << "\n";
    return 1;
}

// 0 on success, 2 for a usage error (already reported), -1 for --help.
int ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto operand = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::cerr << "loader-stamp: " << arg << " needs a value\n";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string value, error;
        if (arg == "--help" || arg == "-h") {
            return -1;
        } else if (arg == "--show") {
            options.show = true;
        } else if (arg == "--reset") {
            options.reset = true;
        } else if (arg == "--clear") {
            options.clear = true;
        } else if (arg == "--switch") {
            StampItem item;
            if (!operand(value))
                return 2;
            if (!ParseSwitch(value, item, error))
                return Fail("", error), 1;
            options.items.push_back(item);
        } else if (arg == "--custom") {
            if (!operand(value))
                return 2;
            if (!CheckCustomText(value, error))
                return Fail("", error), 1;
            StampItem item;
            item.isCustom = true;
            item.hasValue = true;
            item.value = value;
            options.items.push_back(item);
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "loader-stamp: unknown option " << arg << "\n";
            return 2;
        } else if (options.path.empty()) {
            options.path = arg;
        } else {
            std::cerr << "loader-stamp: only one loader file at a time\n";
            return 2;
        }
    }
    if (options.path.empty()) {
        std::cerr << "loader-stamp: no loader file given\n";
        return 2;
    }
    if ((options.reset || options.clear) && (!options.items.empty() || (options.reset && options.clear))) {
        std::cerr << "loader-stamp: --reset and --clear stand alone (no --switch or --custom)\n";
        return 2;
    }
    if (!options.reset && !options.clear && options.items.empty() && !options.show) {
        std::cerr << "loader-stamp: nothing to do (give --switch, --custom, --reset, --clear or --show)\n";
        return 2;
    }
    return 0;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void Show(const char* block)
{
    std::string text(block, strnlen(block, loader::kParamBlockSize));
    std::string trimmed = text.substr(0, text.find_last_not_of(' ') + 1);
    std::cout << "Parameter block (" << loader::kParamBlockChars << " characters, "
              << text.size() - trimmed.size() << " trailing blanks not shown):\n  [" << trimmed
              << "]\n";

    // What the loader does when started without arguments, with its own code.
    char commandLine[2048];
    char customParams[2048];
    char program[] = "";
    char* argv[] = {program, nullptr};
    loader::CommandLineOutput out = {commandLine, sizeof(commandLine), customParams,
                                     sizeof(customParams), nullptr, nullptr};
    loader::BuildInstallerCommandLine("", 1, argv, block, loader::kParamBlockSize, out);
    std::cout << "Switches appended to the installer's command line:\n  [" << commandLine
              << "]\n";
    std::cout << "Custom-parameter text (" << strlen(customParams) << " characters):\n  ["
              << customParams << "]\n";
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    int parsed = ParseOptions(argc, argv, options);
    if (parsed == -1) {
        std::cout << kUsage;
        return 0;
    }
    if (parsed != 0) {
        if (parsed == 2)
            std::cerr << "Try 'loader-stamp --help'.\n";
        return parsed;
    }

    std::vector<uint8_t> image;
    if (!ReadFile(options.path, image))
        return Fail(options.path, std::string("cannot read: ") + strerror(errno));
    PeSectionPlace place;
    std::string error;
    if (!FindPeSection(image, loader::kParamBlockSectionName, place, error))
        return Fail(options.path, error);
    size_t span = place.virtualSize ? std::min(place.rawSize, place.virtualSize) : place.rawSize;
    if (span < loader::kParamBlockSize || image[place.fileOffset + loader::kParamBlockChars] != 0)
        return Fail(options.path, "the parameter block section is not a loader's (wrong size)");

    char block[loader::kParamBlockSize];
    memcpy(block, &image[place.fileOffset], loader::kParamBlockSize);

    if (options.reset || options.clear || !options.items.empty()) {
        std::string text;
        if (options.reset) {
            loader::MakeUnstampedParamBlock(block);
        } else {
            // With no items the composed text is all blanks: a block without any entry.
            if (!ComposeStampText(options.items, loader::kParamBlockChars, text, error))
                return Fail(options.path, error + "; file left untouched");
            memcpy(block, text.data(), loader::kParamBlockChars);
            block[loader::kParamBlockChars] = '\0';
        }
        std::fstream file(options.path, std::ios::binary | std::ios::in | std::ios::out);
        if (!file)
            return Fail(options.path, std::string("cannot open for writing: ") + strerror(errno));
        file.seekp((std::streamoff)place.fileOffset);
        file.write(block, loader::kParamBlockChars);  // the zero byte after it stays as it is
        file.flush();
        if (!file)
            return Fail(options.path, "writing the parameter block failed");
        std::cout << "Stamped " << options.path << "\n";
    }
    if (options.show)
        Show(block);
    return 0;
}
