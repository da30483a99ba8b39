// Form decoding of custom-parameter values and the split of a custom-parameter text into
// its name=value pairs. Pure byte logic, no platform calls, so it also builds natively.
#pragma once
#include <stddef.h>

namespace loader {

// The byte that the two characters of a "%" escape give: each hexadecimal digit counts
// with its value, any other character with its own code; the result is the low 8 bits of
// (first * 16) | second. So "41" gives 'A' and "G1" gives 0x71.
unsigned char HexPairValue(const char* pair);

// Decodes a form-encoded value: "+" becomes a blank, "%" and two characters become the
// byte HexPairValue gives, everything else is copied. A "%" followed by fewer than two
// characters stays a literal "%" and the rest is copied as it stands, so the walk never
// passes the value's end. Returns a malloc'd zero-terminated text of the input's length
// plus 1 bytes (the caller frees it with free), or null when the allocation fails.
// A null value decodes as the empty text.
char* DecodeFormValue(const char* value);

// One pair of a custom-parameter text, as slices of that text (not terminated).
struct CustomParamSlice {
    const char* name;
    size_t nameLength;
    const char* value;
    size_t valueLength;
};

typedef void (*CustomParamCallback)(const CustomParamSlice& pair, void* context);

// Walks the pairs of a custom-parameter text of the given length, in order:
//   f := -1; repeat: the first "=" at or after f + 1 ends the name (none: stop); the name
//   runs from f + 1 (it may be empty and may hold "&"); the first "&" after that "="
//   ends the value (a value may hold "="), or the text's end does; f := that "&".
// So "a=1&b&d=3" gives a=1 and "b&d"=3, and "a=b=d" gives a="b=d".
// Returns the number of pairs passed to the callback.
size_t ForEachCustomParam(const char* text, size_t length, CustomParamCallback callback,
                          void* context);

}  // namespace loader
