// The packer's compressor (third_party/libdeflate, level 12 with block division) over inputs
// that make it divide blocks often and into small parts: every output must inflate back,
// through zlib's raw inflate as the loader runs it, to exactly the input, and division must
// pay where the data's statistics keep changing. Without division every level must give
// exactly what libdeflate 1.14 itself gives. The same for the packer's chunks, deflated one by
// one and joined into one stream.
#include "ChunkedDeflate.h"

#include <libdeflate.h>
#include <libdeflate_division.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A small deterministic generator, so every run sees the same inputs.
class Lcg {
public:
    explicit Lcg(uint32_t seed) : state_(seed) {}
    uint32_t Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }

private:
    uint32_t state_;
};

// Segments of 200 to 3,000 bytes whose statistics differ: words of a small vocabulary,
// nibbles, full-range noise, and short repeated records.
Bytes MixedStatistics(size_t size, uint32_t seed)
{
    static const char* const kWords[] = {"setup ", "install ", "folder ", "registry ",
                                         "value ", "temp ",    "log ",    "key "};
    Lcg random(seed);
    Bytes out;
    out.reserve(size);
    unsigned kind = 0;
    while (out.size() < size) {
        const size_t segment = 200 + random.Next() % 2800;
        const size_t end = out.size() + segment < size ? out.size() + segment : size;
        while (out.size() < end) {
            switch (kind) {
            case 0: {
                const char* word = kWords[random.Next() % 8];
                for (; *word && out.size() < end; ++word)
                    out.push_back(*word);
                break;
            }
            case 1:
                out.push_back(static_cast<unsigned char>(random.Next() % 16));
                break;
            case 2:
                out.push_back(static_cast<unsigned char>(random.Next()));
                break;
            default: {
                const unsigned char record[] = {
                    0x4D, 0x5A, 0x90, 0x00, 0x03, static_cast<unsigned char>(out.size() / 64)};
                for (unsigned char b : record)
                    if (out.size() < end)
                        out.push_back(b);
            }
            }
        }
        kind = (kind + 1 + random.Next() % 3) % 4;
    }
    return out;
}

// Long runs between noise: matches of the greatest length, whose cached positions are
// skipped, next to parts without any match.
Bytes RunsAndNoise(uint32_t seed)
{
    Lcg random(seed);
    Bytes runs;
    for (int i = 0; i < 40; ++i) {
        runs.insert(runs.end(), 5000 + i * 97, static_cast<unsigned char>('A' + i % 3));
        for (int j = 0; j < 700; ++j)
            runs.push_back(static_cast<unsigned char>(random.Next()));
    }
    return runs;
}

Bytes Compress(const Bytes& input, int level, bool divideBlocks)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    EXPECT_NE(compressor, nullptr);
    if (!compressor)
        return {};
    EXPECT_EQ(level >= 10 ? 1 : 0, libdeflate_set_block_division(compressor, divideBlocks));
    Bytes out(libdeflate_deflate_compress_bound(compressor, input.size()));
    static const unsigned char kNothing = 0;  // an empty input still needs a valid pointer
    const size_t size = libdeflate_deflate_compress(
        compressor, input.empty() ? &kNothing : input.data(), input.size(), out.data(), out.size());
    libdeflate_free_compressor(compressor);
    out.resize(size);
    return out;
}

// Raw inflate, as the loader reads its payload; fails on anything but one clean stream that
// ends exactly at the end of the data.
bool InflatesTo(const Bytes& deflate, const Bytes& expected)
{
    z_stream stream;
    std::memset(&stream, 0, sizeof(stream));
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    Bytes out(expected.size() + 1);
    stream.next_in = const_cast<unsigned char*>(deflate.data());
    stream.avail_in = static_cast<uInt>(deflate.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&stream, Z_FINISH);
    const bool clean =
        status == Z_STREAM_END && stream.avail_in == 0 && stream.total_out == expected.size() &&
        (expected.empty() || std::memcmp(out.data(), expected.data(), expected.size()) == 0);
    inflateEnd(&stream);
    return clean;
}

