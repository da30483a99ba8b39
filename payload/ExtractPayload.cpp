#include "payload/ExtractPayload.h"

#include <windows.h>

#include "loader/LoaderLog.h"
#include "payload/GzipMember.h"

namespace payload {

MessageBoxFunction g_showMessageBox = &MessageBoxA;
WriteFileFunction g_writeFile = &WriteFile;

namespace {

constexpr int kMessageChars = 512;
constexpr int kPathChars = 260;
constexpr unsigned kCannotStartStyle = MB_ICONHAND | MB_SYSTEMMODAL | MB_SETFOREGROUND;  // 0x11010
static_assert(kCannotStartStyle == 0x11010, "the box's style");
constexpr const char kCannotStartText[] =
    "Sorry, Orvadesk cannot be started at this time.\nPlease try again in a few minutes.";
constexpr const char kCannotStartCaption[] = "Error - Orvadesk";

// Logs format (one "%s") with the output path.
void LogPathLine(const char* format, const char* path, long errorCode) {
    // A path this long cannot name a file, so shortening it in the log loses nothing; it keeps
    // the formatted line inside the buffer.
    char shownPath[kPathChars];
    lstrcpynA(shownPath, path != nullptr ? path : "", kPathChars);
    char message[kMessageChars];
    wsprintfA(message, format, shownPath);
    loader::WriteLoaderLog(message, errorCode);
}

void LogZlibCode(int zlibCode) {
    char message[kMessageChars];
    wsprintfA(message, "ZLIB error code is %ld!", long(zlibCode));
    loader::WriteLoaderLog(message, loader::kNoErrorCode);
}

// Writes inflated data to the output file; keeps the last error of a failed write.
struct FileSink {
    HANDLE file;
    long error;
};

bool WriteToFile(void* context, const unsigned char* data, size_t size) {
    FileSink* sink = static_cast<FileSink*>(context);
    size_t written = 0;
    while (written < size) {
        DWORD done = 0;
        if (!g_writeFile(sink->file, data + written, DWORD(size - written), &done, nullptr)) {
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

void CloseAndDelete(HANDLE file, const char* path) {
    CloseHandle(file);
    DeleteFileA(path);
}

int FailWithBox(const char* format, const char* path, long errorCode) {
    LogPathLine(format, path, errorCode);
    ShowCannotStartBox();
    return -1;
}

}  // namespace
}  // namespace payload

using payload::FailWithBox;

void ShowCannotStartBox() {
    char text[payload::kMessageChars];
    lstrcpynA(text, payload::kCannotStartText, payload::kMessageChars);
    payload::g_showMessageBox(nullptr, text, payload::kCannotStartCaption,
                              payload::kCannotStartStyle);
}

int ExtractPayload(int resourceId, const char* outputPath, int quietIo, void** heldFile) {
    if (heldFile != nullptr) *heldFile = nullptr;
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
    return ExtractPayloadData(static_cast<const unsigned char*>(data), size, outputPath, quietIo,
                              heldFile);
}

int ExtractPayloadData(const unsigned char* data, size_t size, const char* outputPath,
                       int quietIo, void** heldFile) {
    using payload::InflateStatus;
    using payload::LogPathLine;
    if (heldFile != nullptr) *heldFile = nullptr;
    const long noCode = loader::kNoErrorCode;

    const payload::GzipHeader header = payload::ParseGzipHeader(data, size);
    if (header.status == payload::GzipHeaderStatus::NotGzip) {
        return FailWithBox("Compressed executable not in GZIP format for <%s>.", outputPath, noCode);
    }
    if (header.status == payload::GzipHeaderStatus::UnsupportedMethod) {
        return FailWithBox("Unsupported compression method for <%s>.", outputPath, noCode);
    }

    payload::MemberInflater inflater;
    const payload::InflateResult started =
        inflater.Start(data + header.deflateOffset, size - header.deflateOffset);
    switch (started.status) {
    case InflateStatus::Ok:
        break;
    case InflateStatus::NoOutputBuffer:
        return FailWithBox("Could not allocate output buffer for <%s>.", outputPath, noCode);
    case InflateStatus::NoStream:
        return FailWithBox("Could not allocate zlib stream data buffer for <%s>.", outputPath,
                           noCode);
    default:
        FailWithBox("Could not initialize zlib for <%s>.", outputPath, noCode);
        payload::LogZlibCode(started.zlibCode);
        return -1;
    }

    HANDLE file = CreateFileA(outputPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const long error = long(GetLastError());
        inflater.Release();
        LogPathLine("Could not create temporary file for <%s>.", outputPath, error);
        if (quietIo != 1) ShowCannotStartBox();
        return -1;
    }

    payload::FileSink sink{file, noCode};
    const payload::InflateResult result = inflater.Run({&payload::WriteToFile, &sink});
    inflater.Release();
    switch (result.status) {
    case InflateStatus::Ok:
        break;
    case InflateStatus::WriteFailed:
        payload::CloseAndDelete(file, outputPath);
        LogPathLine("Could not write data to file for <%s>.", outputPath, sink.error);
        if (quietIo != 1) ShowCannotStartBox();
        return -1;
    case InflateStatus::IntegrityFailed:
        payload::CloseAndDelete(file, outputPath);
        return FailWithBox("Extracted executable failed its integrity check for <%s>.",
                           outputPath, noCode);
    default:
        payload::CloseAndDelete(file, outputPath);
        FailWithBox("Could not decompress executable for <%s>.", outputPath, noCode);
        payload::LogZlibCode(result.zlibCode);
        return -1;
    }
    CloseHandle(file);

    if (heldFile != nullptr) {
        HANDLE held = CreateFileA(outputPath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held != INVALID_HANDLE_VALUE) *heldFile = held;
    }
    return 0;
}
