#include "payload/GzipMember.h"

#include "VoFoundation/VoAllocator.h"
#include "payload/Crc32.h"

#include <string.h>

// The loader's own zlib build; its symbols carry the z_ prefix (third_party/zlib).
#define Z_PREFIX
#include "third_party/zlib/zlib.h"

namespace payload {
namespace {

// RFC 1952 header layout.
constexpr unsigned char kId1 = 0x1F;
constexpr unsigned char kId2 = 0x8B;
constexpr unsigned char kMethodDeflate = 8;
constexpr size_t kFixedHeaderBytes = 10;
constexpr unsigned char kFlagHeaderCrc = 0x02;
constexpr unsigned char kFlagExtra = 0x04;
constexpr unsigned char kFlagName = 0x08;
constexpr unsigned char kFlagComment = 0x10;
constexpr size_t kHeaderCrcBytes = 2;
constexpr size_t kExtraLengthBytes = 2;
constexpr size_t kTrailerBytes = 8;  // CRC-32, then ISIZE, both little-endian

// Raw deflate: no zlib header and no check value inside the stream; the gzip trailer carries it.
constexpr int kRawDeflateWindowBits = -15;

// The payload's working storage comes from here, so the allocator is chosen in one place.
void* AllocateZeroed(size_t bytes)
{
    void* block = VoAlloc(bytes);
    if (block)
        memset(block, 0, bytes);
    return block;
}
void FreeBlock(void* block)
{
    VoFree(block);
}

// Moves *pos past a zero-terminated field. False if the data end before its terminator.
bool SkipZeroTerminated(const unsigned char* data, size_t size, size_t* pos)
{
    for (size_t i = *pos; i < size; ++i) {
        if (data[i] == 0) {
            *pos = i + 1;
            return true;
        }
    }
    return false;
}

uint32_t ReadLittleEndian32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

GzipHeader ParseGzipHeader(const unsigned char* data, size_t size)
{
    const GzipHeader notGzip{GzipHeaderStatus::NotGzip, 0};
    if (data == nullptr || size < 2 || data[0] != kId1 || data[1] != kId2)
        return notGzip;
    if (size < 3)
        return notGzip;
    if (data[2] != kMethodDeflate)
        return {GzipHeaderStatus::UnsupportedMethod, 0};
    if (size < kFixedHeaderBytes)
        return notGzip;

    const unsigned char flags = data[3];
    size_t pos = kFixedHeaderBytes;
    if (flags & kFlagExtra) {
        if (size - pos < kExtraLengthBytes)
            return notGzip;
        const size_t extraLength = size_t(data[pos]) | size_t(data[pos + 1]) << 8;
        pos += kExtraLengthBytes;
        if (size - pos < extraLength)
            return notGzip;
        pos += extraLength;
    }
    if ((flags & kFlagName) && !SkipZeroTerminated(data, size, &pos))
        return notGzip;
    if ((flags & kFlagComment) && !SkipZeroTerminated(data, size, &pos))
        return notGzip;
    if (flags & kFlagHeaderCrc) {
        if (size - pos < kHeaderCrcBytes)
            return notGzip;
        pos += kHeaderCrcBytes;
    }
    return {GzipHeaderStatus::Ok, pos};
}

ContentDigest::ContentDigest() : _crc(0), _length(0)
{
}

void ContentDigest::Add(const unsigned char* data, size_t size)
{
    _length += size;
    _crc = Crc32(_crc, data, size);
}

bool ContentDigest::Matches(const unsigned char* trailer) const
{
    return ReadLittleEndian32(trailer) == _crc && LengthMatches(trailer, _length);
}

bool ContentDigest::LengthMatches(const unsigned char* trailer, uint64_t length)
{
    // ISIZE counts modulo 2^32; no installer comes near that, so a longer content never matches.
    return uint64_t(ReadLittleEndian32(trailer + 4)) == length;
}

MemberInflater::~MemberInflater()
{
    Release();
}

void MemberInflater::Release()
{
    if (_initialised) {
        inflateEnd(static_cast<z_stream*>(_stream));
        _initialised = false;
    }
    FreeBlock(_stream);
    _stream = nullptr;
    FreeBlock(_buffer);
    _buffer = nullptr;
    _trailer = nullptr;
}

InflateResult MemberInflater::Start(const unsigned char* data, size_t size)
{
    Release();
    _data = data;
    _size = size;
    _trailer = nullptr;
    _buffer = static_cast<unsigned char*>(AllocateZeroed(kReadBackBytes));
    if (_buffer == nullptr)
        return {InflateStatus::NoOutputBuffer, 0};
    z_stream* stream = static_cast<z_stream*>(AllocateZeroed(sizeof(z_stream)));
    if (stream == nullptr) {
        Release();
        return {InflateStatus::NoStream, 0};
    }
    _stream = stream;

    // zalloc, zfree and opaque stay null: zlib's own allocators.
    stream->next_in = const_cast<Bytef*>(data);
    stream->avail_in = size > UINT32_MAX ? UINT32_MAX : uInt(size);
    stream->next_out = _buffer;
    stream->avail_out = uInt(kOutputBufferBytes);
    const int result = inflateInit2(stream, kRawDeflateWindowBits);
    if (result != Z_OK) {
        Release();
        return {InflateStatus::InitFailed, result};
    }
    _initialised = true;
    return {InflateStatus::Ok, 0};
}

InflateResult MemberInflater::Run(PayloadSink sink)
{
    _trailer = nullptr;
    if (!_initialised)
        return {InflateStatus::InflateFailed, Z_STREAM_ERROR};
    const unsigned char* trailer = nullptr;
    const InflateResult result = Inflate(sink, &trailer);
    if (result.status == InflateStatus::Ok)
        _trailer = trailer;
    return result;
}

InflateResult MemberInflater::Inflate(PayloadSink sink, const unsigned char** trailer)
{
    z_stream* stream = static_cast<z_stream*>(_stream);
    uint64_t produced = 0;
    for (;;) {
        // Inputs beyond one zlib count (only possible on 64-bit hosts) are fed in pieces.
        if (stream->avail_in == 0) {
            const size_t fed = size_t(stream->next_in - _data);
            const size_t left = _size - fed;
            stream->avail_in = left > UINT32_MAX ? UINT32_MAX : uInt(left);
        }
        const int result = inflate(stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END)
            break;
        if (result != Z_OK)
            return {InflateStatus::InflateFailed, result};
        if (stream->avail_out == 0) {
            produced += kOutputBufferBytes;
            if (!sink.write(sink.context, _buffer, kOutputBufferBytes)) {
                return {InflateStatus::WriteFailed, 0};
            }
            stream->next_out = _buffer;
            stream->avail_out = uInt(kOutputBufferBytes);
        }
    }

    // The trailer follows the deflate data directly; it must be there and state the length
    // produced, or a damaged payload would be run. Its CRC-32 is held against what is read
    // back (CheckReadBack), which covers what was produced as well.
    const size_t filled = kOutputBufferBytes - stream->avail_out;
    produced += filled;
    const size_t consumed = size_t(stream->next_in - _data);
    if (_size - consumed < kTrailerBytes ||
        !ContentDigest::LengthMatches(_data + consumed, produced))
        return {InflateStatus::IntegrityFailed, 0};
    if (filled != 0 && !sink.write(sink.context, _buffer, filled)) {
        return {InflateStatus::WriteFailed, 0};
    }
    *trailer = _data + consumed;
    return {InflateStatus::Ok, 0};
}

namespace {

bool AddToDigest(void* context, const unsigned char* data, size_t size)
{
    static_cast<ContentDigest*>(context)->Add(data, size);
    return true;
}

}  // namespace

InflateResult MemberInflater::CheckReadBack(ContentSource source)
{
    if (_trailer == nullptr || _buffer == nullptr)
        return {InflateStatus::InflateFailed, 0};
    ContentDigest digest;
    for (;;) {
        size_t got = 0;
        if (!source.read(source.context, _buffer, kReadBackBytes, &got)) {
            return {InflateStatus::ReadFailed, 0};
        }
        if (got == 0)
            break;
        digest.Add(_buffer, got < kReadBackBytes ? got : kReadBackBytes);
    }
    if (digest.Matches(_trailer))
        return {InflateStatus::Ok, 0};

    // Either the file is not what was written, or the payload does not match its own trailer:
    // the payload, inflated again without being written, tells which.
    z_stream* stream = static_cast<z_stream*>(_stream);
    const unsigned char* trailer = nullptr;
    ContentDigest produced;
    if (inflateReset(stream) == Z_OK) {
        stream->next_in = const_cast<Bytef*>(_data);
        stream->avail_in = 0;
        stream->next_out = _buffer;
        stream->avail_out = uInt(kOutputBufferBytes);
        if (Inflate({&AddToDigest, &produced}, &trailer).status == InflateStatus::Ok &&
            produced.Matches(trailer))
            return {InflateStatus::ContentChanged, 0};
    }
    return {InflateStatus::IntegrityFailed, 0};
}

}  // namespace payload