TEST(DeflateDivisionTest, EveryInputInflatesBackExactly)
{
    std::vector<Bytes> inputs;
    // Sizes around the smallest divisible part (two parts of 128 bytes) and nothing at all.
    for (size_t size : {0u, 1u, 127u, 128u, 255u, 256u, 257u, 511u, 4096u})
        inputs.push_back(MixedStatistics(size, static_cast<uint32_t>(size) + 1));
    // Across the 300,000-byte soft block limit, so divided blocks follow each other.
    inputs.push_back(MixedStatistics(700000, 7));
    // Noise only: parts that are stored uncompressed, at any bit alignment.
    Lcg random(11);
    Bytes noise(200000);
    for (unsigned char& b : noise)
        b = static_cast<unsigned char>(random.Next());
    inputs.push_back(noise);
    inputs.push_back(RunsAndNoise(11));

    for (const Bytes& input : inputs) {
        SCOPED_TRACE(input.size());
        const Bytes packed = Compress(input, 12, true);
        ASSERT_TRUE(!packed.empty());
        EXPECT_TRUE(InflatesTo(packed, input));
    }
}

TEST(DeflateDivisionTest, DividingPaysWhereStatisticsChange)
{
    // Level 11 parses the same way with one block per heuristic split; level 12 adds a deeper
    // search, and the division on top. On data whose statistics change every few kilobytes, the
    // division is what makes the difference: without it, level 12 is within 0.01 % of level
    // 11 here; with it, about 2.7 % smaller.
    const Bytes input = MixedStatistics(600000, 3);
    const Bytes level11 = Compress(input, 11, false);
    const Bytes level12 = Compress(input, 12, false);
    const Bytes divided = Compress(input, 12, true);
    ASSERT_TRUE(InflatesTo(divided, input));
    EXPECT_LT(divided.size() * 1000, level11.size() * 985)
        << "level 11: " << level11.size() << " bytes, level 12 divided: " << divided.size();
    EXPECT_LT(divided.size() * 1000, level12.size() * 985)
        << "level 12: " << level12.size() << " bytes, level 12 divided: " << divided.size();
}

// 64-bit FNV-1a: a fingerprint of a compressor's output.
uint64_t Fingerprint(const Bytes& bytes)
{
    uint64_t hash = 0xCBF29CE484222325u;
    for (unsigned char b : bytes)
        hash = (hash ^ b) * 0x100000001B3u;
    return hash;
}

// Division is an option of this copy of the compressor; without it, every level gives the
// very bytes that libdeflate 1.14 gives (its Debian 12 build: the sizes and fingerprints
// below). An input across the 300,000-byte block limit whose statistics keep changing, long
// runs between noise, and a small text that takes a static or stored block.
TEST(DeflateDivisionTest, WithoutDivisionEveryLevelGivesUpstreamOutput)
{
    struct Golden {
        size_t size;
        uint64_t fingerprint;
    };
    const struct {
        const char* what;
        Bytes input;
        Golden levels[12];  // levels 1 to 12
    } rows[] = {
        {"statistics that keep changing",
         MixedStatistics(400000, 17),
         {{149066, 0x579F3CE9B4372679u},
          {143757, 0xDA6278BCD509620Du},
          {141586, 0x9ED61805AC361702u},
          {140373, 0x9775150AE42F9A11u},
          {137900, 0x723196ED0A98F939u},
          {131580, 0x920DE8DE5CC87AD9u},
          {128471, 0x00D1C50376025082u},
          {127551, 0xFD2A5B17A071C5B1u},
          {127544, 0xA06D6C70AA41F3E2u},
          {125375, 0xE40C46C007361C49u},
          {125321, 0xCA877644480BF200u},
          {125089, 0xD48ED04CCB28AC48u}}},
        {"runs and noise",
         RunsAndNoise(23),
         {{29415, 0x055EC717E993FBEEu},
          {29253, 0xE8EF1C7483D79C69u},
          {29258, 0x0F208BE8BEC6B5F8u},
          {29261, 0x279E1CD2FB2362FAu},
          {29173, 0x6C582432B790B5F4u},
          {29173, 0x6C582432B790B5F4u},
          {29173, 0x6C582432B790B5F4u},
          {29201, 0xC41015D4A4FE2E53u},
          {29201, 0xC41015D4A4FE2E53u},
          {29173, 0x6C582432B790B5F4u},
          {29173, 0x6C582432B790B5F4u},
          {29173, 0x6C582432B790B5F4u}}},
        {"small text",
         MixedStatistics(1500, 29),
         {{336, 0xF3E39A2CE48F3ECBu},
          {308, 0x852C6C8AB2D6DE56u},
          {289, 0xAA74844D783456B5u},
          {289, 0x273A9321F05FEF42u},
          {287, 0x7D679C1A0CAC2B58u},
          {286, 0x169270477862B471u},
          {286, 0x169270477862B471u},
          {286, 0x7770E438342976C8u},
          {286, 0x7770E438342976C8u},
          {272, 0xD75EC033EDFA3E2Fu},
          {269, 0x21EAA40D5889CF52u},
          {268, 0xE6B64FE3341B2D58u}}},
    };
    for (const auto& row : rows) {
        for (int level = 1; level <= 12; ++level) {
            SCOPED_TRACE(std::string(row.what) + ", level " + std::to_string(level));
            const Bytes packed = Compress(row.input, level, false);
            EXPECT_EQ(row.levels[level - 1].size, packed.size());
            EXPECT_EQ(row.levels[level - 1].fingerprint, Fingerprint(packed));
            EXPECT_TRUE(InflatesTo(packed, row.input));
        }
    }
}

