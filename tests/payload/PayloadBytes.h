// Builds gzip members byte by byte, so tests can make well-formed and damaged payloads.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace payload_test {

using Bytes = std::vector<unsigned char>;

constexpr unsigned char kFlagText = 0x01;
constexpr unsigned char kFlagHeaderCrc = 0x02;
constexpr unsigned char kFlagExtra = 0x04;
constexpr unsigned char kFlagName = 0x08;
constexpr unsigned char kFlagComment = 0x10;
constexpr unsigned char kFlagsReserved = 0xE0;

struct MemberShape {
    unsigned char method = 8;
    unsigned char flags = kFlagName;     // optional fields are written for the bits set
    std::string extra = "XY\x02\x00ab";  // FEXTRA payload (subfield id, length, data)
    std::string name = "Setup.exe";
    std::string comment = "packed for a test";
    uint32_t crcDelta = 0;   // added to the true CRC-32 in the trailer
    uint32_t sizeDelta = 0;  // added to the true ISIZE in the trailer
};

// Data that compress somewhat but not trivially, the same on every run.
Bytes SampleData(size_t size, uint32_t seed = 1);

// Raw deflate data (no wrapper) of data, as zlib makes them.
Bytes RawDeflate(const Bytes& data);

// Just the header of a member as shape describes it.
Bytes GzipHeaderBytes(const MemberShape& shape);

// A whole member: header, raw deflate data and trailer.
Bytes GzipMemberBytes(const Bytes& data, const MemberShape& shape = MemberShape());

}  // namespace payload_test
