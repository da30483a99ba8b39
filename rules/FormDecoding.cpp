#include "rules/FormDecoding.h"

#include <stdlib.h>
#include <string.h>

namespace loader {

namespace {

constexpr char kEscape = '%';
constexpr char kEncodedBlank = '+';
constexpr char kPairSeparator = '&';
constexpr char kNameValueSeparator = '=';
constexpr size_t kEscapeDigits = 2;

unsigned HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return (unsigned)(c - '0');
    if (c >= 'a' && c <= 'f')
        return (unsigned)(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return (unsigned)(c - 'A' + 10);
    return (unsigned char)c;  // not a digit: counts with its own code
}

// Position of the first c in text[from, length), or length when there is none.
size_t FindFrom(const char* text, size_t length, size_t from, char c)
{
    for (size_t i = from; i < length; ++i)
        if (text[i] == c)
            return i;
    return length;
}

}  // namespace

unsigned char HexPairValue(const char* pair)
{
    return (unsigned char)((HexDigitValue(pair[0]) * 16) | HexDigitValue(pair[1]));
}

char* DecodeFormValue(const char* value)
{
    if (!value)
        value = "";
    size_t length = strlen(value);
    char* out = (char*)malloc(length + 1);
    if (!out)
        return nullptr;
    char* o = out;
    size_t i = 0;
    while (i < length) {
        char c = value[i];
        if (c == kEncodedBlank) {
            *o++ = ' ';
            ++i;
        } else if (c == kEscape && length - i > kEscapeDigits) {
            *o++ = (char)HexPairValue(value + i + 1);
            i += 1 + kEscapeDigits;
        } else {
            // Includes a "%" too close to the end for a full escape: kept as it stands.
            *o++ = c;
            ++i;
        }
    }
    *o = '\0';
    return out;
}

size_t ForEachCustomParam(const char* text, size_t length, CustomParamCallback callback,
                          void* context)
{
    if (!text || !callback)
        return 0;
    size_t pairs = 0;
    size_t nameStart = 0;  // f + 1
    for (;;) {
        size_t equals = FindFrom(text, length, nameStart, kNameValueSeparator);
        if (equals == length)
            return pairs;
        size_t valueStart = equals + 1;
        size_t amp = FindFrom(text, length, valueStart, kPairSeparator);
        CustomParamSlice pair = {text + nameStart, equals - nameStart, text + valueStart,
                                 amp - valueStart};
        callback(pair, context);
        ++pairs;
        if (amp == length)
            return pairs;
        nameStart = amp + 1;
    }
}

}  // namespace loader
