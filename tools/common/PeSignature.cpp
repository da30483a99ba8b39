#include "PeSignature.h"

#include "PeBytes.h"
#include "PeSection.h"

namespace {

struct SecurityEntry {
    size_t checksumField = 0;
    size_t entry = 0;       // file offset of the directory entry; 0 when the image has none
    size_t headersEnd = 0;  // the end of the section table
};

bool LocateSecurityEntry(const std::vector<uint8_t>& image, SecurityEntry& at, std::string& error)
{
    PeHeaders headers;
    if (!LocatePeHeaders(image, headers, error))
        return false;
    uint32_t magic = 0;
    size_t countField, directories;
    ReadLe16(image, headers.optionalHeader, magic);
    if (magic == kMagicPe32) {
        countField = 92;
        directories = 96;
    } else if (magic == kMagicPe32Plus) {
        countField = 108;
        directories = 112;
    } else {
        error = "damaged executable (unknown optional header)";
        return false;
    }
    if (headers.optionalSize < directories ||
        headers.optionalHeader + headers.optionalSize > image.size()) {
        error = "damaged executable (optional header cut short)";
        return false;
    }
    at.checksumField = headers.optionalHeader + kChecksumField;
    at.headersEnd = headers.optionalHeader + headers.optionalSize +
                    (size_t)headers.sectionCount * kSectionHeaderSize;
    uint32_t count = 0;
    ReadLe32(image, headers.optionalHeader + countField, count);
    size_t entry = directories + kSecurityDirectory * kDirectoryEntrySize;
    if (count > kSecurityDirectory && entry + kDirectoryEntrySize <= headers.optionalSize)
        at.entry = headers.optionalHeader + entry;
    return true;
}

}  // namespace

bool FindCertificateTable(const std::vector<uint8_t>& image, CertificateTable& table,
                          std::string& error)
{
    table = CertificateTable();
    SecurityEntry at;
    if (!LocateSecurityEntry(image, at, error))
        return false;
    if (at.entry == 0)
        return true;
    uint32_t offset = 0, size = 0;
    ReadLe32(image, at.entry, offset);
    ReadLe32(image, at.entry + 4, size);
    if (offset == 0 && size == 0)
        return true;
    if (offset > image.size() || image.size() - offset < size || size == 0) {
        error = "damaged executable (its certificate table lies outside the file)";
        return false;
    }
    if (offset < at.headersEnd) {
        error = "damaged executable (its certificate table overlaps the headers)";
        return false;
    }
    table.present = true;
    table.fileOffset = offset;
    table.size = size;
    return true;
}

bool RemoveCertificateTable(std::vector<uint8_t>& image, std::string& error)
{
    CertificateTable table;
    if (!FindCertificateTable(image, table, error))
        return false;
    if (!table.present)
        return true;
    if (table.fileOffset + table.size != image.size()) {
        error = "other data follow the certificate table, so the signature cannot be cut off";
        return false;
    }
    SecurityEntry at;
    LocateSecurityEntry(image, at, error);
    image.resize(table.fileOffset);
    WriteLe32(image, at.entry, 0);
    WriteLe32(image, at.entry + 4, 0);
    return true;
}

uint32_t ComputePeChecksum(const std::vector<uint8_t>& image, size_t checksumField)
{
    const size_t n = image.size();
    auto byteAt = [&](size_t k) -> uint32_t {
        bool inField = k >= checksumField && k - checksumField < 4;
        return inField || k >= n ? 0 : image[k];
    };
    uint32_t sum = 0;
    for (size_t i = 0; i < n; i += 2) {
        sum += byteAt(i) | (byteAt(i + 1) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + (uint32_t)n;
}

bool RefreshPeChecksum(std::vector<uint8_t>& image, std::string& error)
{
    SecurityEntry at;
    if (!LocateSecurityEntry(image, at, error))
        return false;
    uint32_t old = 0;
    ReadLe32(image, at.checksumField, old);
    if (old != 0)
        WriteLe32(image, at.checksumField, ComputePeChecksum(image, at.checksumField));
    return true;
}
