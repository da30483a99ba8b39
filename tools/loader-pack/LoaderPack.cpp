// loader-pack: packs an installer executable into one gzip member (RFC 1952) with only the
// file-name field set, as the loader expects its payload resource. `loader-pack --help` and
// README.md say how to use it.
//
// The deflate data come from the tree's own libdeflate (third_party/libdeflate). --best (the
// default) is its strongest level, where each block is also divided wherever dividing it costs
// fewer bits: about 1.3 s per MiB on one processor, for the payload that ships; its 4 MiB chunks
// are deflated on as many processors as --jobs says. --fast is its fastest plain
// level, for payloads that only tests carry. Before the output is written, the member is
// inflated back with zlib's raw inflate (as the loader reads it) and compared with the input,
// so the build never links a payload the loader could not extract.
//
// With --into TEMPLATE, the output is a loader: a copy of the template (the loader built
// without a payload) carrying the member as its payload resource. --packed takes a member
// packed before, checked the same way, so that one packing serves several loaders.
#include "ChunkedDeflate.h"
#include "CommandLineTool.h"
#include "IntoTemplate.h"
#include "PackProgress.h"

#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using tool::kExitDone;
using tool::kExitFailed;
using tool::kExitRefused;

constexpr char kTool[] = "loader-pack";
constexpr unsigned char kGzipId1 = 0x1F;
constexpr unsigned char kGzipId2 = 0x8B;
constexpr unsigned char kMethodDeflate = 8;
constexpr unsigned char kFlagName = 0x08;
constexpr unsigned char kExtraFlagsSlowest = 2;  // XFL: compressed with the slowest algorithm
constexpr unsigned char kExtraFlagsFastest = 4;  // XFL: compressed with the fastest algorithm
constexpr unsigned char kOsUnknown = 255;
constexpr size_t kTrailerBytes = 8;

// How a level packs: the compressor's level, what the header says of it, and how much input
// goes into one chunk, the steps in which progress moves.
struct Level {
    int compressorLevel;
    bool divideBlocks;
    unsigned char extraFlags;
    size_t chunkBytes;
};
// The strongest level, with block division. A chunk of 4 MiB is a few seconds of work, and
// the history the next chunk does not see costs about 0.03 % of the packed size.
constexpr Level kBest = {12, true, kExtraFlagsSlowest, size_t(4) << 20};
// The fastest plain level packs tens of MiB a second: reading chunks back to join them would
// slow it more than its progress is worth, so it packs in one piece.
constexpr Level kFast = {1, false, kExtraFlagsFastest, SIZE_MAX};

enum OptionId {
    kBestOption,
    kFastOption,
    kJobsOption,
    kNameOption,
    kQuietOption,
    kHelpOption,
    kVersionOption
};
enum TemplateOptionId { kIntoOption = kVersionOption + 1, kPackedOption };

const std::vector<tool::Option> kOptions = {
    {kBestOption, "--best", nullptr, nullptr,
     "the strongest level (12), where each block is also divided\n"
     "wherever that saves bits: about 1.3 s per MiB on one\n"
     "processor (the default)"},
    {kFastOption, "--fast", nullptr, nullptr,
     "the fastest plain level (1), without block division"},
    {kJobsOption, "--jobs", "-j", "N",
     "deflate N chunks at a time at --best, each on a processor\n"
     "of its own (default: the processors this run may use);\n"
     "the output is the same for any N"},
    {kNameOption, "--name", nullptr, "NAME",
     "the file name stored in the member (default: INPUT's)"},
    {kQuietOption, "--quiet", "-q", nullptr, "no progress and no closing line, only errors"},
    {kIntoOption, "--into", nullptr, "TEMPLATE",
     "make OUTPUT a loader: a copy of TEMPLATE, the loader\n"
     "without a payload, carrying the packed INPUT"},
    {kPackedOption, "--packed", nullptr, nullptr,
     "with --into: INPUT is a payload packed before;\nit is checked, not packed again"},
    {kHelpOption, "--help", "-h", nullptr, "print this text and exit"},
    {kVersionOption, "--version", "-V", nullptr,
     "print the versions of the tool and of its compressor and exit"},
};

