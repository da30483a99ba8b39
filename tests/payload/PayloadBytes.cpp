#include "PayloadBytes.h"

#include <zlib.h>

namespace payload_test {
namespace {

void PutLittleEndian32(Bytes* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

}  // namespace

Bytes SampleData(size_t size, uint32_t seed)
{
    // A small alphabet keeps the data compressible, with long and short matches.
    static const unsigned char kAlphabet[] = {'M', 'Z', 'P', 'E', 0, 0, 0x90, 0x90, 0xFF, 0x8B};
    Bytes data(size);
    uint32_t state = seed;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        data[i] = kAlphabet[(state >> 16) % sizeof kAlphabet];
    }
    return data;
}

Bytes RawDeflate(const Bytes& data)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return out;
}

Bytes GzipHeaderBytes(const MemberShape& shape)
{
    Bytes out = {0x1F, 0x8B, shape.method, shape.flags, 0, 0, 0, 0, 2, 255};
    if (shape.flags & kFlagExtra) {
        out.push_back(static_cast<unsigned char>(shape.extra.size()));
        out.push_back(static_cast<unsigned char>(shape.extra.size() >> 8));
        out.insert(out.end(), shape.extra.begin(), shape.extra.end());
    }
    if (shape.flags & kFlagName) {
        out.insert(out.end(), shape.name.begin(), shape.name.end());
        out.push_back(0);
    }
    if (shape.flags & kFlagComment) {
        out.insert(out.end(), shape.comment.begin(), shape.comment.end());
        out.push_back(0);
    }
    if (shape.flags & kFlagHeaderCrc) {
        const uLong crc = crc32(0L, out.data(), static_cast<uInt>(out.size()));
        out.push_back(static_cast<unsigned char>(crc));
        out.push_back(static_cast<unsigned char>(crc >> 8));
    }
    return out;
}

Bytes GzipMemberBytes(const Bytes& data, const MemberShape& shape)
{
    Bytes out = GzipHeaderBytes(shape);
    const Bytes deflated = RawDeflate(data);
    out.insert(out.end(), deflated.begin(), deflated.end());
    const uLong crc = crc32(0L, data.data(), static_cast<uInt>(data.size()));
    PutLittleEndian32(&out, static_cast<uint32_t>(crc) + shape.crcDelta);
    PutLittleEndian32(&out, static_cast<uint32_t>(data.size()) + shape.sizeDelta);
    return out;
}

}  // namespace payload_test
