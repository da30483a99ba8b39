// The parameter block that stands in the loader's own file, in a section of its own, where a
// delivery tool stamps it (rules/ParamBlock.h has its grammar and parser).
#pragma once
#include "rules/ParamBlock.h"

namespace loader {

// Copies the block that stands in this program's own file. Read through volatile access, so
// the compiler cannot fold the built-in text into the code that parses it.
void ReadStampedParamBlock(char (&block)[kParamBlockSize]);

}  // namespace loader
