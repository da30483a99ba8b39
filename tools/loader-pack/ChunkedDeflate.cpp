#include "ChunkedDeflate.h"

#include <libdeflate.h>
#include <libdeflate_division.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#ifdef __linux__
#include <sched.h>
#endif

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

// One job's compressor and the buffer its chunks are deflated into.
class ChunkCompressor {
public:
    ChunkCompressor() = default;
    ChunkCompressor(const ChunkCompressor&) = delete;
    ChunkCompressor& operator=(const ChunkCompressor&) = delete;
    ~ChunkCompressor() { libdeflate_free_compressor(compressor_); }

    bool Make(int level, bool divideBlocks, std::string& error)
    {
        compressor_ = libdeflate_alloc_compressor(level);
        if (compressor_ == nullptr) {
            error = "the compressor could not be made for level " + std::to_string(level);
            return false;
        }
        if (divideBlocks && !libdeflate_set_block_division(compressor_, 1)) {
            error = "level " + std::to_string(level) + " cannot divide blocks";
            return false;
        }
        return true;
    }

    // Deflates data[from, from + length) into piece: what the joined stream takes of it. last:
    // the chunk that ends the input.
    bool Deflate(const unsigned char* data, size_t from, size_t length, bool last, Bytes& piece,
                 std::string& error)
    {
        stream_.resize(libdeflate_deflate_compress_bound(compressor_, length));
        const size_t streamBytes = libdeflate_deflate_compress(compressor_, data + from, length,
                                                               stream_.data(), stream_.size());
        StreamBits bits;
        piece.clear();
        if (streamBytes == 0) {
            error = "the compressor gave no data";
            return false;
        }
        if (last) {
            piece.assign(stream_.begin(), stream_.begin() + streamBytes);
        } else if (LocateLastBlock(stream_.data(), streamBytes, bits)) {
            AppendInnerChunk(stream_.data(), bits, piece);
        } else {
            error = "the deflate data of the chunk at byte " + std::to_string(from) +
                    " could not be read back";
            return false;
        }
        return true;
    }

private:
    libdeflate_compressor* compressor_ = nullptr;
    Bytes stream_;
};

// The chunks as the jobs share them: each job takes the next chunk, deflates it, and joins into
// the output every chunk that is next in order. A chunk is taken only while fewer than two per
// job are taken and not yet joined, which bounds what waits for a slow chunk before it.
class ChunkJobs {
public:
    ChunkJobs(const unsigned char* data, size_t size, size_t chunkBytes, unsigned jobs,
              const ChunkDone& chunkDone, Bytes& out)
        : data_(data), size_(size), chunkBytes_(chunkBytes),
          chunks_(size == 0 ? 1 : (size - 1) / chunkBytes + 1), window_(2 * size_t(jobs)),
          pieces_(window_), ready_(window_, false), chunkDone_(chunkDone), out_(out)
    {
    }

    void Work(int level, bool divideBlocks)
    {
        ChunkCompressor compressor;
        std::string why;
        Bytes piece;
        try {
            if (!compressor.Make(level, divideBlocks, why))
                return Fail(0, why);
            std::unique_lock<std::mutex> lock(mutex_);
            for (;;) {
                room_.wait(lock, [&] {
                    return stopped_ || next_ >= chunks_ || next_ < joined_ + window_;
                });
                if (stopped_ || next_ >= chunks_)
                    return;
                const size_t chunk = next_++;
                lock.unlock();
                const size_t from = chunk * chunkBytes_;
                const bool ok = compressor.Deflate(data_, from, std::min(chunkBytes_, size_ - from),
                                                   chunk + 1 == chunks_, piece, why);
                lock.lock();
                if (!ok) {
                    lock.unlock();
                    return Fail(chunk, why);
                }
                pieces_[chunk % window_].swap(piece);
                ready_[chunk % window_] = true;
                JoinInOrder();
                room_.notify_all();
            }
        } catch (const std::bad_alloc&) {
            std::lock_guard<std::mutex> lock(mutex_);
            outOfMemory_ = stopped_ = true;
            room_.notify_all();
        }
    }

    // After every job has ended: true when every chunk was joined; otherwise the reason of the
    // first chunk that failed. A job that ran out of memory makes it throw std::bad_alloc.
    bool Finish(std::string& error)
    {
        if (outOfMemory_)
            throw std::bad_alloc();
        if (joined_ == chunks_)
            return true;
        error = problem_;
        return false;
    }

private:
    void Fail(size_t chunk, const std::string& why)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (chunk <= failedAt_) {
            failedAt_ = chunk;
            problem_ = why;
        }
        stopped_ = true;
        room_.notify_all();
    }

    // With the lock held.
    void JoinInOrder()
    {
        while (joined_ < chunks_ && ready_[joined_ % window_]) {
            Bytes& piece = pieces_[joined_ % window_];
            out_.insert(out_.end(), piece.begin(), piece.end());
            Bytes().swap(piece);
            ready_[joined_ % window_] = false;
            ++joined_;
            if (chunkDone_)
                chunkDone_(std::min(joined_ * chunkBytes_, size_));
        }
    }

    const unsigned char* data_;
    size_t size_;
    size_t chunkBytes_;
    size_t chunks_;
    size_t window_;
    std::vector<Bytes> pieces_;  // chunk c waits in pieces_[c % window_] until it is joined
    std::vector<bool> ready_;
    const ChunkDone& chunkDone_;
    Bytes& out_;
    std::mutex mutex_;
    std::condition_variable room_;  // a chunk may be taken, or the jobs are to stop
    size_t next_ = 0;               // the next chunk to take
    size_t joined_ = 0;             // chunks joined into out_
    bool stopped_ = false;
    bool outOfMemory_ = false;
    size_t failedAt_ = SIZE_MAX;
    std::string problem_;
};

// The processors this process may run on (on Linux, as its affinity limits them); 1 when that
// cannot be told.
unsigned Processors()
{
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return unsigned(CPU_COUNT(&set));
#endif
    const unsigned processors = std::thread::hardware_concurrency();
    return processors != 0 ? processors : 1;
}

}  // namespace

bool DeflateInChunks(const unsigned char* data, size_t size, int level, bool divideBlocks,
                     size_t chunkBytes, const ChunkDone& chunkDone, Bytes& out, std::string& error,
                     unsigned jobs)
{
    static const unsigned char kNothing = 0;  // an empty input still needs a valid pointer
    if (size == 0)
        data = &kNothing;
    chunkBytes = std::max<size_t>(chunkBytes, 1);
    out.clear();
    const size_t chunks = size == 0 ? 1 : (size - 1) / chunkBytes + 1;
    jobs = unsigned(std::min<size_t>(jobs != 0 ? jobs : Processors(), chunks));
    ChunkJobs shared(data, size, chunkBytes, jobs, chunkDone, out);
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < jobs; ++i) {
        try {
            threads.emplace_back([&] { shared.Work(level, divideBlocks); });
        } catch (const std::system_error&) {
            break;  // fewer threads: the output is the same
        }
    }
    shared.Work(level, divideBlocks);
    for (std::thread& thread : threads)
        thread.join();
    return shared.Finish(error);
}

}  // namespace pack
