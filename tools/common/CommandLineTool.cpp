#include "CommandLineTool.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

namespace tool {

namespace {

const Option* Find(const std::vector<Option>& table, const std::string& typed)
{
    for (const Option& option : table) {
        if (typed == option.name || (option.letter && typed == option.letter))
            return &option;
    }
    return nullptr;
}

std::string OptionTitle(const Option& option, bool anyLetter)
{
    std::string title = "  ";
    if (option.letter)
        title += std::string(option.letter) + ", ";
    else if (anyLetter)
        title += "    ";
    title += option.name;
    if (option.operand)
        title += std::string(" ") + option.operand;
    return title;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, const std::vector<Option>& table, CommandLine& parsed,
                      std::string& error)
{
    bool operandsOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (operandsOnly || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }
        GivenOption given{0, arg, ""};
        const size_t equals = arg.compare(0, 2, "--") == 0 ? arg.find('=') : std::string::npos;
        if (equals != std::string::npos) {
            given.typed = arg.substr(0, equals);
            given.value = arg.substr(equals + 1);
        }
        const Option* option = Find(table, given.typed);
        if (!option) {
            error = "unknown option " + given.typed;
            return false;
        }
        if (!option->operand && equals != std::string::npos) {
            error = given.typed + " takes no value";
            return false;
        }
        if (option->operand && equals == std::string::npos) {
            if (i + 1 >= argc) {
                error = given.typed + " needs a value (" + option->operand + ")";
                return false;
            }
            given.value = argv[++i];
        }
        given.id = option->id;
        parsed.options.push_back(given);
    }
    return true;
}

std::string OptionsHelp(const std::vector<Option>& table)
{
    bool anyLetter = false;
    size_t column = 0;
    for (const Option& option : table)
        anyLetter = anyLetter || option.letter;
    for (const Option& option : table)
        column = std::max(column, OptionTitle(option, anyLetter).size() + 2);
    std::string help;
    for (const Option& option : table) {
        std::string title = OptionTitle(option, anyLetter);
        help += title + std::string(column - title.size(), ' ');
        for (const char* c = option.help; *c; ++c)
            help += *c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, *c);
        help += "\n";
    }
    return help;
}

std::string OneLine(const std::string& text)
{
    std::string shown;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

int Report(const char* tool, const std::string& file, const std::string& reason, int code)
{
    std::string line = std::string(tool) + ": ";
    if (!file.empty())
        line += OneLine(file) + ": ";
    line += OneLine(reason) + "\n";
    std::fflush(stdout);  // what was said before comes first where both go to one place
    std::fputs(line.c_str(), stderr);
    return code;
}

int ReportUsage(const char* tool, const std::string& reason)
{
    Report(tool, "", reason, kExitUsage);
    std::fprintf(stderr, "Try '%s --help'.\n", tool);
    return kExitUsage;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& why)
{
    // A folder is named as one on every system (Windows would not open it, and say no more
    // than that access is denied).
    struct stat status;
    if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        why = std::string("cannot read: ") + std::strerror(EISDIR);
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    bool ok = file != nullptr;
    unsigned char chunk[65536];
    size_t got;
    while (ok && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    ok = ok && !std::ferror(file);
    if (!ok)
        why = std::string("cannot read: ") + std::strerror(errno);
    if (file)
        std::fclose(file);
    return ok;
}

bool ReplaceWholeFile(const std::string& path, const unsigned char* data, size_t size, int mode,
                      std::string& why)
{
#ifndef _WIN32
    if (mode == kNewFileMode) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = static_cast<int>(0666 & ~mask);
    }
#endif
    std::string temporary = path + ".XXXXXX";
    const int file = mkstemp(&temporary[0]);
    if (file < 0) {
        why = "cannot write: " + std::string(std::strerror(errno));
        return false;
    }
    int error = 0;
    for (size_t written = 0; error == 0 && written < size;) {
        const ssize_t done = write(file, data + written, size - written);
        if (done > 0)
            written += static_cast<size_t>(done);
        else if (done == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
#ifdef _WIN32
    (void)mode;  // a new file is writable, as the one it replaces was
#else
    if (error == 0 && fchmod(file, static_cast<mode_t>(mode & 07777)) != 0)
        error = errno;
#endif
    if (close(file) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        why = "cannot write " + temporary + ": " + std::strerror(error);
        unlink(temporary.c_str());
        return false;
    }
#ifdef _WIN32
    // rename does not replace a file on Windows.
    if (!MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        char text[256] = "";
        const DWORD code = GetLastError();
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text, nullptr);
        why = "cannot put it in place: " + std::string(text, std::strcspn(text, "\r\n")) +
              " (error " + std::to_string(code) + ")";
#else
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        why = std::string("cannot put it in place: ") + std::strerror(errno);
#endif
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string VersionLine(const char* tool)
{
    return std::string(tool) + " (Orvadesk) " + ORVA_VERSION;
}

}  // namespace tool
