// Putting a resource into an image, over arbitrary images: whatever the image holds, the
// rebuilt one must hold the resource as given, carry a right checksum, and come out the same
// when the resource is put into it again.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "tools/common/PeResources.h"
#include "tools/common/PeSignature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> image(data, data + size);
    const uint8_t payload[] = "\x1f\x8b payload";
    const pe::ResourceId id = {pe::kRtRcData, 102, 1033};
    std::vector<uint8_t> made, again;
    std::string error;
    if (!pe::PutResource(image, id, payload, sizeof payload, made, error))
        return 0;
    const uint8_t* found = nullptr;
    size_t length = 0;
    FUZZ_CHECK(pe::FindResource(made, id.type, id.name, found, length, error));
    FUZZ_CHECK(length == sizeof payload && memcmp(found, payload, length) == 0);
    uint32_t checksum = 0;
    const size_t field = made[0x3C] | made[0x3D] << 8 | made[0x3E] << 16;
    memcpy(&checksum, &made[field + 24 + 64], 4);
    FUZZ_CHECK(checksum == ComputePeChecksum(made, field + 24 + 64));
    FUZZ_CHECK(pe::PutResource(made, id, payload, sizeof payload, again, error));
    FUZZ_CHECK(again == made);
    return 0;
}
