// loader-stamp's reading of a PE image, over arbitrary files: finding the parameter block's
// section and the certificate table, cutting the table off and refreshing the checksum must
// stay inside the image, and a cut image must read back as unsigned.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "tools/common/PeSection.h"
#include "tools/common/PeSignature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> image(data, data + size);
    std::string error;
    PeSectionPlace place;
    if (FindPeSection(image, ".orvapb", place, error)) {
        FUZZ_CHECK(place.fileOffset <= image.size());
        FUZZ_CHECK(image.size() - place.fileOffset >= place.rawSize);
    }
    CertificateTable table;
    const bool found = FindCertificateTable(image, table, error);
    if (found && table.present) {
        FUZZ_CHECK(table.fileOffset + table.size <= image.size());
    }
    std::vector<uint8_t> changed = image;
    if (RemoveCertificateTable(changed, error)) {
        FUZZ_CHECK(found);
        FUZZ_CHECK(changed.size() == (table.present ? table.fileOffset : image.size()));
        CertificateTable after;
        FUZZ_CHECK(FindCertificateTable(changed, after, error));
        FUZZ_CHECK(!after.present);
        FUZZ_CHECK(RefreshPeChecksum(changed, error));
    } else {
        FUZZ_CHECK(changed == image);
    }
    return 0;
}
