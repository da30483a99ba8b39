// The foundation's one allocation hook. Every foundation allocation goes through VoAlloc, so
// tests can make a chosen allocation fail and see the failure paths for real.
// Memory is plain malloc/free underneath: a block from VoAlloc may also be released with free.
#pragma once
#include <stddef.h>
#include "VoFoundation/VoTypes.h"

// Returns null when the allocation fails (never throws). A size of 0 gives a 1-byte block.
void* VoAlloc(size_t size);
void VoFree(void* block);

// Test hooks (not thread-safe; for single-threaded tests).
// Fail the n-th VoAlloc call from now (1 = the next one); 0 switches this off.
void VoAllocFailOnCall(int32 n);
// Fail every VoAlloc call from the n-th from now on; 0 switches this off.
void VoAllocFailFrom(int32 n);
// Number of VoAlloc calls made so far.
int32 VoAllocCallCount();
