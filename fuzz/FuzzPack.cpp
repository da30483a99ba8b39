// The packer's compressor over arbitrary bytes, in chunks joined into one stream: level 12
// with block division, whose blocks are divided into parts as small as 128 bytes, with chunks of
// any size (taken from the input; at least the input's size gives one call of the compressor),
// deflated one to three at a time, must give a stream that zlib's raw inflate turns back into
// exactly the input, with nothing left over.
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "ChunkedDeflate.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t chunk = size == 0 ? 1 : 1 + size_t(data[0]) * 64;
    const unsigned jobs = size < 2 ? 1 : 1 + data[1] % 3;
    std::vector<uint8_t> input(data, data + size);
    std::vector<uint8_t> joined;
    std::string error;
    FUZZ_CHECK(
        pack::DeflateInChunks(input.data(), size, 12, true, chunk, nullptr, joined, error, jobs));
    FUZZ_CHECK(!joined.empty());
    std::vector<uint8_t> packed(joined);  // an exact copy, so any read past it is caught

    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    FUZZ_CHECK(inflateInit2(&stream, -MAX_WBITS) == Z_OK);
    std::vector<uint8_t> out(size + 1);
    stream.next_in = packed.data();
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    FUZZ_CHECK(inflate(&stream, Z_FINISH) == Z_STREAM_END);
    FUZZ_CHECK(stream.avail_in == 0 && stream.total_out == size);
    FUZZ_CHECK(size == 0 || memcmp(out.data(), input.data(), size) == 0);
    inflateEnd(&stream);
    return 0;
}
