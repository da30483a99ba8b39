// Win32 side of VoStatusFromWin32: the network message module and its test seam.
#pragma once
#include "VoFoundation/VoTypes.h"

// Network error numbers, whose texts live in the network message module.
constexpr int32 kVoFirstNetworkError = 2100;
constexpr int32 kVoLastNetworkError = 2999;

inline bool VoIsNetworkError(int32 win32Error)
{
    return win32Error >= kVoFirstNetworkError && win32Error <= kVoLastNetworkError;
}
