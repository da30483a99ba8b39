// The COM call the trace log uses for its thread numbers, for the native build.
#pragma once
#include "windows.h"

// A number unique to the calling thread, as the COM library gives it.
DWORD CoGetCurrentProcess();