// Whatever the chunk size and level, the joined stream inflates back to exactly the input:
// chunks that end anywhere within a byte, noise whose stored blocks must begin on a byte of
// the whole stream, chunks of one byte. Progress is told after each chunk, in order, an input of
// one chunk is packed exactly as by one call of the compressor, and chunks deflated two or
// three at a time give the same bytes as one at a time.
TEST(ChunkedDeflateTest, EveryChunkSizeInflatesBackExactly)
{
    Lcg random(5);
    Bytes noise(3000);
    for (unsigned char& b : noise)
        b = static_cast<unsigned char>(random.Next());
    Bytes mixture = MixedStatistics(30000, 13);
    mixture.insert(mixture.begin() + 10000, noise.begin(), noise.end());
    mixture.insert(mixture.end(), noise.begin(), noise.end());
    const struct {
        const char* what;
        Bytes input;
        std::vector<size_t> chunkSizes;
    } rows[] = {
        {"nothing", {}, {1, 1000}},
        {"text", MixedStatistics(2000, 21), {1, 3, 255, 1999, 2000, 2001}},
        {"noise", noise, {1, 7, 1000, 2999}},
        {"text and noise", mixture, {128, 1000, 4096, 11111, mixture.size() - 1, mixture.size()}},
    };
    for (const auto& row : rows) {
        // The two ways loader-pack packs: --fast and --best.
        for (int level : {1, 12}) {
            const bool divide = level == 12;
            for (size_t chunk : row.chunkSizes) {
                SCOPED_TRACE(std::string(row.what) + ", level " + std::to_string(level) +
                             ", chunks of " + std::to_string(chunk));
                std::vector<size_t> told;
                std::vector<size_t> expected;
                for (size_t done = 0; done < row.input.size() || expected.empty();) {
                    done += std::min(chunk, row.input.size() - done);
                    expected.push_back(done);
                }
                Bytes joined;
                std::string error;
                ASSERT_TRUE(pack::DeflateInChunks(
                    row.input.data(), row.input.size(), level, divide, chunk,
                    [&](size_t done) { told.push_back(done); }, joined, error))
                    << error;
                EXPECT_TRUE(InflatesTo(joined, row.input));
                EXPECT_EQ(expected, told);
                if (chunk >= row.input.size())
                    EXPECT_EQ(Compress(row.input, level, divide), joined);
                for (unsigned jobs : {2u, 3u}) {
                    Bytes parallel;
                    told.clear();
                    ASSERT_TRUE(pack::DeflateInChunks(
                        row.input.data(), row.input.size(), level, divide, chunk,
                        [&](size_t done) { told.push_back(done); }, parallel, error, jobs));
                    EXPECT_EQ(joined, parallel) << jobs << " jobs";
                    EXPECT_EQ(expected, told) << jobs << " jobs";
                }
            }
        }
    }
}

}  // namespace
