// loader-stamp: writes the parameter block of a delivered loader in place, without changing
// the file's size, and shows what the loader will make of the block. It refuses to stamp a
// signed file, whose signature stamping would break, unless told to remove the signature.
#include "CodePage.h"
#include "CommandLineTool.h"
#include "PeSection.h"
#include "PeSignature.h"
#include "StampText.h"

#include "rules/CommandLine.h"
#include "rules/ParamBlock.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr char kTool[] = "loader-stamp";

enum OptionId {
    kSwitchOption,
    kCustomOption,
    kCodePageOption,
    kResetOption,
    kClearOption,
    kRemoveSignatureOption,
    kShowOption,
    kHelpOption,
    kVersionOption
};

const std::vector<tool::Option> kOptions = {
    {kSwitchOption, "--switch", nullptr, "NAME[=VALUE]",
     "add an installer switch (NAME without blanks)"},
    {kCustomOption, "--custom", nullptr, "TEXT", "add custom parameters, for example 'a=1&b=2'"},
    {kCodePageOption, "--codepage", nullptr, "CP",
     "the ANSI code page of the machines the loader\n"
     "will run on (874, 932, 936, 949, 950, 1250 to\n"
     "1258, or 65001): texts are converted to it from\n"
     "UTF-8; without it they must be printable ASCII"},
    {kResetOption, "--reset", nullptr, nullptr, "restore the block the loader was built with"},
    {kClearOption, "--clear", nullptr, nullptr,
     "blank the block: no switches, no custom parameters"},
    {kRemoveSignatureOption, "--remove-signature", nullptr, nullptr,
     "remove the file's code signature (a signed file\n"
     "is not stamped otherwise); sign it again after"},
    {kShowOption, "--show", nullptr, nullptr,
     "print the block, what the loader makes of it,\nand the signature"},
    {kHelpOption, "--help", "-h", nullptr, "print this text and exit"},
    {kVersionOption, "--version", "-V", nullptr, "print the version and exit"},
};

void PrintHelp()
{
    std::cout
        << "Usage: loader-stamp LOADER.EXE [--switch NAME[=VALUE]]... [--custom TEXT]...\n"
           "                   [--codepage CP] [--remove-signature] [--show]\n"
           "       loader-stamp LOADER.EXE --reset|--clear [--remove-signature] [--show]\n"
           "       loader-stamp LOADER.EXE --remove-signature|--show\n"
           "       loader-stamp --help|--version\n"
           "\n"
           "Writes the parameter block that a loader started without arguments reads: each\n"
           "--switch is passed to the installer as /NAME (with \"VALUE\" when given); each --custom\n"
           "TEXT becomes the custom-parameter text (several are joined). The file is changed in\n"
           "place and keeps its size; stamp first, then sign.\n"
           "\n"
        << tool::OptionsHelp(kOptions)
        << "\n"
           "No text may hold a double quote or a control character, and no switch value may end in a\n"
           "backslash. A block that would not fit, a text that would be misread, a signed file, or a\n"
           "file that is not a loader is refused, and the file is left as it was.\n"
           "\n"
           "Exit status: 0 done; 1 refused, the file left as it was; 2 wrong usage; 3 the file\n"
           "could not be read or written (it is left as it was).\n";
}

// An item as the user typed it (for messages), and as it goes into the block.
struct TypedItem {
    std::string option;
    StampItem item;
};

struct Options {
    std::string path;
    std::vector<TypedItem> items;
    int codePage = 0;  // none named: printable ASCII only
    bool reset = false;
    bool clear = false;
    bool show = false;
    bool removeSignature = false;

    bool stamps() const { return reset || clear || !items.empty(); }
};

int Fail(const std::string& path, const std::string& message)
{
    return tool::Report(kTool, path, message, tool::kExitFailed);
}

int Refuse(const std::string& path, const std::string& message)
{
    return tool::Report(kTool, path, message + "; the file is left as it was", tool::kExitRefused);
}

int UsageError(const std::string& message)
{
    return tool::ReportUsage(kTool, message);
}

bool ParseCodePage(const std::string& text, int& codePage)
{
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    codePage = std::stoi(text);
    return IsAnsiCodePage(codePage);
}

constexpr int kGoOn = -1;

// kGoOn, or the exit code when there is nothing more to do (help, version, a usage error).
int ParseOptions(int argc, char** argv, Options& options)
{
    tool::CommandLine line;
    std::string error;
    if (!tool::ParseCommandLine(argc, argv, kOptions, line, error))
        return UsageError(error);
    for (const tool::GivenOption& given : line.options) {
        const std::string typed = given.typed + " " + given.value;
        switch (given.id) {
        case kHelpOption:
            PrintHelp();
            return tool::kExitDone;
        case kVersionOption:
            std::cout << tool::VersionLine(kTool) << "\n";
            return tool::kExitDone;
        case kShowOption:
            options.show = true;
            break;
        case kResetOption:
            options.reset = true;
            break;
        case kClearOption:
            options.clear = true;
            break;
        case kRemoveSignatureOption:
            options.removeSignature = true;
            break;
        case kCodePageOption:
            if (!ParseCodePage(given.value, options.codePage))
                return UsageError(typed + ": not an ANSI code page (874, 932, 936, 949, 950, "
                                          "1250 to 1258, or 65001)");
            break;
        case kSwitchOption:
            options.items.push_back({typed, SplitSwitch(given.value)});
            break;
        case kCustomOption: {
            StampItem item;
            item.isCustom = true;
            item.hasValue = true;
            item.value = given.value;
            options.items.push_back({typed, item});
            break;
        }
        }
    }
    if (line.operands.empty())
        return UsageError("no loader file given");
    if (line.operands.size() > 1)
        return UsageError("only one loader file at a time");
    options.path = line.operands[0];
    if ((options.reset || options.clear) &&
        (!options.items.empty() || (options.reset && options.clear)))
        return UsageError("--reset and --clear stand alone (no --switch or --custom)");
    if (!options.stamps() && !options.show && !options.removeSignature)
        return UsageError("nothing to do (give --switch, --custom, --reset, --clear, "
                          "--remove-signature or --show)");
    return kGoOn;
}

