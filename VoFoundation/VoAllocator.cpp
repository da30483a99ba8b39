#include "VoFoundation/VoAllocator.h"

#include <stdlib.h>

namespace {
int32 gCalls = 0;
int32 gFailOn = 0;    // absolute call number to fail once, 0 = none
int32 gFailFrom = 0;  // absolute call number from which every call fails, 0 = none
}  // namespace

void* VoAlloc(size_t size)
{
    ++gCalls;
    if (gFailOn != 0 && gCalls == gFailOn) {
        gFailOn = 0;
        return nullptr;
    }
    if (gFailFrom != 0 && gCalls >= gFailFrom)
        return nullptr;
    return malloc(size != 0 ? size : 1);
}

void VoFree(void* block)
{
    free(block);
}

void VoAllocFailOnCall(int32 n)
{
    gFailOn = n > 0 ? gCalls + n : 0;
}

void VoAllocFailFrom(int32 n)
{
    gFailFrom = n > 0 ? gCalls + n : 0;
}

int32 VoAllocCallCount()
{
    return gCalls;
}
