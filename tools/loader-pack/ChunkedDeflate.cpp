#include "ChunkedDeflate.h"

#include <libdeflate.h>
#include <libdeflate_division.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>

namespace pack {

namespace {

using Bytes = std::vector<unsigned char>;

// Bit positions in a raw deflate stream, counted from its first bit.
struct StreamBits {
    uint64_t lastBlock = 0;  // where the last block begins: its first bit is the last-block flag
    uint64_t end = 0;        // where the last block ends, before the padding to a whole byte
};

// Reads a stream block by block with zlib, which stops between blocks and tells how many bits
// of the last byte it took are still unused.
bool LocateLastBlock(const unsigned char* stream, size_t size, StreamBits& bits)
{
    z_stream z{};
    if (size > UINT32_MAX || inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    Bytes sink(1 << 16);
    z.next_in = const_cast<Bytef*>(stream);
    z.avail_in = static_cast<uInt>(size);
    bool ended = false;
    int result;
    do {
        z.next_out = sink.data();
        z.avail_out = static_cast<uInt>(sink.size());
        result = inflate(&z, Z_BLOCK);
        if (z.data_type & 128) {  // between two blocks, or after the last one (64)
            const uint64_t at = 8 * uint64_t(z.total_in) - (z.data_type & 7);
            if (z.data_type & 64) {
                bits.end = at;
                ended = true;
            } else {
                bits.lastBlock = at;
            }
        }
    } while (result == Z_OK);
    inflateEnd(&z);
    return result == Z_STREAM_END && ended && z.avail_in == 0;
}

// Appends the stream of a chunk that other chunks follow, from where the one before it ended,
// which is always a byte boundary: its blocks up to the end of its last one, that block no
// longer marked as the last, then an empty stored block to reach a byte boundary again. Stored
// blocks are aligned to bytes of the whole stream, so the next chunk's can only follow there.
void AppendInnerChunk(unsigned char* stream, const StreamBits& bits, Bytes& out)
{
    stream[bits.lastBlock / 8] &= static_cast<unsigned char>(~(1u << bits.lastBlock % 8));
    const size_t whole = static_cast<size_t>(bits.end / 8);
    const unsigned rest = static_cast<unsigned>(bits.end % 8);
    out.insert(out.end(), stream, stream + whole);
    if (rest == 0)
        return;
    // The stored block's three header bits are all zero (not the last, type 0): where they
    // do not fit into this byte they spill into the next one, and the rest of it is padding.
    out.push_back(static_cast<unsigned char>(stream[whole] & ((1u << rest) - 1)));
    if (rest + 3 > 8)
        out.push_back(0);
    const unsigned char kEmptyStoredLengths[] = {0x00, 0x00, 0xFF, 0xFF};  // LEN 0, NLEN
    out.insert(out.end(), kEmptyStoredLengths, kEmptyStoredLengths + sizeof kEmptyStoredLengths);
}

}  // namespace

bool DeflateInChunks(const unsigned char* data, size_t size, int level, bool divideBlocks,
                     size_t chunkBytes, const ChunkDone& chunkDone, Bytes& out, std::string& error)
{
    static const unsigned char kNothing = 0;  // an empty input still needs a valid pointer
    if (size == 0)
        data = &kNothing;
    chunkBytes = std::max<size_t>(chunkBytes, 1);
    out.clear();
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    if (compressor == nullptr) {
        error = "the compressor could not be made for level " + std::to_string(level);
        return false;
    }
    if (divideBlocks && !libdeflate_set_block_division(compressor, 1)) {
        libdeflate_free_compressor(compressor);
        error = "level " + std::to_string(level) + " cannot divide blocks";
        return false;
    }
    Bytes stream;
    std::string problem;
    size_t done = 0;
    do {
        const size_t length = std::min(chunkBytes, size - done);
        stream.resize(libdeflate_deflate_compress_bound(compressor, length));
        const size_t streamBytes = libdeflate_deflate_compress(compressor, data + done, length,
                                                               stream.data(), stream.size());
        StreamBits bits;
        if (streamBytes == 0) {
            problem = "the compressor gave no data";
            break;
        }
        if (done + length == size) {
            out.insert(out.end(), stream.begin(), stream.begin() + streamBytes);
        } else if (LocateLastBlock(stream.data(), streamBytes, bits)) {
            AppendInnerChunk(stream.data(), bits, out);
        } else {
            problem = "the deflate data of the chunk at byte " + std::to_string(done) +
                      " could not be read back";
            break;
        }
        done += length;
        if (chunkDone)
            chunkDone(done);
    } while (done < size);
    libdeflate_free_compressor(compressor);
    if (!problem.empty())
        error = problem;
    return problem.empty();
}

}  // namespace pack
