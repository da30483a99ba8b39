// The trace id of a thread: the COM library's per-thread number.
#include <objbase.h>

#include "VoFoundation/VoTraceLog.h"

int32 VoTraceThreadNumber()
{
    return static_cast<int32>(CoGetCurrentProcess());
}
