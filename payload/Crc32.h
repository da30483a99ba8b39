// The CRC-32 of a gzip member's trailer (RFC 1952: the reflected polynomial 0xEDB88320, all
// bits set before and inverted after), as zlib's crc32() computes it: start with 0 and pass
// each result to the next call.
//
// Crc32 folds the data 64 bytes at a time with carry-less multiplication (PCLMULQDQ) where the
// processor has it, which keeps the CRC a small part of an extraction, and uses the tables
// (eight bytes a step) elsewhere. Both give the same values; the first call chooses and builds
// the tables, so the first call must not race another (the loader has one thread).
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace payload {

uint32_t Crc32(uint32_t crc, const unsigned char* data, size_t size);

// The table-driven CRC alone, whatever the processor has.
uint32_t Crc32WithTables(uint32_t crc, const unsigned char* data, size_t size);

// True when Crc32 folds with carry-less multiplication on this processor.
bool Crc32Folds();

}  // namespace payload
