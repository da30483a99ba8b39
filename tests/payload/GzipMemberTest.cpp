#include "payload/GzipMember.h"

#include <gtest/gtest.h>

#include <memory>

#include "PayloadBytes.h"

using namespace payload;
using namespace payload_test;

namespace {

// Parses a copy of exactly `size` bytes, so a read past the end touches memory not owned.
GzipHeader Parse(const Bytes& bytes, size_t size)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size ? size : 1]);
    std::copy(bytes.begin(), bytes.begin() + size, copy.get());
    return ParseGzipHeader(copy.get(), size);
}

struct HeaderCase {
    const char* name;
    MemberShape shape;
};

MemberShape WithFlags(unsigned char flags)
{
    MemberShape shape;
    shape.flags = flags;
    return shape;
}

TEST(GzipHeader, SkipsExactlyTheOptionalFieldsThatAreFlagged)
{
    const HeaderCase cases[] = {
        {"no optional field", WithFlags(0)},
        {"file name only", WithFlags(kFlagName)},
        {"all four optional fields",
         WithFlags(kFlagExtra | kFlagName | kFlagComment | kFlagHeaderCrc)},
        {"extra and header CRC", WithFlags(kFlagExtra | kFlagHeaderCrc)},
        {"comment only", WithFlags(kFlagComment)},
        {"FTEXT and reserved bits are ignored", WithFlags(kFlagText | kFlagsReserved | kFlagName)},
        {"empty extra field",
         [] {
             MemberShape s = WithFlags(kFlagExtra);
             s.extra = "";
             return s;
         }()},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = GzipHeaderBytes(c.shape);
        const size_t headerSize = bytes.size();
        bytes.push_back(0x03);  // the first deflate byte follows
        const GzipHeader header = Parse(bytes, bytes.size());
        EXPECT_EQ(GzipHeaderStatus::Ok, header.status);
        EXPECT_EQ(headerSize, header.deflateOffset);
    }
}

TEST(GzipHeader, EveryHeaderCutShortIsNotGzip)
{
    // Cuts inside the fixed part, inside XLEN, inside the extra data, before each zero
    // terminator and inside the header CRC.
    const Bytes full =
        GzipHeaderBytes(WithFlags(kFlagExtra | kFlagName | kFlagComment | kFlagHeaderCrc));
    for (size_t size = 0; size < full.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_EQ(GzipHeaderStatus::NotGzip, Parse(full, size).status);
    }
    EXPECT_EQ(GzipHeaderStatus::Ok, Parse(full, full.size()).status);
}

// Records every write the inflater makes.
struct RecordingSink {
    Bytes data;
    std::vector<size_t> writes;

    static bool Write(void* context, const unsigned char* bytes, size_t size)
    {
        RecordingSink* self = static_cast<RecordingSink*>(context);
        self->writes.push_back(size);
        self->data.insert(self->data.end(), bytes, bytes + size);
        return true;
    }
    PayloadSink Sink() { return {&RecordingSink::Write, this}; }
};

InflateResult InflateMember(const Bytes& member, RecordingSink* sink)
{
    const GzipHeader header = ParseGzipHeader(member.data(), member.size());
    EXPECT_EQ(GzipHeaderStatus::Ok, header.status);
    MemberInflater inflater;
    const InflateResult started =
        inflater.Start(member.data() + header.deflateOffset, member.size() - header.deflateOffset);
    if (started.status != InflateStatus::Ok)
        return started;
    return inflater.Run(sink->Sink());
}

TEST(MemberInflater, WritesFullBuffersThenTheRestWithoutAnEmptyWrite)
{
    const struct {
        size_t size;
        std::vector<size_t> writes;
    } cases[] = {
        {0, {}},
        {1, {1}},
        {kOutputBufferBytes - 1, {kOutputBufferBytes - 1}},
        {kOutputBufferBytes, {kOutputBufferBytes}},
        {kOutputBufferBytes + 1, {kOutputBufferBytes, 1}},
        {3 * kOutputBufferBytes, {kOutputBufferBytes, kOutputBufferBytes, kOutputBufferBytes}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const Bytes data = SampleData(c.size);
        RecordingSink sink;
        const InflateResult result = InflateMember(GzipMemberBytes(data), &sink);
        EXPECT_EQ(InflateStatus::Ok, result.status);
        EXPECT_EQ(c.writes, sink.writes);
        EXPECT_TRUE(data == sink.data);
    }
}

TEST(MemberInflater, ExtractsWithAllOptionalFieldsAndWithNone)
{
    const Bytes data = SampleData(40000, 7);
    for (unsigned char flags :
         {0, kFlagExtra | kFlagName | kFlagComment | kFlagHeaderCrc, kFlagText | kFlagsReserved}) {
        SCOPED_TRACE(int(flags));
        RecordingSink sink;
        EXPECT_EQ(InflateStatus::Ok,
                  InflateMember(GzipMemberBytes(data, WithFlags(flags)), &sink).status);
        EXPECT_TRUE(data == sink.data);
    }
}

TEST(MemberInflater, RejectsDamagedDeflateDataWithZlibResult)
{
    const Bytes data = SampleData(50000, 3);
    const Bytes good = GzipMemberBytes(data);
    const size_t headerSize = GzipHeaderBytes(MemberShape()).size();

    Bytes cutShort(good.begin(), good.begin() + headerSize + (good.size() - headerSize) / 2);
    Bytes invalid = GzipHeaderBytes(MemberShape());
    invalid.insert(invalid.end(),
                   {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0});  // block type 3

    const struct {
        const char* name;
        const Bytes& member;
        int zlibCode;
    } cases[] = {
        {"deflate data end early", cutShort, -5},
        {"invalid block type", invalid, -3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        const InflateResult result = InflateMember(c.member, &sink);
        EXPECT_EQ(InflateStatus::InflateFailed, result.status);
        EXPECT_EQ(c.zlibCode, result.zlibCode);
    }
}

// A wrong CRC-32 is found when the file is read back (ReadBackCheckTest).
TEST(MemberInflater, RejectsATrailerThatDoesNotMatch)
{
    const Bytes data = SampleData(20000, 5);
    MemberShape wrongSize;
    wrongSize.sizeDelta = 1;
    Bytes noTrailer = GzipMemberBytes(data);
    noTrailer.resize(noTrailer.size() - 8);
    Bytes halfTrailer = GzipMemberBytes(data);
    halfTrailer.resize(halfTrailer.size() - 4);

    const struct {
        const char* name;
        Bytes member;
    } cases[] = {
        {"wrong ISIZE", GzipMemberBytes(data, wrongSize)},
        {"trailer missing", noTrailer},
        {"trailer cut short", halfTrailer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        EXPECT_EQ(InflateStatus::IntegrityFailed, InflateMember(c.member, &sink).status);
        // Full buffers have gone out; the last piece is held back once the check fails.
        EXPECT_EQ(std::vector<size_t>{kOutputBufferBytes}, sink.writes);
    }
}

}  // namespace
