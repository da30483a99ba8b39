// loader-pack: packs an installer executable into one gzip member (RFC 1952) with only the
// file-name field set, as the loader expects its payload resource.
//
//   loader-pack [--best | --fast] [--name <stored name>] <input file> <output file>
//
// The deflate data come from the tree's own libdeflate (third_party/libdeflate). --best (the
// default) is its strongest level, where each block is also divided wherever dividing it costs
// fewer bits: about 1.3 s per MiB, for the payload that ships. --fast is its fastest plain
// level, for payloads that only tests carry. Before the output is written, the member is
// inflated back with zlib's raw inflate (as the loader reads it) and compared with the input,
// so the build never links a payload the loader could not extract.
#include <libdeflate.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kBestLevel = 12;  // the strongest, with block division
constexpr int kFastLevel = 1;   // the fastest, plain blocks
constexpr unsigned char kGzipId1 = 0x1F;
constexpr unsigned char kGzipId2 = 0x8B;
constexpr unsigned char kMethodDeflate = 8;
constexpr unsigned char kFlagName = 0x08;
constexpr unsigned char kExtraFlagsSlowest = 2;  // XFL: compressed with the slowest algorithm
constexpr unsigned char kExtraFlagsFastest = 4;  // XFL: compressed with the fastest algorithm
constexpr unsigned char kOsUnknown = 255;
constexpr size_t kTrailerBytes = 8;

using Bytes = std::vector<unsigned char>;

bool ReadFile(const std::string& path, Bytes* data) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data->insert(data->end(), chunk, chunk + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool WriteFile(const std::string& path, const Bytes& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && written;
}

void PutLittleEndian32(Bytes* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

uint32_t GetLittleEndian32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Compress(const Bytes& input, int level, Bytes* deflateData) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    if (compressor == nullptr) return false;
    deflateData->resize(libdeflate_deflate_compress_bound(compressor, input.size()));
    const size_t size = libdeflate_deflate_compress(compressor, input.data(), input.size(),
                                                    deflateData->data(), deflateData->size());
    libdeflate_free_compressor(compressor);
    deflateData->resize(size);
    return size != 0;
}

// Reads the member back the way the loader does: raw inflate from the end of the header, then
// the trailer right after the deflate data. True if it yields exactly the input.
bool Verify(const Bytes& member, size_t headerBytes, const Bytes& input, std::string* why) {
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) {
        *why = "zlib could not be initialised";
        return false;
    }
    Bytes output(input.size() + 1);  // one spare byte shows any surplus output
    stream.next_in = const_cast<Bytef*>(member.data() + headerBytes);
    stream.avail_in = static_cast<uInt>(member.size() - headerBytes);
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int result = inflate(&stream, Z_FINISH);
    const size_t produced = output.size() - stream.avail_out;
    const size_t consumed = member.size() - headerBytes - stream.avail_in;
    inflateEnd(&stream);
    if (result != Z_STREAM_END) {
        *why = "zlib inflate ended with " + std::to_string(result);
        return false;
    }
    if (produced != input.size() || std::memcmp(output.data(), input.data(), produced) != 0) {
        *why = "the inflated data differ from the input";
        return false;
    }
    if (member.size() - headerBytes - consumed != kTrailerBytes) {
        *why = "the trailer does not follow the deflate data";
        return false;
    }
    const unsigned char* trailer = member.data() + headerBytes + consumed;
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), output.data(), static_cast<uInt>(produced));
    if (GetLittleEndian32(trailer) != uint32_t(crc) ||
        GetLittleEndian32(trailer + 4) != uint32_t(input.size())) {
        *why = "the trailer does not match the data";
        return false;
    }
    return true;
}

const char kUsage[] =
    "usage: loader-pack [--best | --fast] [--name <stored name>] <input file> <output file>\n";

int Usage() {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
}

struct Options {
    bool fast = false;
    std::string storedName;
    std::vector<std::string> files;
};

// False on a usage error.
bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--best") {
            options->fast = false;
        } else if (arg == "--fast") {
            options->fast = true;
        } else if (arg == "--name") {
            if (i + 1 >= argc) return false;
            options->storedName = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            return false;
        } else {
            options->files.push_back(arg);
        }
    }
    return options->files.size() == 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) return Usage();
    const std::string& inputPath = options.files[0];
    const std::string& outputPath = options.files[1];
    const std::string storedName =
        options.storedName.empty() ? BaseName(inputPath) : options.storedName;

    Bytes input;
    if (!ReadFile(inputPath, &input)) {
        std::fprintf(stderr, "loader-pack: cannot read %s: %s\n", inputPath.c_str(),
                     std::strerror(errno));
        return 1;
    }
    if (input.empty()) {
        std::fprintf(stderr, "loader-pack: %s is empty\n", inputPath.c_str());
        return 1;
    }
    if (input.size() > UINT32_MAX) {
        std::fprintf(stderr, "loader-pack: %s is too large for one resource\n", inputPath.c_str());
        return 1;
    }

    Bytes deflateData;
    if (!Compress(input, options.fast ? kFastLevel : kBestLevel, &deflateData)) {
        std::fprintf(stderr, "loader-pack: compression failed\n");
        return 1;
    }

    // Header: magic, deflate, FNAME only, no time stamp (the output depends on the input only).
    Bytes member = {kGzipId1, kGzipId2, kMethodDeflate, kFlagName, 0, 0, 0, 0,
                    options.fast ? kExtraFlagsFastest : kExtraFlagsSlowest, kOsUnknown};
    member.insert(member.end(), storedName.begin(), storedName.end());
    member.push_back(0);
    const size_t headerBytes = member.size();
    member.insert(member.end(), deflateData.begin(), deflateData.end());
    PutLittleEndian32(&member, libdeflate_crc32(0, input.data(), input.size()));
    PutLittleEndian32(&member, static_cast<uint32_t>(input.size()));

    std::string why;
    if (!Verify(member, headerBytes, input, &why)) {
        std::fprintf(stderr, "loader-pack: verification failed: %s\n", why.c_str());
        return 1;
    }

    // Written under a temporary name first, so an interrupted run leaves no half file behind.
    const std::string temporaryPath = outputPath + ".tmp";
    if (!WriteFile(temporaryPath, member) || std::rename(temporaryPath.c_str(), outputPath.c_str()) != 0) {
        std::fprintf(stderr, "loader-pack: cannot write %s: %s\n", outputPath.c_str(),
                     std::strerror(errno));
        std::remove(temporaryPath.c_str());
        return 1;
    }
    std::printf("loader-pack: %s: %zu bytes -> %s: %zu bytes\n", inputPath.c_str(), input.size(),
                outputPath.c_str(), member.size());
    return 0;
}
