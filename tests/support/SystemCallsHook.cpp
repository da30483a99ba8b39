// Linked into every test program (and test copy of the loader) in place of the foundation's
// own table: the program's calls go through g_systemCalls from its start.
#include "SystemCallsHook.h"

namespace support {

VoSystemCalls g_systemCalls = kVoRealSystemCalls;

}  // namespace support

const VoSystemCalls* const g_voSystemCalls = &support::g_systemCalls;
