// Deflating an input a chunk at a time: each chunk is compressed by itself and the chunks'
// streams are joined into one raw deflate stream, so that packing can say how far it has come
// between chunks. What that costs is the history each chunk does not see of the one before it:
// a few hundred bytes per chunk.
#pragma once
#include <stddef.h>

#include <functional>
#include <string>
#include <vector>

namespace pack {

// Called after each chunk, in the chunks' order, with the number of input bytes deflated so far;
// one call at a time, not always from the calling thread.
using ChunkDone = std::function<void(size_t doneBytes)>;

// Deflates data[0, size) with the compressor at level, with block division when divideBlocks
// (levels 10 to 12 only), chunkBytes (at least 1) at a time, into out. Only the last block of the
// last chunk keeps its last-block flag; where a chunk does not end on a byte boundary, an empty
// stored block (at most five bytes) brings the next one to it. An input of one chunk or less gives
// exactly what one call of the compressor gives. False, with the reason in error, when the
// compressor cannot be made or a chunk's stream cannot be read back.
//
// jobs chunks (0: one per processor this process may use; at most the number of chunks) are
// deflated at a time, each by a compressor of its own on a thread of its own (the calling
// thread is one of them); the output is the same for any number. Memory beyond the input and out:
// per job one compressor and one chunk's stream, and at most two chunks' streams per job waiting
// for the ones before them.
bool DeflateInChunks(const unsigned char* data, size_t size, int level, bool divideBlocks,
                     size_t chunkBytes, const ChunkDone& chunkDone, std::vector<unsigned char>& out,
                     std::string& error, unsigned jobs = 1);

}  // namespace pack
