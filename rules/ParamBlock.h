// The stamped parameter block: a fixed-size, blank-filled text in the loader's own file that a
// delivery tool overwrites in place (without changing the file's size) to give a loader started
// without arguments its installer switches and custom parameters.
//
// Grammar: an entry begins at each "\"/" and runs to the next double quote (its closing quote);
// an entry without a closing quote ends the parse. The first blank inside the entry ends the
// name and starts the value. Text between entries is ignored. A name beginning with the 12
// characters "CustomParams" marks the custom-parameter entry.
//
// The parser is platform-free: the stamping tool reads blocks with the very same code. The
// block itself stands in the loader's file (loader/StampedParamBlock.h).
#pragma once
#include <stddef.h>

// Sixteen blanks, to spell the unstamped block's 257 blanks without counting by hand.
#define ORVA_BLANKS16 "                "
#define ORVA_BLANKS256                                                                             \
    ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16            \
        ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16        \
            ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16 ORVA_BLANKS16
// The block as the loader is built: "\"/", CustomParams, 257 blanks, "\"" and one blank.
#define ORVA_UNSTAMPED_PARAM_BLOCK "\"/CustomParams " ORVA_BLANKS256 "\" "

namespace loader {

constexpr size_t kParamBlockChars = 273;                  // the text, without its zero byte
constexpr size_t kParamBlockSize = kParamBlockChars + 1;  // the zero byte stays where it is
constexpr size_t kUnstampedValueChars = 256;              // blanks of the unstamped value
constexpr char kParamBlockSectionName[] = ".orvapb";      // the block's own PE section
constexpr char kCustomParamsName[] = "CustomParams";
constexpr size_t kCustomParamsNameChars = sizeof(kCustomParamsName) - 1;
constexpr char kEntryOpener[] = "\"/";
static_assert(sizeof(ORVA_UNSTAMPED_PARAM_BLOCK) == kParamBlockSize,
              "the parameter block is 273 characters and its zero byte");

// True if name (of nameLength characters) begins with the 12 characters "CustomParams";
// case-sensitive.
bool IsCustomParamsName(const char* name, size_t nameLength);

struct ParamEntry {
    const char* name;
    size_t nameLength;
    const char* value;  // meaningful only when hasValue
    size_t valueLength;
    bool hasValue;
    bool isCustomParams;
};

// Walks the entries of a block text. Reads no further than the first zero byte or capacity.
class ParamBlockReader {
public:
    ParamBlockReader(const char* text, size_t capacity);

    // The next entry, or false at the end (no further "\"/", or an entry without its closing
    // quote). The entry points into the text, which must outlive the reader.
    bool Next(ParamEntry& entry);

private:
    const char* _find(const char* from, char c) const;

    const char* _next;  // where the search for the next "\"/" starts
    const char* _end;   // first zero byte, or text + capacity
};

// The block as the loader is built, before any stamping: "\"/", CustomParams, 257 blanks,
// "\"" and one blank, then the zero byte.
void MakeUnstampedParamBlock(char (&block)[kParamBlockSize]);

}  // namespace loader
