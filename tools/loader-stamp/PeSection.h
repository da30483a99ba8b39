// Finds a named section's bytes in a Windows executable by reading its section table.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

struct PeSectionPlace {
    size_t fileOffset = 0;   // where the section's raw data starts in the file
    size_t rawSize = 0;      // bytes of raw data in the file
    size_t virtualSize = 0;  // bytes the section takes in memory (0 when not given)
};

// Looks for exactly one section called name (at most 8 characters) in the image. On failure
// returns false and says why in error.
bool FindPeSection(const std::vector<uint8_t>& image, const char* name, PeSectionPlace& place,
                   std::string& error);
