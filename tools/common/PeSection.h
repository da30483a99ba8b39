// Finds the headers and a named section's bytes in a Windows executable held in memory.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

struct PeHeaders {
    size_t fileHeader = 0;      // the COFF file header, right after "PE\0\0"
    size_t optionalHeader = 0;  // the optional header, right after the file header
    uint32_t optionalSize = 0;  // its size as the file header gives it
    uint32_t sectionCount = 0;
};

// Checks the MZ and PE signatures and finds the headers. On failure returns false and says
// why in error.
bool LocatePeHeaders(const std::vector<uint8_t>& image, PeHeaders& headers, std::string& error);

struct PeSectionPlace {
    size_t fileOffset = 0;   // where the section's raw data starts in the file
    size_t rawSize = 0;      // bytes of raw data in the file
    size_t virtualSize = 0;  // bytes the section takes in memory (0 when not given)
};

// Looks for exactly one section called name (at most 8 characters) in the image. On failure
// returns false and says why in error.
bool FindPeSection(const std::vector<uint8_t>& image, const char* name, PeSectionPlace& place,
                   std::string& error);
