#include "loader/CannotStartBox.h"
#include "tests/support/SystemCallsHook.h"
#include "payload/ExtractPayload.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PayloadBytes.h"
#include "loaderlog/LoaderLog.h"
#include "payload/GzipMember.h"

using namespace payload_test;

// The loader log, captured: this definition stands in for the loader's own, so each line and
// its error code can be checked exactly.
namespace {
struct LogLine {
    std::string text;
    long code;
    bool operator==(const LogLine& o) const { return text == o.text && code == o.code; }
};
// Found by the test's failure messages next to the type.
std::ostream& operator<<(std::ostream& os, const LogLine& line)
{
    return os << '"' << line.text << "\" (" << line.code << ')';
}
std::vector<LogLine> g_log;
}  // namespace

void loader::WriteLoaderLog(const char* text, long errorCode)
{
    if (text != nullptr)
        g_log.push_back({text, errorCode});
}

namespace {

constexpr int kPayloadResource = 102;
constexpr int kOriginalResource = 103;  // the unpacked payload, to compare against
constexpr int kMissingResource = 999;
const char kBoxMarker[] = "<box>";  // stands in the log where the box was shown

struct Box {
    std::string text;
    std::string caption;
    unsigned style;
};
std::vector<Box> g_boxes;

int __stdcall RecordBox(HWND__*, const char* text, const char* caption, unsigned style)
{
    g_boxes.push_back({text, caption, style});
    g_log.push_back({kBoxMarker, 0});
    return IDOK;
}

// Write seams: each records the size asked for and behaves as its name says.
std::vector<unsigned long> g_writeSizes;

int __stdcall RecordWrites(void* file, const void* data, unsigned long size, unsigned long* written,
                           _OVERLAPPED* overlapped)
{
    g_writeSizes.push_back(size);
    return WriteFile(file, data, size, written, overlapped);
}

int __stdcall WriteAtMost1000(void* file, const void* data, unsigned long size,
                              unsigned long* written, _OVERLAPPED* overlapped)
{
    g_writeSizes.push_back(size);
    return WriteFile(file, data, size < 1000 ? size : 1000, written, overlapped);
}

int __stdcall WriteNothingButSucceed(void*, const void*, unsigned long size, unsigned long* written,
                                     _OVERLAPPED*)
{
    g_writeSizes.push_back(size);
    *written = 0;
    return TRUE;
}

int __stdcall FailWithDiskFull(void*, const void*, unsigned long size, unsigned long* written,
                               _OVERLAPPED*)
{
    g_writeSizes.push_back(size);
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

Bytes ReadResource(int id)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_RCDATA);
    if (resource == nullptr)
        return {};
    const unsigned char* data =
        static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    return Bytes(data, data + SizeofResource(nullptr, resource));
}

class ExtractPayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
        folder_ = std::string(temp) + "payload-test-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        path_ = folder_ + "\\Setup.exe";
        DeleteFileA(path_.c_str());
        g_log.clear();
        g_boxes.clear();
        g_writeSizes.clear();
        support::g_systemCalls.messageBoxA = &RecordBox;
        support::g_systemCalls.writeFile = &RecordWrites;
    }
    void TearDown() override
    {
        support::RestoreSystemCalls();
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    DWORD Extract(const Bytes& member, bool quiet = true)
    {
        return payload::ExtractPayloadData(member.data(), member.size(), path_.c_str(), quiet);
    }
    std::string Line(const char* format) const
    {
        char text[1024];
        wsprintfA(text, format, path_.c_str());
        return text;
    }
    bool FileExists() const { return GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }
    Bytes FileBytes() const
    {
        Bytes bytes;
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return bytes;
        unsigned char chunk[65536];
        DWORD got = 0;
        while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        CloseHandle(file);
        return bytes;
    }

    std::string folder_;
    std::string path_;
};

