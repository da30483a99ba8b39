// Basic types and process-wide switches of the foundation.
#pragma once
#include <stdint.h>

// All counts, positions, codes and lines in foundation interfaces are int32.
typedef int32_t int32;

// Location details: failure texts carry the failing check's file and line, trace lines carry
// a time stamp and the writer's thread number. On from the start, never changed.
constexpr bool kVoLocationDetails = true;
