#include "PeSection.h"

#include "PeBytes.h"

#include <string.h>

namespace {

constexpr size_t kDosHeaderSize = 0x40;
constexpr size_t kNewHeaderOffsetField = 0x3C;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionNameSize = 8;

}  // namespace

bool LocatePeHeaders(const std::vector<uint8_t>& image, PeHeaders& headers, std::string& error)
{
    uint32_t peOffset = 0;
    if (image.size() < kDosHeaderSize || image[0] != 'M' || image[1] != 'Z' ||
        !ReadLe32(image, kNewHeaderOffsetField, peOffset)) {
        error = "not a Windows executable (no MZ header)";
        return false;
    }
    if ((size_t)peOffset + 4 + kFileHeaderSize > image.size() ||
        memcmp(&image[peOffset], "PE\0\0", 4) != 0) {
        error = "not a Windows executable (no PE header)";
        return false;
    }
    headers.fileHeader = (size_t)peOffset + 4;
    headers.optionalHeader = headers.fileHeader + kFileHeaderSize;
    ReadLe16(image, headers.fileHeader + 2, headers.sectionCount);
    ReadLe16(image, headers.fileHeader + 16, headers.optionalSize);
    return true;
}

bool FindPeSection(const std::vector<uint8_t>& image, const char* name, PeSectionPlace& place,
                   std::string& error)
{
    PeHeaders headers;
    if (!LocatePeHeaders(image, headers, error))
        return false;
    uint32_t sectionCount = headers.sectionCount;
    size_t table = headers.optionalHeader + headers.optionalSize;
    if (table + (size_t)sectionCount * kSectionHeaderSize > image.size()) {
        error = "damaged executable (section table runs past the end of the file)";
        return false;
    }

    char wanted[kSectionNameSize] = {};
    memcpy(wanted, name, strnlen(name, kSectionNameSize));
    int found = 0;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        size_t header = table + (size_t)i * kSectionHeaderSize;
        if (memcmp(&image[header], wanted, kSectionNameSize) != 0)
            continue;
        uint32_t virtualSize = 0, rawSize = 0, rawOffset = 0;
        ReadLe32(image, header + 8, virtualSize);
        ReadLe32(image, header + 16, rawSize);
        ReadLe32(image, header + 20, rawOffset);
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
        error =
            std::string("damaged executable (") + name + " section runs past the end of the file)";
        return false;
    }
    return true;
}
