// The embedded payload over arbitrary bytes: header, inflate and the trailer check. Inflated
// data go into memory up to a bound; beyond it the sink refuses, as a full disk would.
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <zlib.h>

#include <vector>

#include "FuzzCheck.h"
#include "payload/GzipMember.h"

namespace {

constexpr size_t kOutputLimit = 4 * 1024 * 1024;

struct MemorySink {
    std::vector<unsigned char> bytes;
    size_t calls = 0;
};

bool Store(void* context, const unsigned char* data, size_t size) {
    MemorySink* sink = static_cast<MemorySink*>(context);
    ++sink->calls;
    FUZZ_CHECK(size > 0 && size <= payload::kOutputBufferBytes);
    if (sink->bytes.size() + size > kOutputLimit) return false;
    sink->bytes.insert(sink->bytes.end(), data, data + size);
    return true;
}

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact copy, so any read past the end is caught.
    std::vector<uint8_t> input(data, data + size);
    const payload::GzipHeader header = payload::ParseGzipHeader(input.data(), input.size());
    if (header.status != payload::GzipHeaderStatus::Ok) return 0;
    FUZZ_CHECK(header.deflateOffset >= 10 && header.deflateOffset <= size);

    MemorySink sink;
    payload::MemberInflater inflater;
    const unsigned char* deflate = input.data() + header.deflateOffset;
    const size_t deflateSize = size - header.deflateOffset;
    payload::InflateResult result = inflater.Start(deflate, deflateSize);
    if (result.status != payload::InflateStatus::Ok) return 0;
    result = inflater.Run({&Store, &sink});
    inflater.Release();

    if (result.status == payload::InflateStatus::Ok) {
        // Accepted data match the trailer that follows them, and every byte left the buffer
        // exactly once: nothing lost, nothing doubled.
        uLong crc = crc32(0L, Z_NULL, 0);
        if (!sink.bytes.empty()) crc = crc32(crc, sink.bytes.data(), uInt(sink.bytes.size()));
        bool found = false;
        for (size_t at = 0; at + 8 <= deflateSize && !found; ++at)
            found = ReadLe32(deflate + at) == uint32_t(crc) &&
                    ReadLe32(deflate + at + 4) == uint32_t(sink.bytes.size());
        FUZZ_CHECK(found);
        // Every write but the last is one full buffer.
        FUZZ_CHECK(sink.calls == (sink.bytes.size() + payload::kOutputBufferBytes - 1) /
                                     payload::kOutputBufferBytes);
    } else if (result.status == payload::InflateStatus::WriteFailed) {
        FUZZ_CHECK(sink.bytes.size() + payload::kOutputBufferBytes > kOutputLimit);
    }
    return 0;
}
