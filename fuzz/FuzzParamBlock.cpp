// The stamped parameter block over arbitrary 273-byte blocks, with no zero byte after them:
// the reader and the command-line builder must stay inside the block and the outputs.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "rules/CommandLine.h"
#include "rules/ParamBlock.h"

namespace {

constexpr size_t kOutputChars = 2048;
constexpr char kInstaller[] = "C:\\Temp\\Qx_314\\Setup.exe";

// The grammar as the block's description states it, on std::string.
struct ModelEntry {
    std::string name, value;
    bool hasValue;
};

bool ModelNext(const std::string& text, size_t& next, bool& done, ModelEntry& entry)
{
    if (done)
        return false;
    size_t opener = text.find("\"/", next);
    if (opener == std::string::npos)
        return done = true, false;
    size_t name = opener + 2;
    size_t close = text.find('"', name);
    if (close == std::string::npos)
        return done = true, false;
    std::string body = text.substr(name, close - name);
    size_t blank = body.find(' ');
    entry.hasValue = blank != std::string::npos;
    entry.name = body.substr(0, blank);
    entry.value = entry.hasValue ? body.substr(blank + 1) : std::string();
    next = name;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly 273 bytes of heap, no terminator: a read past the block is caught.
    std::unique_ptr<char[]> block(new char[loader::kParamBlockChars]);
    memset(block.get(), ' ', loader::kParamBlockChars);
    memcpy(block.get(), data, size < loader::kParamBlockChars ? size : loader::kParamBlockChars);
    const std::string text(block.get(), strnlen(block.get(), loader::kParamBlockChars));

    loader::ParamBlockReader reader(block.get(), loader::kParamBlockChars);
    loader::ParamEntry entry;
    size_t next = 0;
    bool done = false;
    ModelEntry expected;
    const char* const begin = block.get();
    const char* const end = begin + loader::kParamBlockChars;
    while (reader.Next(entry)) {
        FUZZ_CHECK(ModelNext(text, next, done, expected));
        FUZZ_CHECK(entry.name >= begin && entry.name + entry.nameLength <= end);
        FUZZ_CHECK(std::string(entry.name, entry.nameLength) == expected.name);
        FUZZ_CHECK(entry.hasValue == expected.hasValue);
        if (entry.hasValue) {
            FUZZ_CHECK(entry.value >= begin && entry.value + entry.valueLength <= end);
            FUZZ_CHECK(std::string(entry.value, entry.valueLength) == expected.value);
        }
        FUZZ_CHECK(entry.isCustomParams == (expected.name.compare(0, 12, "CustomParams") == 0));
    }
    FUZZ_CHECK(!ModelNext(text, next, done, expected));

    std::unique_ptr<char[]> line(new char[kOutputChars]);
    std::unique_ptr<char[]> custom(new char[kOutputChars]);
    loader::CommandLineOutput out = {line.get(), kOutputChars, custom.get(), kOutputChars,
                                     nullptr,    nullptr,      nullptr};
    char program[] = "loader.exe";
    char* argv[] = {program, nullptr};
    FUZZ_CHECK(loader::BuildInstallerCommandLine(kInstaller, 1, argv, block.get(),
                                                 loader::kParamBlockChars, out));
    FUZZ_CHECK(strnlen(line.get(), kOutputChars) < kOutputChars);
    FUZZ_CHECK(strnlen(custom.get(), kOutputChars) < kOutputChars);
    FUZZ_CHECK(strncmp(line.get(), kInstaller, sizeof kInstaller - 1) == 0);
    // Nothing of a 273-byte block is left out of 2,048-character outputs.
    FUZZ_CHECK(strlen(custom.get()) <= text.size());
    return 0;
}
