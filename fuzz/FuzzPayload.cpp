// The embedded payload over arbitrary bytes: header, inflate, the trailer check and the
// read-back check, which tells changed content from a damaged payload. Inflated data go into
// memory up to a bound; beyond it the sink refuses, as a full disk would.
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

// Gives stored bytes back in pieces of varying size, as a file read back would.
struct MemorySource {
    const std::vector<unsigned char>* bytes;
    size_t at = 0;
};

bool Load(void* context, unsigned char* data, size_t capacity, size_t* got)
{
    MemorySource* source = static_cast<MemorySource*>(context);
    const size_t left = source->bytes->size() - source->at;
    size_t n = left < capacity ? left : capacity;
    if (n > 1 && source->at % 3 == 1)
        n /= 2;
    if (n > 0)
        memcpy(data, source->bytes->data() + source->at, n);
    source->at += n;
    *got = n;
    return true;
}

payload::InflateStatus ReadBack(payload::MemberInflater& inflater,
                                const std::vector<unsigned char>& bytes)
{
    MemorySource source{&bytes};
    return inflater.CheckReadBack({&Load, &source}).status;
}

bool Store(void* context, const unsigned char* data, size_t size)
{
    MemorySink* sink = static_cast<MemorySink*>(context);
    ++sink->calls;
    FUZZ_CHECK(size > 0 && size <= payload::kOutputBufferBytes);
    if (sink->bytes.size() + size > kOutputLimit)
        return false;
    sink->bytes.insert(sink->bytes.end(), data, data + size);
    return true;
}

uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact copy, so any read past the end is caught.
    std::vector<uint8_t> input(data, data + size);
    const payload::GzipHeader header = payload::ParseGzipHeader(input.data(), input.size());
    if (header.status != payload::GzipHeaderStatus::Ok)
        return 0;
    FUZZ_CHECK(header.deflateOffset >= 10 && header.deflateOffset <= size);

    MemorySink sink;
    payload::MemberInflater inflater;
    const unsigned char* deflate = input.data() + header.deflateOffset;
    const size_t deflateSize = size - header.deflateOffset;
    payload::InflateResult result = inflater.Start(deflate, deflateSize);
    if (result.status != payload::InflateStatus::Ok)
        return 0;
    result = inflater.Run({&Store, &sink});
    bool matches = false;  // the content produced has the trailer's CRC-32
    if (result.status == payload::InflateStatus::Ok) {
        // What was written reads back as matching exactly when the payload matches its
        // trailer; otherwise any content is a damaged payload. Changed content never matches.
        const payload::InflateStatus asWritten = ReadBack(inflater, sink.bytes);
        matches = asWritten == payload::InflateStatus::Ok;
        FUZZ_CHECK(matches || asWritten == payload::InflateStatus::IntegrityFailed);
        using payload::InflateStatus;
        const InflateStatus whenChanged =
            matches ? InflateStatus::ContentChanged : InflateStatus::IntegrityFailed;
        std::vector<unsigned char> changed = sink.bytes;
        changed.push_back(0);
        FUZZ_CHECK(ReadBack(inflater, changed) == whenChanged);
        if (!sink.bytes.empty()) {
            changed = sink.bytes;
            changed[size % changed.size()] ^= 0x5A;
            FUZZ_CHECK(ReadBack(inflater, changed) == whenChanged);
        }
    } else {
        FUZZ_CHECK(ReadBack(inflater, sink.bytes) == payload::InflateStatus::InflateFailed);
    }
    inflater.Release();

    if (result.status == payload::InflateStatus::Ok) {
        // Accepted data have the trailer's length, and match its CRC-32 when the read-back
        // said so; every byte left the buffer exactly once: nothing lost, nothing doubled.
        uLong crc = crc32(0L, Z_NULL, 0);
        if (!sink.bytes.empty())
            crc = crc32(crc, sink.bytes.data(), uInt(sink.bytes.size()));
        bool found = false;
        for (size_t at = 0; at + 8 <= deflateSize && !found; ++at)
            found = ReadLe32(deflate + at) == uint32_t(crc) &&
                    ReadLe32(deflate + at + 4) == uint32_t(sink.bytes.size());
        FUZZ_CHECK(found || !matches);
        // Every write but the last is one full buffer.
        FUZZ_CHECK(sink.calls == (sink.bytes.size() + payload::kOutputBufferBytes - 1) /
                                     payload::kOutputBufferBytes);
    } else if (result.status == payload::InflateStatus::WriteFailed) {
        FUZZ_CHECK(sink.bytes.size() + payload::kOutputBufferBytes > kOutputLimit);
    }
    return 0;
}
