// Custom-parameter texts into decoded pairs: the pair walk checked against its stated rule on
// std::string, and every name and value decoded as the persistence does.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "rules/FormDecoding.h"

namespace {

struct Walk {
    const char* begin;
    const char* end;
    std::vector<std::pair<std::string, std::string>> pairs;
};

void Take(const loader::CustomParamSlice& pair, void* context)
{
    Walk* walk = static_cast<Walk*>(context);
    FUZZ_CHECK(pair.name >= walk->begin && pair.name + pair.nameLength <= walk->end);
    FUZZ_CHECK(pair.value >= walk->begin && pair.value + pair.valueLength <= walk->end);
    walk->pairs.emplace_back(std::string(pair.name, pair.nameLength),
                             std::string(pair.value, pair.valueLength));
}

unsigned DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return unsigned(c - '0');
    if (c >= 'a' && c <= 'f')
        return unsigned(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return unsigned(c - 'A' + 10);
    return (unsigned char)c;
}

// "+" is a blank; "%" with two characters after it is one byte; anything else stays.
std::string ModelDecode(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size();) {
        if (value[i] == '+') {
            out += ' ';
            ++i;
        } else if (value[i] == '%' && value.size() - i > 2) {
            out += char((DigitValue(value[i + 1]) * 16 | DigitValue(value[i + 2])) & 0xFF);
            i += 3;
        } else {
            out += value[i++];
        }
    }
    return out;
}

void CheckDecode(const std::string& text)
{
    // Decoded from an exact zero-terminated copy, as the persistence hands it over.
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    memcpy(copy.get(), text.c_str(), text.size() + 1);
    char* decoded = loader::DecodeFormValue(copy.get());
    FUZZ_CHECK(decoded != nullptr);
    const std::string expected = ModelDecode(std::string(copy.get()));
    FUZZ_CHECK(memcmp(decoded, expected.data(), expected.size()) == 0);
    FUZZ_CHECK(decoded[expected.size()] == '\0');
    free(decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<char[]> text(new char[size ? size : 1]);
    memcpy(text.get(), data, size);
    Walk walk = {text.get(), text.get() + size, {}};
    const size_t count = loader::ForEachCustomParam(text.get(), size, &Take, &walk);
    FUZZ_CHECK(count == walk.pairs.size());

    // f := -1; the first "=" at or after f + 1 ends the name; the first "&" after it ends
    // the value; f := that "&".
    const std::string s(reinterpret_cast<const char*>(data), size);
    std::vector<std::pair<std::string, std::string>> expected;
    size_t nameStart = 0;
    for (;;) {
        size_t equals = s.find('=', nameStart);
        if (equals == std::string::npos)
            break;
        size_t amp = s.find('&', equals + 1);
        size_t valueEnd = amp == std::string::npos ? s.size() : amp;
        expected.emplace_back(s.substr(nameStart, equals - nameStart),
                              s.substr(equals + 1, valueEnd - equals - 1));
        if (amp == std::string::npos)
            break;
        nameStart = amp + 1;
    }
    FUZZ_CHECK(expected == walk.pairs);

    for (const auto& pair : walk.pairs) {
        CheckDecode(pair.first);
        CheckDecode(pair.second);
    }
    if (size >= 2)
        (void)loader::HexPairValue(text.get() + size - 2);
    return 0;
}
