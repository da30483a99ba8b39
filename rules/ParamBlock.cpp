#include "rules/ParamBlock.h"

#include <string.h>

namespace loader {

bool IsCustomParamsName(const char* name, size_t nameLength)
{
    return name && nameLength >= kCustomParamsNameChars &&
           memcmp(name, kCustomParamsName, kCustomParamsNameChars) == 0;
}

ParamBlockReader::ParamBlockReader(const char* text, size_t capacity)
    : _next(text), _end(text ? text + strnlen(text, capacity) : nullptr)
{
}

const char* ParamBlockReader::_find(const char* from, char c) const
{
    for (const char* p = from; p < _end; ++p) {
        if (*p == c)
            return p;
    }
    return nullptr;
}

bool ParamBlockReader::Next(ParamEntry& entry)
{
    if (!_next)
        return false;
    const char* opener = nullptr;
    for (const char* p = _next; p + 1 < _end; ++p) {
        if (p[0] == kEntryOpener[0] && p[1] == kEntryOpener[1]) {
            opener = p;
            break;
        }
    }
    if (!opener) {
        _next = nullptr;
        return false;
    }
    const char* name = opener + 2;
    const char* close = _find(name, '"');
    if (!close) {
        _next = nullptr;  // an entry without its closing quote ends the parse
        return false;
    }
    const char* blank = nullptr;
    for (const char* p = name; p < close; ++p) {
        if (*p == ' ') {
            blank = p;
            break;
        }
    }
    entry.name = name;
    entry.nameLength = (size_t)((blank ? blank : close) - name);
    entry.hasValue = blank != nullptr;
    entry.value = blank ? blank + 1 : close;
    entry.valueLength = blank ? (size_t)(close - (blank + 1)) : 0;
    entry.isCustomParams = IsCustomParamsName(entry.name, entry.nameLength);
    // The next entry is searched from the first character of this one's name on, so a
    // closing quote directly followed by "/" opens the next entry.
    _next = name;
    return true;
}

void MakeUnstampedParamBlock(char (&block)[kParamBlockSize])
{
    memcpy(block, ORVA_UNSTAMPED_PARAM_BLOCK, kParamBlockSize);
}

}  // namespace loader
