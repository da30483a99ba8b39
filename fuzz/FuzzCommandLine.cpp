// Argument lists into the 2,048-character command line: checked against a model of the
// rewriting built on std::string. The input is split into arguments at each zero byte; the
// first argument is the installer path.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "rules/CommandLine.h"

namespace {

constexpr size_t kOutputChars = 2048;

struct Note {
    loader::CommandLineNote note;
    int position;
};

void Collect(void* context, loader::CommandLineNote note, int position)
{
    static_cast<std::vector<Note>*>(context)->push_back({note, position});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> pieces;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            pieces.push_back(current);
            current.clear();
        } else {
            current.push_back(char(data[i]));
        }
    }
    pieces.push_back(current);
    const std::string installer = pieces[0];

    // Each argument in a heap block of its exact size.
    std::vector<std::unique_ptr<char[]>> storage;
    std::vector<char*> argv;
    storage.emplace_back(new char[7]);
    memcpy(storage.back().get(), "loader", 7);
    argv.push_back(storage.back().get());
    for (size_t i = 1; i < pieces.size(); ++i) {
        storage.emplace_back(new char[pieces[i].size() + 1]);
        memcpy(storage.back().get(), pieces[i].c_str(), pieces[i].size() + 1);
        argv.push_back(storage.back().get());
    }
    const int argc = int(argv.size());
    argv.push_back(nullptr);

    std::unique_ptr<char[]> line(new char[kOutputChars]);
    std::unique_ptr<char[]> custom(new char[kOutputChars]);
    std::vector<Note> notes;
    loader::CommandLineOutput out = {line.get(), kOutputChars, custom.get(), kOutputChars,
                                     &Collect,   &notes,       nullptr};
    const bool built =
        loader::BuildInstallerCommandLine(installer.c_str(), argc, argv.data(), nullptr, 0, out);

    // The model.
    std::string expectLine = installer;
    if (installer.find_first_of(" \t") != std::string::npos)
        expectLine = '"' + installer + '"';
    if (expectLine.size() >= kOutputChars) {
        FUZZ_CHECK(!built);
        return 0;
    }
    FUZZ_CHECK(built);
    std::string expectCustom;
    std::vector<Note> expectNotes;
    for (int i = 1; i < argc; ++i) {
        std::string name = pieces[size_t(i)];
        size_t blank = name.find(' ');
        bool hasValue = blank != std::string::npos;
        std::string value = hasValue ? name.substr(blank + 1) : std::string();
        if (hasValue)
            name.resize(blank);
        if (name.compare(0, 12, "CustomParams") == 0 && name.size() >= 12) {
            if (hasValue) {
                if (value.size() < kOutputChars)
                    expectCustom = value;
                else
                    expectNotes.push_back({loader::CommandLineNote::CustomParamsSkipped, i});
            }
            continue;
        }
        if (!name.empty() && (name[0] == '-' || name[0] == '/'))
            name.erase(0, 1);
        std::string item = " /" + name;
        if (hasValue)
            item += " \"" + value + "\"";
        if (expectLine.size() + item.size() < kOutputChars)
            expectLine += item;
        else
            expectNotes.push_back({loader::CommandLineNote::ArgumentSkipped, i});
    }
    FUZZ_CHECK(strnlen(line.get(), kOutputChars) < kOutputChars);
    FUZZ_CHECK(strnlen(custom.get(), kOutputChars) < kOutputChars);
    FUZZ_CHECK(expectLine == line.get());
    FUZZ_CHECK(expectCustom == custom.get());
    FUZZ_CHECK(expectNotes.size() == notes.size());
    for (size_t i = 0; i < notes.size(); ++i)
        FUZZ_CHECK(notes[i].note == expectNotes[i].note &&
                   notes[i].position == expectNotes[i].position);
    return 0;
}
