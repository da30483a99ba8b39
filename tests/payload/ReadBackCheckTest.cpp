// Reading the extracted file back and holding it against the member's trailer: what is read
// back must be exactly what was inflated, however the source hands it over, and a mismatch
// tells a changed file from a damaged payload.
#include "payload/GzipMember.h"

#include <gtest/gtest.h>
#include <zlib.h>  // the system's, as the reference CRC-32

#include <algorithm>

#include "payload/Crc32.h"

#include "PayloadBytes.h"

// The loader's zlib (built with Z_PREFIX) beside the system's.
extern "C" unsigned long z_adler32(unsigned long adler, const unsigned char* buf, unsigned len);

using namespace payload;
using namespace payload_test;

namespace {

bool Discard(void*, const unsigned char*, size_t)
{
    return true;
}

// Hands out stored bytes in pieces of at most `piece`, then fails once `failAt` bytes are out.
struct StoredContent {
    Bytes bytes;
    size_t piece = kOutputBufferBytes;
    size_t failAt = SIZE_MAX;
    size_t at = 0;

    static bool Read(void* context, unsigned char* data, size_t capacity, size_t* got)
    {
        StoredContent* self = static_cast<StoredContent*>(context);
        if (self->at >= self->failAt)
            return false;
        const size_t n = std::min({capacity, self->piece, self->bytes.size() - self->at});
        std::copy(self->bytes.begin() + self->at, self->bytes.begin() + self->at + n, data);
        self->at += n;
        *got = n;
        return true;
    }
    ContentSource Source() { return {&StoredContent::Read, this}; }
};

// Inflates member (discarding the output), then reads `stored` back.
InflateResult ReadBack(const Bytes& member, StoredContent stored)
{
    const GzipHeader header = ParseGzipHeader(member.data(), member.size());
    MemberInflater inflater;
    inflater.Start(member.data() + header.deflateOffset, member.size() - header.deflateOffset);
    const InflateResult run = inflater.Run({&Discard, nullptr});
    if (run.status != InflateStatus::Ok)
        return run;
    return inflater.CheckReadBack(stored.Source());
}

TEST(ReadBackCheck, MatchesOnlyTheBytesThatWereInflated)
{
    const Bytes data = SampleData(2 * kOutputBufferBytes + 100, 21);
    const Bytes member = GzipMemberBytes(data);
    MemberShape wrongCrc;
    wrongCrc.crcDelta = 1;
    const Bytes damaged = GzipMemberBytes(data, wrongCrc);  // inflates, but not to its CRC-32
    Bytes flipped = data;
    flipped[kOutputBufferBytes + 5] ^= 0x01;
    const Bytes shorter(data.begin(), data.end() - 1);
    Bytes longer = data;
    longer.push_back(0);
    Bytes swappedPieces = data;  // same bytes, same length, other order
    std::rotate(swappedPieces.begin(), swappedPieces.begin() + kOutputBufferBytes,
                swappedPieces.end());

    const struct {
        const char* name;
        const Bytes& member;
        StoredContent stored;
        InflateStatus expected;
    } cases[] = {
        {"as written, in full buffers", member, {data}, InflateStatus::Ok},
        {"as written, one byte at a time", member, {data, 1}, InflateStatus::Ok},
        {"as written, in odd pieces", member, {data, 7001}, InflateStatus::Ok},
        {"one bit changed", member, {flipped}, InflateStatus::ContentChanged},
        {"one byte missing", member, {shorter}, InflateStatus::ContentChanged},
        {"one byte more", member, {longer}, InflateStatus::ContentChanged},
        {"pieces in another order", member, {swappedPieces}, InflateStatus::ContentChanged},
        {"empty", member, {Bytes()}, InflateStatus::ContentChanged},
        {"read fails after a piece", member, {data, 7001, 7001}, InflateStatus::ReadFailed},
        // The payload itself is damaged, whatever was stored.
        {"wrong CRC-32, as written", damaged, {data}, InflateStatus::IntegrityFailed},
        {"wrong CRC-32, changed", damaged, {flipped, 7001}, InflateStatus::IntegrityFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, ReadBack(c.member, c.stored).status);
    }

    // An empty installer reads back as nothing at all.
    EXPECT_EQ(InflateStatus::Ok, ReadBack(GzipMemberBytes(Bytes()), StoredContent{Bytes()}).status);
}

// Both ways of computing the CRC-32 give zlib's values, for every length around the folding's
// 16- and 64-byte steps, at every alignment, and in pieces passed from one call to the next.
TEST(ReadBackCheck, Crc32IsZlibsWhateverTheWay)
{
    const Bytes data = SampleData(4096 + 64, 24);
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t size = 0; size <= 300; ++size) {
            const uint32_t zlib = uint32_t(crc32(0L, data.data() + offset, uInt(size)));
            SCOPED_TRACE(std::to_string(size) + " bytes at " + std::to_string(offset));
            ASSERT_EQ(zlib, Crc32(0, data.data() + offset, size));
            ASSERT_EQ(zlib, Crc32WithTables(0, data.data() + offset, size));
        }
    }
    uint32_t chained = 0;
    for (size_t at = 0; at < data.size(); at += 1000)
        chained = Crc32(chained, data.data() + at, std::min<size_t>(1000, data.size() - at));
    EXPECT_EQ(uint32_t(crc32(0L, data.data(), uInt(data.size()))), chained);
    // The loader's plain Adler-32 (which its raw inflate never checks) is zlib's, past the
    // 5,552 bytes after which its sums are reduced.
    const Bytes big = SampleData(3 * 5552 + 17, 25);
    for (size_t size : {size_t(0), size_t(1), size_t(5552), size_t(5553), big.size()})
        EXPECT_EQ(adler32(1L, big.data(), uInt(size)), z_adler32(1L, big.data(), uInt(size)));
}

TEST(ReadBackCheck, NeedsASuccessfulRunFirst)
{
    const Bytes data = SampleData(1000, 23);
    const Bytes member = GzipMemberBytes(data);
    const GzipHeader header = ParseGzipHeader(member.data(), member.size());
    StoredContent stored{data};

    MemberInflater inflater;
    EXPECT_EQ(InflateStatus::InflateFailed, inflater.CheckReadBack(stored.Source()).status);
    inflater.Start(member.data() + header.deflateOffset, member.size() - header.deflateOffset);
    EXPECT_EQ(InflateStatus::InflateFailed, inflater.CheckReadBack(stored.Source()).status);
    ASSERT_EQ(InflateStatus::Ok, inflater.Run({&Discard, nullptr}).status);
    inflater.Release();
    EXPECT_EQ(InflateStatus::InflateFailed, inflater.CheckReadBack(stored.Source()).status);

    // A run that failed its trailer leaves nothing to match against.
    MemberShape wrongSize;
    wrongSize.sizeDelta = 1;
    const Bytes damaged = GzipMemberBytes(data, wrongSize);
    inflater.Start(damaged.data() + header.deflateOffset, damaged.size() - header.deflateOffset);
    ASSERT_EQ(InflateStatus::IntegrityFailed, inflater.Run({&Discard, nullptr}).status);
    EXPECT_EQ(InflateStatus::InflateFailed, inflater.CheckReadBack(stored.Source()).status);
}

}  // namespace