TEST_F(ExtractPayloadTest, ExtractsItsOwnResourceByteForByte)
{
    const Bytes original = ReadResource(kOriginalResource);
    ASSERT_GT(original.size(), 0u);
    EXPECT_EQ(0, payload::ExtractPayload(kPayloadResource, path_.c_str(), 1));
    EXPECT_TRUE(original == FileBytes());
    EXPECT_TRUE(g_log.empty());
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ExtractPayloadTest, MissingResourceIsLoggedWithTheLastErrorAndShowsTheBox)
{
    EXPECT_EQ(DWORD(ERROR_RESOURCE_NAME_NOT_FOUND),
              payload::ExtractPayloadFile(kMissingResource, path_.c_str(), true));
    ASSERT_EQ(2u, g_log.size());
    EXPECT_EQ(Line("Could not find resource for <%s>."), g_log[0].text);
    EXPECT_EQ(long(ERROR_RESOURCE_NAME_NOT_FOUND), g_log[0].code);
    EXPECT_EQ(kBoxMarker, g_log[1].text);
    EXPECT_FALSE(FileExists());

    // The box never tells the reason; that is in the log only.
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_EQ("Sorry, Orvadesk cannot be started at this time.\nPlease try again in a few minutes.",
              g_boxes[0].text);
    EXPECT_EQ("Error - Orvadesk", g_boxes[0].caption);
    EXPECT_EQ(0x11010u, g_boxes[0].style);
}

