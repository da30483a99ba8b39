// Form decoding and pair splitting of custom-parameter texts.
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "rules/FormDecoding.h"

using loader::CustomParamSlice;
using loader::DecodeFormValue;
using loader::ForEachCustomParam;
using loader::HexPairValue;

namespace {

std::string Decode(const char* value)
{
    char* decoded = DecodeFormValue(value);
    EXPECT_NE(decoded, nullptr);
    if (!decoded)
        return "<null>";
    std::string result(decoded);
    free(decoded);
    return result;
}

TEST(HexPairValue, DigitsLettersAndOtherCharacters)
{
    struct Row {
        const char* name;
        const char* pair;
        unsigned expected;
    } rows[] = {
        {"upper-case hex", "41", 0x41},
        {"lower-case hex gives plus", "2b", 0x2B},
        {"mixed case", "aF", 0xAF},
        {"non-hex first counts with its code, low 8 bits kept", "G1", 0x71},
        {"non-hex second is or-ed in with its code", "0z", 'z'},
    };
    for (const Row& row : rows)
        EXPECT_EQ(HexPairValue(row.pair), row.expected) << row.name;
}

TEST(DecodeFormValue, Table)
{
    struct Row {
        const char* name;
        const char* value;
        std::string expected;
    } rows[] = {
        {"plain text is copied", "hello", "hello"},
        {"plus becomes a blank", "hello+world", "hello world"},
        {"escapes give their bytes", "%41%42", "AB"},
        {"escaped plus stays a plus", "1%2b1", "1+1"},
        {"empty value", "", ""},
        {"null value decodes as empty", nullptr, ""},
        {"%00 ends the text there", "ab%00cd", "ab"},
        {"percent as last character stays literal", "ab%", "ab%"},
        {"percent with one character after stays literal", "ab%4", "ab%4"},
        {"lone percent", "%", "%"},
        {"escape exactly at the end is decoded", "a%41", "aA"},
        {"non-hex pair still gives a byte", "%G1", "q"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Decode(row.value), row.expected) << row.name;
}

typedef std::vector<std::pair<std::string, std::string>> Pairs;

void Collect(const CustomParamSlice& pair, void* context)
{
    static_cast<Pairs*>(context)->emplace_back(std::string(pair.name, pair.nameLength),
                                               std::string(pair.value, pair.valueLength));
}

Pairs Split(const std::string& text)
{
    Pairs pairs;
    size_t count = ForEachCustomParam(text.c_str(), text.size(), Collect, &pairs);
    EXPECT_EQ(count, pairs.size());
    return pairs;
}

TEST(ForEachCustomParam, Table)
{
    struct Row {
        const char* name;
        const char* text;
        Pairs expected;
    } rows[] = {
        {"values are not decoded here", "a=1&d=%41+", {{"a", "1"}, {"d", "%41+"}}},
        {"empty text", "", {}},
        {"trailing & ends the walk", "a=1&", {{"a", "1"}}},
        {"trailing = gives an empty value", "a=", {{"a", ""}}},
        {"double & makes the second part of the next name", "a=1&&b=2", {{"a", "1"}, {"&b", "2"}}},
        {"leading blanks stay in the name", "  a=1", {{"  a", "1"}}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Split(row.text), row.expected) << row.name;
}

}  // namespace
