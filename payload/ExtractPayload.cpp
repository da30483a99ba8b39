#include "payload/ExtractPayload.h"

#include <windows.h>

#include "VoFoundation/VoLimits.h"
#include "VoFoundation/VoOwners.h"
#include "VoFoundation/VoSystemCalls.h"
#include "loader/CannotStartBox.h"
#include "loaderlog/LoaderLog.h"
#include "payload/GzipMember.h"

namespace payload {

namespace {

// What a failure without a Win32 error of its own leaves as the last error.
constexpr DWORD kDamagedData = ERROR_INVALID_DATA;
constexpr DWORD kNoMemory = ERROR_NOT_ENOUGH_MEMORY;

// Logs format (one "%s") with the output path.
void LogPathLine(const char* format, const char* path, long errorCode)
{
    loader::WriteLoaderLogF(errorCode, format, path != nullptr ? path : "");
}

void LogZlibCode(int zlibCode)
{
    loader::WriteLoaderLogF(loader::kNoErrorCode, "ZLIB error code is %ld!", long(zlibCode));
}

// Writes inflated data to the output file; keeps the last error of a failed write.
struct FileSink {
    HANDLE file;
    long error;
};

bool WriteToFile(void* context, const unsigned char* data, size_t size)
{
    FileSink* sink = static_cast<FileSink*>(context);
    size_t written = 0;
    while (written < size) {
        DWORD done = 0;
        if (!VoCalls().writeFile(sink->file, data + written, DWORD(size - written), &done,
                                 nullptr)) {
            sink->error = long(GetLastError());
            return false;
        }
        // Success with nothing written would repeat forever: a failure without an error code.
        if (done == 0) {
            sink->error = loader::kNoErrorCode;
            return false;
        }
        written += done;
    }
    return true;
}

// Lets go of the unfinished output file and deletes it.
void CloseAndDelete(VoUniqueHandle& file, const char* path)
{
    file.reset();
    DeleteFileA(path);
}

// Reads the held file back; keeps the last error of a failed read.
bool ReadFromFile(void* context, unsigned char* data, size_t capacity, size_t* got)
{
    FileSink* source = static_cast<FileSink*>(context);
    DWORD done = 0;
    if (!ReadFile(source->file, data, DWORD(capacity), &done, nullptr)) {
        source->error = long(GetLastError());
        return false;
    }
    *got = done;
    return true;
}

// The error a failure leaves behind: its Win32 error, or, when it has none, damaged data.
DWORD FailureCode(long logged)
{
    return logged == loader::kNoErrorCode ? kDamagedData : (DWORD)logged;
}

DWORD FailWithBox(const char* format, const char* path, long errorCode)
{
    LogPathLine(format, path, errorCode);
    loader::ShowCannotStartBox();
    return FailureCode(errorCode);
}

// A failure of the file itself: the box only unless quiet.
DWORD FailQuietly(const char* format, const char* path, long errorCode, bool quiet)
{
    LogPathLine(format, path, errorCode);
    if (!quiet)
        loader::ShowCannotStartBox();
    return FailureCode(errorCode);
}

// Opens the finished file read-only with read sharing only, then reads it back through that
// handle against the trailer's CRC-32 and length: the one check of what was written, and the
// file was closed after its writing, so someone may have replaced it before the hold was taken.
// Returns 0 with *heldFile set (or the hold let go when heldFile is null), or the failure's
// error after logging it; a payload that does not match its own trailer leaves no file.
DWORD HoldAndCheck(MemberInflater& inflater, const char* path, bool quiet, void** heldFile)
{
    VoUniqueHandle held(VoCalls().createFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) {
        return FailQuietly("Could not hold extracted executable for <%s>.", path,
                           long(GetLastError()), quiet);
    }
    FileSink source{held.get(), loader::kNoErrorCode};
    const InflateResult checked = inflater.CheckReadBack({&ReadFromFile, &source});
    switch (checked.status) {
    case InflateStatus::Ok:
        if (heldFile != nullptr)
            *heldFile = held.release();
        return 0;
    case InflateStatus::ReadFailed:
        held.reset();
        return FailQuietly("Could not hold extracted executable for <%s>.", path, source.error,
                           quiet);
    case InflateStatus::ContentChanged:
        held.reset();
        return FailQuietly("Extracted executable changed after it was written for <%s>.", path,
                           loader::kNoErrorCode, quiet);
    default:
        inflater.Release();
        CloseAndDelete(held, path);
        return FailWithBox("Extracted executable failed its integrity check for <%s>.", path,
                           loader::kNoErrorCode);
    }
}

}  // namespace

DWORD ExtractPayloadData(const unsigned char* data, size_t size, const char* outputPath, bool quiet,
                         void** heldFile)
{
    if (heldFile != nullptr)
        *heldFile = nullptr;
    const long noCode = loader::kNoErrorCode;

    const GzipHeader header = ParseGzipHeader(data, size);
    if (header.status == GzipHeaderStatus::NotGzip) {
        return FailWithBox("Compressed executable not in GZIP format for <%s>.", outputPath,
                           noCode);
    }
    if (header.status == GzipHeaderStatus::UnsupportedMethod) {
        return FailWithBox("Unsupported compression method for <%s>.", outputPath, noCode);
    }

    MemberInflater inflater;
    const InflateResult started =
        inflater.Start(data + header.deflateOffset, size - header.deflateOffset);
    switch (started.status) {
    case InflateStatus::Ok:
        break;
    case InflateStatus::NoOutputBuffer:
        FailWithBox("Could not allocate output buffer for <%s>.", outputPath, noCode);
        return kNoMemory;
    case InflateStatus::NoStream:
        FailWithBox("Could not allocate zlib stream data buffer for <%s>.", outputPath, noCode);
        return kNoMemory;
    default:
        FailWithBox("Could not initialize zlib for <%s>.", outputPath, noCode);
        LogZlibCode(started.zlibCode);
        return kDamagedData;
    }

    // Made new: a file found at the path is never taken over or replaced.
    VoUniqueHandle file(VoCalls().createFileA(outputPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const long error = long(GetLastError());
        inflater.Release();
        return FailQuietly("Could not create temporary file for <%s>.", outputPath, error, quiet);
    }

    FileSink sink{file.get(), noCode};
    const InflateResult result = inflater.Run({&WriteToFile, &sink});
    switch (result.status) {
    case InflateStatus::Ok:
        break;
    case InflateStatus::WriteFailed:
        inflater.Release();
        CloseAndDelete(file, outputPath);
        return FailQuietly("Could not write data to file for <%s>.", outputPath, sink.error, quiet);
    case InflateStatus::IntegrityFailed:
        inflater.Release();
        CloseAndDelete(file, outputPath);
        return FailWithBox("Extracted executable failed its integrity check for <%s>.", outputPath,
                           noCode);
    default:
        inflater.Release();
        CloseAndDelete(file, outputPath);
        FailWithBox("Could not decompress executable for <%s>.", outputPath, noCode);
        LogZlibCode(result.zlibCode);
        return kDamagedData;
    }
    file.reset();
    return HoldAndCheck(inflater, outputPath, quiet, heldFile);
}

DWORD ExtractPayloadFile(int resourceId, const char* outputPath, bool quiet, void** heldFile)
{
    if (heldFile != nullptr)
        *heldFile = nullptr;
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(resourceId), RT_RCDATA);
    if (resource == nullptr) {
        return FailWithBox("Could not find resource for <%s>.", outputPath, long(GetLastError()));
    }
    const DWORD size = SizeofResource(nullptr, resource);
    if (size == 0) {
        return FailWithBox("Could not get size of resource for <%s>.", outputPath,
                           long(GetLastError()));
    }
    HGLOBAL loaded = LoadResource(nullptr, resource);
    if (loaded == nullptr) {
        return FailWithBox("Could not load resource for <%s>.", outputPath, long(GetLastError()));
    }
    const void* data = LockResource(loaded);
    if (data == nullptr) {
        return FailWithBox("Could not lock resource for <%s>.", outputPath, loader::kNoErrorCode);
    }
    return ExtractPayloadData(static_cast<const unsigned char*>(data), size, outputPath, quiet,
                              heldFile);
}

}  // namespace payload
