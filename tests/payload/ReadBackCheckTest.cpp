// Reading the extracted file back and holding it against the member's trailer: what is read
// back must be exactly what was inflated, however the source hands it over.
#include "payload/GzipMember.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "PayloadBytes.h"

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

StoredContent Content(Bytes bytes, size_t piece = kOutputBufferBytes)
{
    StoredContent stored;
    stored.bytes = std::move(bytes);
    stored.piece = piece;
    return stored;
}

TEST(ReadBackCheck, MatchesOnlyTheBytesThatWereInflated)
{
    const Bytes data = SampleData(2 * kOutputBufferBytes + 100, 21);
    const Bytes member = GzipMemberBytes(data);
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
        StoredContent stored;
        InflateStatus expected;
    } cases[] = {
        {"as written, in full buffers", Content(data), InflateStatus::Ok},
        {"as written, one byte at a time", Content(data, 1), InflateStatus::Ok},
        {"as written, in odd pieces", Content(data, 7001), InflateStatus::Ok},
        {"one bit changed", Content(flipped), InflateStatus::IntegrityFailed},
        {"one byte missing", Content(shorter), InflateStatus::IntegrityFailed},
        {"one byte more", Content(longer), InflateStatus::IntegrityFailed},
        {"pieces in another order", Content(swappedPieces), InflateStatus::IntegrityFailed},
        {"empty", Content(Bytes()), InflateStatus::IntegrityFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, ReadBack(member, c.stored).status);
    }

    // An empty installer reads back as nothing at all.
    EXPECT_EQ(InflateStatus::Ok, ReadBack(GzipMemberBytes(Bytes()), Content(Bytes())).status);
}

TEST(ReadBackCheck, AReadThatFailsIsReportedAsSuch)
{
    const Bytes data = SampleData(40000, 22);
    StoredContent stored = Content(data);
    stored.failAt = kOutputBufferBytes;
    EXPECT_EQ(InflateStatus::ReadFailed, ReadBack(GzipMemberBytes(data), stored).status);
}

TEST(ReadBackCheck, NeedsASuccessfulRunFirst)
{
    const Bytes data = SampleData(1000, 23);
    const Bytes member = GzipMemberBytes(data);
    const GzipHeader header = ParseGzipHeader(member.data(), member.size());
    StoredContent stored = Content(data);

    MemberInflater inflater;
    EXPECT_EQ(InflateStatus::InflateFailed, inflater.CheckReadBack(stored.Source()).status);
    inflater.Start(member.data() + header.deflateOffset, member.size() - header.deflateOffset);
    EXPECT_EQ(InflateStatus::InflateFailed, inflater.CheckReadBack(stored.Source()).status);
    ASSERT_EQ(InflateStatus::Ok, inflater.Run({&Discard, nullptr}).status);
    inflater.Release();
    EXPECT_EQ(InflateStatus::InflateFailed, inflater.CheckReadBack(stored.Source()).status);

    // A run that failed its trailer leaves nothing to match against.
    MemberShape wrongCrc;
    wrongCrc.crcDelta = 1;
    const Bytes damaged = GzipMemberBytes(data, wrongCrc);
    inflater.Start(damaged.data() + header.deflateOffset, damaged.size() - header.deflateOffset);
    ASSERT_EQ(InflateStatus::IntegrityFailed, inflater.Run({&Discard, nullptr}).status);
    EXPECT_EQ(InflateStatus::InflateFailed, inflater.CheckReadBack(stored.Source()).status);
}

}  // namespace