void PrintHelp()
{
    std::printf(
        "Usage: loader-pack [OPTION]... INPUT OUTPUT\n"
        "       loader-pack [OPTION]... --into TEMPLATE INPUT OUTPUT\n"
        "\n"
        "Packs INPUT, an installer, into OUTPUT: the payload a loader carries, one gzip member\n"
        "that names INPUT. The packed data are inflated back as the loader reads them and\n"
        "compared with INPUT before OUTPUT is written; OUTPUT takes its place only when whole.\n"
        "With --into, OUTPUT is the loader itself: TEMPLATE with the payload as its resource.\n"
        "\n"
        "%s"
        "\n"
        "While it packs, and when standard error is a terminal, loader-pack shows there how much\n"
        "of INPUT is packed, the rate and the time left. At the end it prints one line on\n"
        "standard output: both sizes, OUTPUT's size against INPUT's, and the time it took.\n"
        "\n"
        "Exit status: 0 packed; 1 INPUT refused (empty, or 4 GiB or more, or with --packed\n"
        "no payload) or TEMPLATE refused (no loader template, or signed); 2 wrong usage;\n"
        "3 a file could not be read or written, or the packed data did not check out.\n",
        tool::OptionsHelp(kOptions).c_str());
}

void PrintVersion()
{
    std::printf("%s\n", tool::VersionLine(kTool).c_str());
    std::printf("libdeflate %s, block division on at --best (level 12), off at --fast (level 1)\n",
                LIBDEFLATE_VERSION_STRING);
    std::printf("zlib %s, to inflate the packed data back as the loader does\n", zlibVersion());
}

// A whole number from 1 to 4096, as typed: digits only.
bool ReadJobs(const std::string& text, unsigned& jobs)
{
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    jobs = unsigned(std::stoul(text));
    return jobs >= 1 && jobs <= 4096;
}

struct Options {
    const Level* level = &kBest;
    std::string storedName;
    bool quiet = false;
    unsigned jobs = 0;  // 0: one per processor
    std::string inputPath;
    std::string outputPath;
    std::string templatePath;
    bool packed = false;
    bool packingOptions = false;  // --best, --fast or --name given
};

constexpr int kGoOn = -1;

// kGoOn, or the exit code when there is nothing more to do (help, version, a usage error).
int ReadOptions(int argc, char** argv, Options& options)
{
    tool::CommandLine line;
    std::string error;
    if (!tool::ParseCommandLine(argc, argv, kOptions, line, error))
        return tool::ReportUsage(kTool, error);
    for (const tool::GivenOption& given : line.options) {
        switch (given.id) {
        case kBestOption:
            options.level = &kBest;
            options.packingOptions = true;
            break;
        case kFastOption:
            options.level = &kFast;
            options.packingOptions = true;
            break;
        case kNameOption:
            options.storedName = given.value;
            options.packingOptions = true;
            break;
        case kJobsOption:
            if (!ReadJobs(given.value, options.jobs))
                return tool::ReportUsage(kTool,
                                         given.typed + " needs a whole number from 1 to 4096");
            break;
        case kIntoOption:
            options.templatePath = given.value;
            break;
        case kPackedOption:
            options.packed = true;
            break;
        case kQuietOption:
            options.quiet = true;
            break;
        case kHelpOption:
            PrintHelp();
            return kExitDone;
        case kVersionOption:
            PrintVersion();
            return kExitDone;
        }
    }
    if (line.operands.size() != 2)
        return tool::ReportUsage(kTool, line.operands.size() < 2 ? "INPUT and OUTPUT are needed"
                                                                 : "only one INPUT and one OUTPUT");
    if (options.packed && options.templatePath.empty())
        return tool::ReportUsage(kTool, "--packed goes with --into TEMPLATE");
    if (options.packed && options.packingOptions)
        return tool::ReportUsage(kTool,
                                 "--packed takes INPUT as packed: no --best, --fast or --name");
    options.inputPath = line.operands[0];
    options.outputPath = line.operands[1];
    return kGoOn;
}

