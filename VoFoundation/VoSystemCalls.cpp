// The program's own table: alone in its unit, so that a test program that defines
// g_voSystemCalls never links this one too.
#include "VoFoundation/VoSystemCalls.h"

const VoSystemCalls* const g_voSystemCalls = &kVoRealSystemCalls;
