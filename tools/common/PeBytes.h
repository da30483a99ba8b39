// Little-endian fields of a PE image held in memory, read and written with bounds checks, and
// the layout both formats (PE32 and PE32+) share.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

constexpr uint32_t kMagicPe32 = 0x10B;
constexpr uint32_t kMagicPe32Plus = 0x20B;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kDirectoryEntrySize = 8;
constexpr uint32_t kSecurityDirectory = 4;  // the certificate table; holds a file offset
constexpr size_t kChecksumField = 64;       // in the optional header, for both formats

inline bool ReadLe16(const std::vector<uint8_t>& b, size_t at, uint32_t& v)
{
    if (at > b.size() || b.size() - at < 2)
        return false;
    v = b[at] | (b[at + 1] << 8);
    return true;
}

inline bool ReadLe32(const std::vector<uint8_t>& b, size_t at, uint32_t& v)
{
    if (at > b.size() || b.size() - at < 4)
        return false;
    v = (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) |
        ((uint32_t)b[at + 3] << 24);
    return true;
}

inline bool WriteLe32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    if (at > b.size() || b.size() - at < 4)
        return false;
    for (int i = 0; i < 4; ++i)
        b[at + i] = (uint8_t)(v >> (8 * i));
    return true;
}