void PutLittleEndian32(Bytes* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

uint32_t GetLittleEndian32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads the member back the way the loader does: raw inflate from the end of the header, then
// the trailer right after the deflate data. True if it yields exactly input, or, without
// input, what its trailer states.
bool Verify(const Bytes& member, size_t headerBytes, const Bytes* input, std::string* why)
{
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) {
        *why = "zlib could not be initialised";
        return false;
    }
    Bytes output(size_t(1) << 20);
    stream.next_in = const_cast<Bytef*>(member.data() + headerBytes);
    stream.avail_in = static_cast<uInt>(member.size() - headerBytes);
    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t produced = 0;
    bool same = true;
    int result;
    do {
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        result = inflate(&stream, Z_NO_FLUSH);
        const size_t got = output.size() - stream.avail_out;
        same = same && (!input || (produced + got <= input->size() &&
                                   std::memcmp(output.data(), input->data() + produced, got) == 0));
        crc = crc32(crc, output.data(), static_cast<uInt>(got));
        produced += got;
    } while (result == Z_OK && produced <= UINT32_MAX);  // no installer is 4 GiB or more
    const size_t consumed = member.size() - headerBytes - stream.avail_in;
    inflateEnd(&stream);
    if (result != Z_STREAM_END) {
        *why = "zlib inflate ended with " + std::to_string(result);
        return false;
    }
    if (!same || (input && produced != input->size())) {
        *why = "the inflated data differ from the input";
        return false;
    }
    if (member.size() - headerBytes - consumed != kTrailerBytes) {
        *why = "the trailer does not follow the deflate data";
        return false;
    }
    const unsigned char* trailer = member.data() + headerBytes + consumed;
    if (GetLittleEndian32(trailer) != uint32_t(crc) ||
        GetLittleEndian32(trailer + 4) != uint32_t(produced)) {
        *why = "the trailer does not match the data";
        return false;
    }
    return true;
}

// Where the deflate data of a member packed before begin: after the header's fixed part and
// the optional fields its flags announce (RFC 1952), as the loader skips them. False when the
// bytes are no deflate member.
bool SkipMemberHeader(const Bytes& member, size_t* headerBytes)
{
    constexpr unsigned char kFlagHeaderCrc = 0x02, kFlagExtra = 0x04, kFlagComment = 0x10;
    constexpr size_t kFixedBytes = 10;
    if (member.size() < kFixedBytes + kTrailerBytes || member[0] != kGzipId1 ||
        member[1] != kGzipId2 || member[2] != kMethodDeflate)
        return false;
    const unsigned char flags = member[3];
    size_t at = kFixedBytes;
    if (flags & kFlagExtra)
        at = at + 2 > member.size() ? member.size() + 1
                                    : at + 2 + (member[at] | member[at + 1] << 8);
    for (unsigned char text : {kFlagName, kFlagComment}) {
        if (flags & text) {
            while (at < member.size() && member[at] != 0)
                ++at;
            ++at;
        }
    }
    if (flags & kFlagHeaderCrc)
        at += 2;
    *headerBytes = at;
    return at <= member.size();
}

// The gzip member around the deflate data: header with FNAME only and no time stamp (the
// output depends on the input only), then CRC-32 and length. headerBytes tells where the
// deflate data begin.
Bytes MakeMember(const Bytes& input, const Bytes& deflateData, const Level& level,
                 const std::string& storedName, size_t* headerBytes)
{
    Bytes member = {kGzipId1, kGzipId2, kMethodDeflate,   kFlagName, 0, 0,
                    0,        0,        level.extraFlags, kOsUnknown};
    member.insert(member.end(), storedName.begin(), storedName.end());
    member.push_back(0);
    *headerBytes = member.size();
    member.insert(member.end(), deflateData.begin(), deflateData.end());
    PutLittleEndian32(&member, libdeflate_crc32(0, input.data(), input.size()));
    PutLittleEndian32(&member, static_cast<uint32_t>(input.size()));
    return member;
}