TEST_F(ExtractPayloadTest, DamagedPayloadsAreLoggedBoxedAndLeaveNoFile)
{
    const Bytes data = SampleData(50000, 11);
    const Bytes good = GzipMemberBytes(data);
    MemberShape method9, wrongCrc, wrongSize;
    method9.method = 9;
    wrongCrc.crcDelta = 0x100;
    wrongSize.sizeDelta = 1;
    Bytes badMagic = good;
    badMagic[0] = 0x1E;
    const Bytes header = GzipHeaderBytes(MemberShape());
    const Bytes truncatedHeader(header.begin(), header.end() - 3);  // inside the file name
    const Bytes cutShort(good.begin(), good.begin() + good.size() / 2);
    Bytes invalid = header;
    invalid.insert(invalid.end(), 16, 0xFF);

    const char* notGzip = "Compressed executable not in GZIP format for <%s>.";
    const char* notInflated = "Could not decompress executable for <%s>.";
    const char* notIntact = "Extracted executable failed its integrity check for <%s>.";
    // Each logs its line ("%s" = path) without an error code, the box, and zlib's code if any.
    const struct {
        const char* name;
        Bytes member;
        const char* line;
        const char* zlibLine;
    } cases[] = {
        {"bad magic", badMagic, notGzip, nullptr},
        {"header cut inside the name", truncatedHeader, notGzip, nullptr},
        {"compression method 9", GzipMemberBytes(data, method9),
         "Unsupported compression method for <%s>.", nullptr},
        {"deflate data end early", cutShort, notInflated, "ZLIB error code is -5!"},
        {"invalid deflate data", invalid, notInflated, "ZLIB error code is -3!"},
        {"wrong CRC-32", GzipMemberBytes(data, wrongCrc), notIntact, nullptr},
        {"wrong ISIZE", GzipMemberBytes(data, wrongSize), notIntact, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_log.clear();
        g_boxes.clear();
        // quiet keeps the box only for file failures, so these still show it.
        EXPECT_EQ(DWORD(ERROR_INVALID_DATA), Extract(c.member, true));
        std::vector<LogLine> expected{{Line(c.line), -1}, {kBoxMarker, 0}};
        if (c.zlibLine)
            expected.push_back({c.zlibLine, -1});
        EXPECT_EQ(expected, g_log);
        EXPECT_EQ(1u, g_boxes.size());
        EXPECT_FALSE(FileExists());
    }
}

TEST_F(ExtractPayloadTest, WritesComeIn16KPiecesIntoANewFileOnly)
{
    const Bytes data = SampleData(2 * payload::kOutputBufferBytes, 4);
    EXPECT_EQ(0u, Extract(GzipMemberBytes(data)));
    EXPECT_TRUE(data == FileBytes());
    EXPECT_EQ((std::vector<unsigned long>{16384, 16384}), g_writeSizes);
    EXPECT_TRUE(g_log.empty());
    // A file found at the path is neither written through nor replaced.
    EXPECT_EQ(DWORD(ERROR_FILE_EXISTS), Extract(GzipMemberBytes(SampleData(100, 2)), true));
    EXPECT_TRUE(data == FileBytes());
    // The form that answers 0 or -1 is quiet for exactly 1 alone.
    for (int quietIo : {1, 0, 2}) {
        g_boxes.clear();
        EXPECT_EQ(-1, payload::ExtractPayload(kPayloadResource, path_.c_str(), quietIo));
        EXPECT_EQ(quietIo == 1 ? 0u : 1u, g_boxes.size()) << quietIo;
    }
}

TEST_F(ExtractPayloadTest, PartialWritesAreContinuedUntilTheBufferIsOut)
{
    support::g_systemCalls.writeFile = &WriteAtMost1000;
    const Bytes data = SampleData(payload::kOutputBufferBytes + 2500, 6);
    EXPECT_EQ(0u, Extract(GzipMemberBytes(data)));
    EXPECT_TRUE(data == FileBytes());
    EXPECT_EQ(16u + 1u + 3u, g_writeSizes.size());  // 16,384 in 17 calls, 2,500 in 3
}

TEST_F(ExtractPayloadTest, FileFailuresShowTheBoxUnlessQuietIsExactlyOne)
{
    const Bytes member = GzipMemberBytes(SampleData(30000, 8));
    HANDLE holder = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    const struct {
        const char* name;
        decltype(VoSystemCalls::writeFile) write;  // null: the file is held open without sharing
        long code;
        const char* line;
    } cases[] = {
        {"a file already there, held open by another handle", nullptr, ERROR_FILE_EXISTS,
         "Could not create temporary file for <%s>."},
        {"write fails", &FailWithDiskFull, ERROR_DISK_FULL,
         "Could not write data to file for <%s>."},
        {"write succeeds with nothing written", &WriteNothingButSucceed, -1,
         "Could not write data to file for <%s>."},
    };
    for (const auto& c : cases) {
        if (c.write != nullptr && holder != INVALID_HANDLE_VALUE) {
            CloseHandle(holder);
            holder = INVALID_HANDLE_VALUE;
            DeleteFileA(path_.c_str());
        }
        support::g_systemCalls.writeFile = c.write != nullptr ? c.write : &RecordWrites;
        for (bool quiet : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + ", quiet " + std::to_string(quiet));
            g_log.clear();
            g_boxes.clear();
            g_writeSizes.clear();
            EXPECT_EQ(DWORD(c.code == -1 ? ERROR_INVALID_DATA : c.code), Extract(member, quiet));
            ASSERT_FALSE(g_log.empty());
            EXPECT_EQ((LogLine{Line(c.line), c.code}), g_log[0]);
            EXPECT_EQ(quiet ? 0u : 1u, g_boxes.size());
            EXPECT_EQ(quiet ? 1u : 2u, g_log.size());
            if (c.write != nullptr) {
                EXPECT_EQ(1u, g_writeSizes.size());  // no retry after a failed write
                EXPECT_FALSE(FileExists());
            }
        }
    }
    if (holder != INVALID_HANDLE_VALUE)
        CloseHandle(holder);
}

TEST_F(ExtractPayloadTest, TheFinishedFileCanBeHeldReadOnly)
{
    const Bytes data = SampleData(5000, 12);
    const Bytes member = GzipMemberBytes(data);
    void* held = nullptr;
    ASSERT_EQ(
        0u, payload::ExtractPayloadData(member.data(), member.size(), path_.c_str(), true, &held));
    ASSERT_NE(nullptr, held);
    HANDLE writer = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    EXPECT_FALSE(DeleteFileA(path_.c_str()));
    EXPECT_TRUE(data == FileBytes());  // readers are still let in
    CloseHandle(held);

    void* none = &held;
    EXPECT_NE(0u, payload::ExtractPayloadData(nullptr, 0, path_.c_str(), true, &none));
    EXPECT_EQ(nullptr, none);
}

