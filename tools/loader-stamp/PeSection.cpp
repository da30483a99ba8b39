#include "PeSection.h"

#include <string.h>

namespace {

constexpr size_t kDosHeaderSize = 0x40;
constexpr size_t kNewHeaderOffsetField = 0x3C;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kSectionNameSize = 8;

bool Read16(const std::vector<uint8_t>& b, size_t at, uint32_t& v)
{
    if (at > b.size() || b.size() - at < 2)
        return false;
    v = b[at] | (b[at + 1] << 8);
    return true;
}

bool Read32(const std::vector<uint8_t>& b, size_t at, uint32_t& v)
{
    if (at > b.size() || b.size() - at < 4)
        return false;
    v = (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) |
        ((uint32_t)b[at + 3] << 24);
    return true;
}

}  // namespace

bool FindPeSection(const std::vector<uint8_t>& image, const char* name, PeSectionPlace& place,
                   std::string& error)
{
    uint32_t peOffset = 0, sectionCount = 0, optionalSize = 0;
    if (image.size() < kDosHeaderSize || image[0] != 'M' || image[1] != 'Z' ||
        !Read32(image, kNewHeaderOffsetField, peOffset)) {
        error = "not a Windows executable (no MZ header)";
        return false;
    }
    if ((size_t)peOffset + 4 + kFileHeaderSize > image.size() ||
        memcmp(&image[peOffset], "PE\0\0", 4) != 0) {
        error = "not a Windows executable (no PE header)";
        return false;
    }
    size_t fileHeader = (size_t)peOffset + 4;
    Read16(image, fileHeader + 2, sectionCount);
    Read16(image, fileHeader + 16, optionalSize);
    size_t table = fileHeader + kFileHeaderSize + optionalSize;
    if (table + (size_t)sectionCount * kSectionHeaderSize > image.size()) {
        error = "damaged executable (section table runs past the end of the file)";
        return false;
    }

    char wanted[kSectionNameSize] = {};
    strncpy(wanted, name, kSectionNameSize);
    int found = 0;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        size_t header = table + (size_t)i * kSectionHeaderSize;
        if (memcmp(&image[header], wanted, kSectionNameSize) != 0)
            continue;
        uint32_t virtualSize = 0, rawSize = 0, rawOffset = 0;
        Read32(image, header + 8, virtualSize);
        Read32(image, header + 16, rawSize);
        Read32(image, header + 20, rawOffset);
        place.fileOffset = rawOffset;
        place.rawSize = rawSize;
        place.virtualSize = virtualSize;
        ++found;
    }
    if (found == 0) {
        error = std::string("no ") + name + " section: not a loader";
        return false;
    }
    if (found > 1) {
        error = std::string("more than one ") + name + " section";
        return false;
    }
    if (place.fileOffset > image.size() || image.size() - place.fileOffset < place.rawSize) {
        error = std::string("damaged executable (") + name + " section runs past the end of the file)";
        return false;
    }
    return true;
}