// Packs input into member, showing the progress on a terminal; kExitDone, or the exit code of
// a failure it has reported.
int PackMember(const Options& options, const Bytes& input, Bytes& member)
{
    const std::string& inputPath = options.inputPath;
    std::string why;
    const bool terminal = !options.quiet && isatty(fileno(stderr));
    pack::PackProgress progress(terminal ? stderr : nullptr, input.size());
    progress.Show(0);
    Bytes deflateData;
    const bool deflated = pack::DeflateInChunks(
        input.data(), input.size(), options.level->compressorLevel, options.level->divideBlocks,
        options.level->chunkBytes, [&](size_t done) { progress.Show(done); }, deflateData, why,
        options.jobs);
    progress.Clear();
    if (!deflated)
        return tool::Report(kTool, inputPath, "compression failed: " + why, kExitFailed);

    const std::string storedName =
        options.storedName.empty() ? BaseName(inputPath) : options.storedName;
    size_t headerBytes = 0;
    member = MakeMember(input, deflateData, *options.level, storedName, &headerBytes);
    if (!Verify(member, headerBytes, &input, &why))
        return tool::Report(kTool, inputPath,
                            "the packed data do not check out (" + why + "), so " +
                                options.outputPath + " is not written",
                            kExitFailed);
    return kExitDone;
}

int Pack(const Options& options)
{
    const auto started = std::chrono::steady_clock::now();
    const std::string& inputPath = options.inputPath;
    const std::string& outputPath = options.outputPath;
    Bytes input;
    std::string why;
    if (!tool::ReadWholeFile(inputPath, input, why))
        return tool::Report(kTool, inputPath, why, kExitFailed);
    if (input.empty())
        return tool::Report(kTool, inputPath, "the file is empty: nothing to pack", kExitRefused);
    if (input.size() > UINT32_MAX)
        return tool::Report(kTool, inputPath, "4 GiB or more: too large for one resource",
                            kExitRefused);
    const size_t inputSize = input.size();
    Bytes member;
    if (options.packed) {
        size_t headerBytes = 0;
        if (!SkipMemberHeader(input, &headerBytes))
            return tool::Report(kTool, inputPath, "not a packed payload (no gzip member)",
                                kExitRefused);
        if (!Verify(input, headerBytes, nullptr, &why))
            return tool::Report(kTool, inputPath,
                                "the packed payload does not check out (" + why + ")", kExitFailed);
        member.swap(input);
    } else if (const int code = PackMember(options, input, member); code != kExitDone) {
        return code;
    }

    Bytes loader;
    if (!options.templatePath.empty()) {
        const int code = pack::PutIntoTemplate(options.templatePath, member, loader, why);
        if (code != kExitDone)
            return tool::Report(kTool, options.templatePath, why, code);
        member.swap(loader);
    }

    // Written under a fresh name first, so an interrupted run leaves no half file behind.
    if (!tool::ReplaceWholeFile(outputPath, member.data(), member.size(), tool::kNewFileMode, why))
        return tool::Report(kTool, outputPath, why, kExitFailed);
    if (!options.quiet) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("%s: %s: %zu bytes -> %s: %zu bytes (%.2f %% of the input) in %.2f s\n", kTool,
                    tool::OneLine(inputPath).c_str(), inputSize, tool::OneLine(outputPath).c_str(),
                    member.size(), 100.0 * member.size() / inputSize, seconds);
    }
    return kExitDone;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const int done = ReadOptions(argc, argv, options);
    if (done != kGoOn)
        return done;
    try {
        return Pack(options);
    } catch (const std::bad_alloc&) {
        return tool::Report(kTool, options.inputPath, "not enough memory to pack it", kExitFailed);
    }
}