// What happens to the finished file between the end of its writing and the hold, through the
// seam that opens it: nothing, or something that keeps the hold from being taken or changes
// the file.
enum class Gap { Untouched, HeldByOther, Replaced, CutShort, Grown };
Gap g_gap = Gap::Untouched;
std::vector<DWORD> g_opens;  // the access asked for by each open, in order

void* __stdcall OpenWithGap(const char* path, unsigned long access, unsigned long share,
                            _SECURITY_ATTRIBUTES* security, unsigned long disposition,
                            unsigned long attributes, void* templateFile)
{
    g_opens.push_back(access);
    if (access == GENERIC_READ && g_gap != Gap::Untouched) {
        if (g_gap == Gap::HeldByOther) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        HANDLE file =
            CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD done = 0;
            if (g_gap == Gap::Replaced) {
                // Same length, the first byte changed.
                unsigned char first = 0;
                ReadFile(file, &first, 1, &done, nullptr);
                first = static_cast<unsigned char>(~first);
                SetFilePointer(file, 0, nullptr, FILE_BEGIN);
                WriteFile(file, &first, 1, &done, nullptr);
            } else if (g_gap == Gap::CutShort) {
                SetFilePointer(file, -1, nullptr, FILE_END);
                SetEndOfFile(file);
            } else {
                SetFilePointer(file, 0, nullptr, FILE_END);
                WriteFile(file, "", 1, &done, nullptr);
            }
            CloseHandle(file);
        }
    }
    return CreateFileA(path, access, share, security, disposition, attributes, templateFile);
}

TEST_F(ExtractPayloadTest, OnlyAnUnchangedFileIsHeldAndHandedOver)
{
    const Bytes data = SampleData(40000, 13);
    const Bytes member = GzipMemberBytes(data);
    support::g_systemCalls.createFileA = &OpenWithGap;
    const struct {
        const char* name;
        Gap gap;
        const char* line;  // nullptr: no line, the file is held
        long code;
        DWORD lastError;
    } cases[] = {
        {"untouched", Gap::Untouched, nullptr, 0, 0},
        {"opened by another process without sharing", Gap::HeldByOther,
         "Could not hold extracted executable for <%s>.", ERROR_SHARING_VIOLATION,
         ERROR_SHARING_VIOLATION},
        {"replaced by other bytes", Gap::Replaced,
         "Extracted executable changed after it was written for <%s>.", -1, ERROR_INVALID_DATA},
        {"cut short", Gap::CutShort, "Extracted executable changed after it was written for <%s>.",
         -1, ERROR_INVALID_DATA},
        {"grown", Gap::Grown, "Extracted executable changed after it was written for <%s>.", -1,
         ERROR_INVALID_DATA},
    };
    for (const auto& c : cases) {
        for (bool quiet : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + ", quiet " + std::to_string(quiet));
            g_gap = c.gap;
            g_opens.clear();
            g_log.clear();
            g_boxes.clear();
            void* held = nullptr;
            const DWORD result = payload::ExtractPayloadData(member.data(), member.size(),
                                                             path_.c_str(), quiet, &held);
            // Written once, then opened once for the hold; never reopened for writing.
            EXPECT_EQ((std::vector<DWORD>{GENERIC_WRITE, GENERIC_READ}), g_opens);
            if (c.line == nullptr) {
                EXPECT_EQ(0u, result);
                ASSERT_NE(nullptr, held);
                EXPECT_TRUE(g_log.empty());
                CloseHandle(held);
                EXPECT_TRUE(DeleteFileA(path_.c_str()));
                continue;
            }
            EXPECT_EQ(nullptr, held);
            EXPECT_EQ(c.lastError, result);
            std::vector<LogLine> expected{{Line(c.line), c.code}};
            if (!quiet)
                expected.push_back({kBoxMarker, 0});
            EXPECT_EQ(expected, g_log);
            // Nothing is left holding the file, so the clean-up can delete it.
            EXPECT_TRUE(DeleteFileA(path_.c_str()));
        }
    }
    g_gap = Gap::Untouched;
}

}  // namespace
