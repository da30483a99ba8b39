#include "StampedParamBlock.h"

// The block alone at the start of a section of its own, so a stamping tool finds it from the
// section table without knowing what it holds now. Its size never depends on its contents.
__attribute__((section(".orvapb"), used, aligned(16)))
const volatile char g_stampedParamBlock[loader::kParamBlockSize] = ORVA_UNSTAMPED_PARAM_BLOCK;

namespace loader {

void ReadStampedParamBlock(char (&block)[kParamBlockSize])
{
    for (size_t i = 0; i < kParamBlockChars; ++i)
        block[i] = g_stampedParamBlock[i];
    block[kParamBlockChars] = '\0';  // parsed as text whatever the stamp left in the last byte
}

}  // namespace loader
