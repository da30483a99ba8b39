// Extraction benchmark: the loader's ExtractPayload against a bare zlib baseline, on the
// payload this program carries as resource 102 (packed by loader-pack, as in the loader).
//
//   payload-bench time [runs]   median throughput of both, interleaved, and their ratio; the
//                               loader's is its whole step: extraction, hold and read-back check
//   payload-bench crc [runs]    the CRC-32 alone over the installer in 16,384-byte pieces, each
//                               way: the system zlib's (the baseline's), folding, tables
//   payload-bench memory        one ExtractPayload, then this process's memory counters
//
// With ORVA_BENCH_SAMPLES set, "time" also prints every run's milliseconds (sorted; baseline,
// loader).
// Output files go to the temporary folder and are deleted after each run. Lines are
// "key value" pairs so that a script can read them.
#include <windows.h>
#include "tests/support/SystemCallsHook.h"
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>  // the system's zlib, built for speed: the baseline

#include <algorithm>
#include <vector>

#include "payload/Crc32.h"
#include "loader/CannotStartBox.h"
#include "payload/ExtractPayload.h"
#include "payload/GzipMember.h"

namespace {

constexpr int kPayloadResourceId = 102;
constexpr int kDefaultRuns = 7;
constexpr double kMiB = 1024.0 * 1024.0;

struct Payload {
    const unsigned char* data = nullptr;
    size_t size = 0;
    size_t deflateOffset = 0;
    uint32_t expectedCrc = 0;
    uint32_t outputBytes = 0;  // ISIZE: the installer's size modulo 2^32
};

uint32_t ReadLittleEndian32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool LoadPayload(Payload* payload)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(kPayloadResourceId), RT_RCDATA);
    if (resource == nullptr)
        return false;
    payload->size = SizeofResource(nullptr, resource);
    HGLOBAL loaded = LoadResource(nullptr, resource);
    if (loaded == nullptr || payload->size < 18)
        return false;
    payload->data = static_cast<const unsigned char*>(LockResource(loaded));
    if (payload->data == nullptr)
        return false;
    const payload::GzipHeader header = payload::ParseGzipHeader(payload->data, payload->size);
    if (header.status != payload::GzipHeaderStatus::Ok)
        return false;
    payload->deflateOffset = header.deflateOffset;
    payload->expectedCrc = ReadLittleEndian32(payload->data + payload->size - 8);
    payload->outputBytes = ReadLittleEndian32(payload->data + payload->size - 4);
    return true;
}

// What any gzip decoder does: raw inflate from memory into one 16,384-byte buffer, CRC-32 of
// the output, each full buffer written with WriteFile. Returns false on any failure.
bool BaselineExtract(const Payload& payload, const char* path)
{
    static unsigned char buffer[payload::kOutputBufferBytes];
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    z_stream stream = {};
    stream.next_in = const_cast<Bytef*>(payload.data + payload.deflateOffset);
    stream.avail_in = uInt(payload.size - payload.deflateOffset);
    bool ok = inflateInit2(&stream, -15) == Z_OK;
    uLong crc = crc32(0L, Z_NULL, 0);
    int result = Z_OK;
    while (ok && result != Z_STREAM_END) {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            ok = false;
            break;
        }
        const DWORD filled = DWORD(sizeof buffer - stream.avail_out);
        crc = crc32(crc, buffer, filled);
        DWORD written = 0;
        if (filled != 0 &&
            (!WriteFile(file, buffer, filled, &written, nullptr) || written != filled))
            ok = false;
    }
    inflateEnd(&stream);
    CloseHandle(file);
    return ok && uint32_t(crc) == payload.expectedCrc;
}

// As the loader runs it: the finished file held read-only and read back against the trailer.
bool LoaderExtract(const char* path)
{
    void* held = nullptr;
    const bool ok = payload::ExtractPayloadFile(kPayloadResourceId, path, true, &held) == 0;
    if (held != nullptr)
        CloseHandle(held);
    return ok;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

template <typename Extract>
bool TimeOne(Extract extract, const char* path, std::vector<double>* seconds)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const bool ok = extract();
    QueryPerformanceCounter(&end);
    DeleteFileA(path);
    if (ok)
        seconds->push_back(Seconds(start, end));
    return ok;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void OutputPath(char* path)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    snprintf(path, MAX_PATH, "%sorva-bench-%lu.bin", folder, GetCurrentProcessId());
}