// Writes the whole image under a temporary name next to the file, then puts it in the file's
// place, so that a failed write leaves the file as it was. The file keeps its permissions.
bool WriteFileInPlace(const std::string& path, const std::vector<uint8_t>& image,
                      std::string& error)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        error = std::string("cannot read its permissions: ") + strerror(errno);
        return false;
    }
    return tool::ReplaceWholeFile(path, image.data(), image.size(),
                                  static_cast<int>(status.st_mode & 07777), error);
}

void Show(const char* block, int codePage, const CertificateTable& signature)
{
    std::string text(block, strnlen(block, loader::kParamBlockSize));
    std::string trimmed = text.substr(0, text.find_last_not_of(' ') + 1);
    std::cout << "Parameter block (" << loader::kParamBlockChars << " characters, "
              << text.size() - trimmed.size() << " trailing blanks not shown):\n  ["
              << ForDisplay(trimmed, codePage) << "]\n";

    // What the loader does when started without arguments, with its own code.
    char commandLine[2048];
    char customParams[2048];
    char program[] = "";
    char* argv[] = {program, nullptr};
    loader::CommandLineOutput out = {
        commandLine, sizeof(commandLine), customParams, sizeof(customParams), nullptr, nullptr};
    loader::BuildInstallerCommandLine("", 1, argv, block, loader::kParamBlockSize, out);
    std::cout << "Switches appended to the installer's command line:\n  ["
              << ForDisplay(commandLine, codePage) << "]\n";
    std::cout << "Custom-parameter text (" << strlen(customParams) << " characters):\n  ["
              << ForDisplay(customParams, codePage) << "]\n";
    if (signature.present)
        std::cout << "Signature: signed (certificate table of " << signature.size
                  << " bytes); stamping needs --remove-signature, and signing again after it\n";
    else
        std::cout << "Signature: none\n";
}

int Stamp(int argc, char** argv)
{
    Options options;
    int parsed = ParseOptions(argc, argv, options);
    if (parsed != kGoOn)
        return parsed;

    std::string error;
    for (TypedItem& typed : options.items) {
        if (!PrepareItem(typed.item, options.codePage, error))
            return Refuse(options.path, typed.option + ": " + error);
    }

    std::vector<uint8_t> image;
    if (!tool::ReadWholeFile(options.path, image, error))
        return Fail(options.path, error);
    PeSectionPlace place;
    if (!FindPeSection(image, loader::kParamBlockSectionName, place, error))
        return Refuse(options.path, error);
    size_t span = place.virtualSize ? std::min(place.rawSize, place.virtualSize) : place.rawSize;
    if (span < loader::kParamBlockSize || image[place.fileOffset + loader::kParamBlockChars] != 0)
        return Refuse(options.path, "the parameter block section is not a loader's (wrong size)");
    CertificateTable signature;
    if (!FindCertificateTable(image, signature, error))
        return Refuse(options.path, error);
    if (options.stamps() && signature.present && !options.removeSignature)
        return Refuse(options.path,
                      "the file is signed, and stamping would break its signature: stamp the "
                      "unsigned loader and sign it after stamping, or give --remove-signature to "
                      "remove the signature, stamp, and sign again");

    char block[loader::kParamBlockSize];
    memcpy(block, &image[place.fileOffset], loader::kParamBlockSize);
    if (options.reset) {
        loader::MakeUnstampedParamBlock(block);
    } else if (options.stamps()) {
        // With no items the composed text is all blanks: a block without any entry.
        std::vector<StampItem> items;
        for (const TypedItem& typed : options.items)
            items.push_back(typed.item);
        std::string text;
        if (!ComposeStampText(items, loader::kParamBlockChars, text, error))
            return Refuse(options.path, error);
        memcpy(block, text.data(), loader::kParamBlockChars);
        block[loader::kParamBlockChars] = '\0';
    }

    bool removing = options.removeSignature && signature.present;
    if (options.stamps() || removing) {
        std::vector<uint8_t> changed = image;
        if (removing && !RemoveCertificateTable(changed, error))
            return Refuse(options.path, error);
        if (changed.size() < place.fileOffset + loader::kParamBlockSize)
            return Refuse(options.path, "damaged executable (its certificate table overlaps the "
                                        "parameter block)");
        // The zero byte after the block stays as it is.
        memcpy(&changed[place.fileOffset], block, loader::kParamBlockChars);
        if (!RefreshPeChecksum(changed, error) || !FindCertificateTable(changed, signature, error))
            return Refuse(options.path, error);
        if (!WriteFileInPlace(options.path, changed, error))
            return Fail(options.path, error + "; the file is left as it was");
        if (removing)
            std::cout << "Removed the signature of " << options.path << "\n";
        if (options.stamps())
            std::cout << "Stamped " << options.path << "\n";
        if (removing)
            std::cout << options.path << " is unsigned now: sign it again before shipping it\n";
    } else if (options.removeSignature) {
        std::cout << options.path << " is not signed: nothing to remove\n";
    }
    if (options.show)
        Show(block, options.codePage, signature);
    return tool::kExitDone;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Stamp(argc, argv);
    } catch (const std::bad_alloc&) {
        return tool::Report(kTool, "", "not enough memory", tool::kExitFailed);
    }
}
