// Test programs run with g_systemCalls in place of the program's own table of system calls:
// it starts as the system's calls; a test replaces an entry to fake one and puts the system's
// back with RestoreSystemCalls.
#pragma once

#include "VoFoundation/VoSystemCalls.h"

namespace support {

extern VoSystemCalls g_systemCalls;

inline void RestoreSystemCalls()
{
    g_systemCalls = kVoRealSystemCalls;
}

}  // namespace support