int Time(const Payload& payload, int runs)
{
    char path[MAX_PATH];
    OutputPath(path);
    std::vector<double> baseline, loader;
    auto runBaseline = [&] { return BaselineExtract(payload, path); };
    auto runLoader = [&] { return LoaderExtract(path); };
    // One warm-up of each, then interleaved runs, the order turned every round.
    TimeOne(runBaseline, path, &baseline);
    TimeOne(runLoader, path, &loader);
    baseline.clear();
    loader.clear();
    for (int i = 0; i < runs; ++i) {
        const bool ok =
            i % 2 ? TimeOne(runLoader, path, &loader) && TimeOne(runBaseline, path, &baseline)
                  : TimeOne(runBaseline, path, &baseline) && TimeOne(runLoader, path, &loader);
        if (!ok) {
            fprintf(stderr, "extraction failed in run %d\n", i + 1);
            return 1;
        }
    }
    if (getenv("ORVA_BENCH_SAMPLES")) {
        std::sort(baseline.begin(), baseline.end());
        std::sort(loader.begin(), loader.end());
        for (size_t i = 0; i < baseline.size(); ++i)
            printf("sample %.2f %.2f\n", baseline[i] * 1000, loader[i] * 1000);
    }
    const double mib = payload.outputBytes / kMiB;
    const double baselineRate = mib / Median(baseline);
    const double loaderRate = mib / Median(loader);
    printf("installer_bytes %lu\n", static_cast<unsigned long>(payload.outputBytes));
    printf("payload_bytes %lu\n", static_cast<unsigned long>(payload.size));
    printf("runs %d\n", runs);
    printf("baseline_mib_s %.1f\n", baselineRate);
    printf("loader_mib_s %.1f\n", loaderRate);
    printf("ratio %.3f\n", loaderRate / baselineRate);
    return 0;
}

uint32_t ZlibCrc32(uint32_t crc, const unsigned char* data, size_t size)
{
    return uint32_t(crc32(crc, data, uInt(size)));
}

// The installer inflated into memory once, then each CRC-32 over it in 16,384-byte pieces, as
// the extraction computes it; median of interleaved runs.
int Crc(const Payload& payload, int runs)
{
    std::vector<unsigned char> installer(payload.outputBytes);
    z_stream stream = {};
    stream.next_in = const_cast<Bytef*>(payload.data + payload.deflateOffset);
    stream.avail_in = uInt(payload.size - payload.deflateOffset);
    stream.next_out = installer.data();
    stream.avail_out = uInt(installer.size());
    const bool inflated = inflateInit2(&stream, -15) == Z_OK &&
                          inflate(&stream, Z_FINISH) == Z_STREAM_END &&
                          stream.total_out == installer.size();
    inflateEnd(&stream);
    if (!inflated) {
        fprintf(stderr, "the payload does not inflate\n");
        return 1;
    }
    using CrcFunction = uint32_t (*)(uint32_t, const unsigned char*, size_t);
    const struct {
        const char* name;
        CrcFunction crc;
    } ways[] = {
        {"crc_zlib_mib_s", &ZlibCrc32},
        {"crc_folding_mib_s", &payload::Crc32},
        {"crc_tables_mib_s", &payload::Crc32WithTables},
    };
    const size_t count = sizeof ways / sizeof ways[0];
    std::vector<double> seconds[count];
    for (int i = 0; i < runs; ++i) {
        for (size_t k = 0; k < count; ++k) {
            const size_t way = (i + k) % count;
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            uint32_t crc = 0;
            for (size_t at = 0; at < installer.size(); at += payload::kOutputBufferBytes) {
                const size_t piece = std::min(payload::kOutputBufferBytes, installer.size() - at);
                crc = ways[way].crc(crc, installer.data() + at, piece);
            }
            QueryPerformanceCounter(&end);
            if (crc != payload.expectedCrc) {
                fprintf(stderr, "%s: wrong CRC-32\n", ways[way].name);
                return 1;
            }
            seconds[way].push_back(Seconds(start, end));
        }
    }
    printf("crc_folds %d\n", payload::Crc32Folds() ? 1 : 0);
    for (size_t k = 0; k < count; ++k)
        printf("%s %.1f\n", ways[k].name, payload.outputBytes / kMiB / Median(seconds[k]));
    return 0;
}

int Memory(const Payload& payload)
{
    char path[MAX_PATH];
    OutputPath(path);
    PROCESS_MEMORY_COUNTERS_EX before = {}, after = {};
    before.cb = after.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&before),
                         sizeof before);
    const bool ok = LoaderExtract(path);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&after),
                         sizeof after);
    DeleteFileA(path);
    if (!ok) {
        fprintf(stderr, "extraction failed\n");
        return 1;
    }
    printf("installer_bytes %lu\n", static_cast<unsigned long>(payload.outputBytes));
    printf("private_before %llu\n", static_cast<unsigned long long>(before.PrivateUsage));
    printf("private_after %llu\n", static_cast<unsigned long long>(after.PrivateUsage));
    printf("peak_pagefile %llu\n", static_cast<unsigned long long>(after.PeakPagefileUsage));
    printf("peak_working_set %llu\n", static_cast<unsigned long long>(after.PeakWorkingSetSize));
    return 0;
}

int WINAPI NoBox(HWND, LPCSTR, LPCSTR, UINT)
{
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Payload payload;
    if (!LoadPayload(&payload)) {
        fprintf(stderr, "no usable payload resource %d\n", kPayloadResourceId);
        return 1;
    }
    // Under test the extraction's message box would wait for a click.
    support::g_systemCalls.messageBoxA = &NoBox;
    if (argc >= 2 && strcmp(argv[1], "time") == 0)
        return Time(payload, argc >= 3 ? std::max(1, atoi(argv[2])) : kDefaultRuns);
    if (argc >= 2 && strcmp(argv[1], "crc") == 0)
        return Crc(payload, argc >= 3 ? std::max(1, atoi(argv[2])) : kDefaultRuns);
    if (argc >= 2 && strcmp(argv[1], "memory") == 0)
        return Memory(payload);
    fprintf(stderr, "usage: payload-bench time [runs] | crc [runs] | memory\n");
    return 2;
}
