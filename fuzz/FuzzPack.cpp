// The packer's compressor over arbitrary bytes: level 12, whose blocks are divided into parts
// as small as 128 bytes, must give a stream that zlib's raw inflate turns back into exactly
// the input, with nothing left over.
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <libdeflate.h>
#include <zlib.h>

#include <vector>

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static libdeflate_compressor* const compressor = libdeflate_alloc_compressor(12);
    FUZZ_CHECK(compressor != nullptr);
    std::vector<uint8_t> input(data, data + size);
    input.reserve(1);  // an empty input still needs a valid pointer
    std::vector<uint8_t> packed(libdeflate_deflate_compress_bound(compressor, size));
    const size_t packedSize =
        libdeflate_deflate_compress(compressor, input.data(), size, packed.data(), packed.size());
    FUZZ_CHECK(packedSize > 0 && packedSize <= packed.size());
    packed.resize(packedSize);  // an exact copy, so any read past the stream is caught

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
