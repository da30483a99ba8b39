// The code signature of a PE image (its certificate table) and the header checksum that
// covers the whole file: what stamping must know about before it changes bytes of a loader.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

struct CertificateTable {
    bool present = false;
    size_t fileOffset = 0;  // the directory entry holds a file offset, not an address
    size_t size = 0;
};

// Reads the certificate table's directory entry. False, with the reason in error, when the
// image is no PE file or the entry points outside the file.
bool FindCertificateTable(const std::vector<uint8_t>& image, CertificateTable& table,
                          std::string& error);

// Cuts the certificate table off the end of the file and clears its directory entry; the
// file is then a valid unsigned image. Refuses a table that other data follow. Does nothing
// to an unsigned image. The checksum is left to RefreshPeChecksum.
bool RemoveCertificateTable(std::vector<uint8_t>& image, std::string& error);

// The header checksum as the system computes it: 16-bit sums with end-around carry over the
// file, the checksum field read as zero, plus the file's size.
uint32_t ComputePeChecksum(const std::vector<uint8_t>& image, size_t checksumField);

// Brings the header checksum up to date after a change. An image without a checksum (field
// 0) keeps none.
bool RefreshPeChecksum(std::vector<uint8_t>& image, std::string& error);
