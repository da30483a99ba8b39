// The embedded payload is one gzip member (RFC 1952) around raw deflate data. This unit checks
// and skips its header and inflates its data through a caller-supplied sink. It works on the
// payload's bytes alone, with no platform calls, so it can be tried on crafted byte strings.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace payload {

// Inflated data leaves through one buffer of this size: written whenever it is full, and once
// at the end if anything is left in it.
constexpr size_t kOutputBufferBytes = 16384;

// The stored content is read back in pieces of up to this size, through the same buffer, made
// this large: fewer reads, a fifth less time for the read-back than pieces of 16,384 bytes.
constexpr size_t kReadBackBytes = 65536;
static_assert(kReadBackBytes >= kOutputBufferBytes, "one buffer serves both");

enum class GzipHeaderStatus {
    Ok,
    NotGzip,            // bad magic, or the header runs past the end of the data
    UnsupportedMethod,  // CM is not 8 (deflate)
};

struct GzipHeader {
    GzipHeaderStatus status;
    size_t deflateOffset;  // where the deflate data begin; meaningful only when status is Ok
};

// Checks the magic and method and skips the optional fields in RFC 1952 order (FEXTRA, FNAME,
// FCOMMENT, FHCRC). FTEXT and the reserved flag bits are ignored. Never reads past size.
GzipHeader ParseGzipHeader(const unsigned char* data, size_t size);

// Receives inflated data. Returns false when the bytes could not be stored; the sink keeps
// whatever it needs to report why.
struct PayloadSink {
    bool (*write)(void* context, const unsigned char* data, size_t size);
    void* context;
};

// Gives back stored content: fills up to capacity bytes and sets *got (0 at the end). Returns
// false when the bytes could not be read; the source keeps whatever it needs to report why.
struct ContentSource {
    bool (*read)(void* context, unsigned char* data, size_t capacity, size_t* got);
    void* context;
};

// The CRC-32 and length of content, as a member's trailer states them.
class ContentDigest {
public:
    ContentDigest();
    void Add(const unsigned char* data, size_t size);
    // True when the content seen so far has the trailer's CRC-32 and length (ISIZE).
    bool Matches(const unsigned char* trailer) const;
    // True when length is the trailer's ISIZE.
    static bool LengthMatches(const unsigned char* trailer, uint64_t length);

private:
    uint32_t _crc;
    uint64_t _length;
};

enum class InflateStatus {
    Ok,
    NoOutputBuffer,   // the buffer (kReadBackBytes) could not be allocated
    NoStream,         // the zlib stream structure could not be allocated
    InitFailed,       // inflateInit2 refused; zlibCode holds its result
    InflateFailed,    // inflate reported an error or asked for a dictionary; zlibCode holds it
    WriteFailed,      // the sink refused data
    IntegrityFailed,  // the trailer is missing, or its CRC-32 or ISIZE do not match the output
    ReadFailed,       // the source of a read-back refused data
    ContentChanged,   // what was read back differs from what the payload inflates to
};

struct InflateResult {
    InflateStatus status;
    int zlibCode;  // zlib's result for InitFailed and InflateFailed, else 0
};

// Inflates the raw deflate data of one gzip member and checks them against its trailer.
// Start allocates the output buffer and the stream and initialises zlib; Run drives inflate to
// the end of the stream. Release frees everything and may be called at any time (the
// destructor calls it), so a caller can release before it reports a failure.
class MemberInflater {
public:
    MemberInflater() = default;
    ~MemberInflater();
    MemberInflater(const MemberInflater&) = delete;
    MemberInflater& operator=(const MemberInflater&) = delete;

    // data/size: the bytes from the start of the deflate data to the end of the member,
    // trailer included.
    InflateResult Start(const unsigned char* data, size_t size);
    // Inflates to the end of the stream into sink and checks that the trailer follows with the
    // length produced (IntegrityFailed otherwise); its CRC-32 is left to CheckReadBack.
    InflateResult Run(PayloadSink sink);
    // After a successful Run (and before Release): reads the stored content back from source
    // and holds it against the trailer's CRC-32 and length, the one CRC pass of an extraction.
    // Ok, or ReadFailed; on a mismatch, inflates the payload again (nothing is written) to tell
    // ContentChanged, a stored content other than what Run produced, from IntegrityFailed, a
    // payload that does not match its own trailer. InflateFailed when Run has not succeeded.
    InflateResult CheckReadBack(ContentSource source);
    void Release();

private:
    // Drives inflate from where the stream stands to its end; sets *trailer on Ok.
    InflateResult Inflate(PayloadSink sink, const unsigned char** trailer);

    const unsigned char* _data = nullptr;
    size_t _size = 0;
    const unsigned char* _trailer = nullptr;  // set once Run has matched it
    unsigned char* _buffer = nullptr;
    void* _stream = nullptr;  // z_stream, kept opaque so zlib.h stays out of this header
    bool _initialised = false;
};

}  // namespace payload
