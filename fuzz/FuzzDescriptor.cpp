// The judgment of a descriptor's SDDL, over arbitrary text: it must stay inside the text, and a
// descriptor that grants someone else a right to write must never be trusted.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "FuzzCheck.h"
#include "VoFoundation/VoDescriptorTrust.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string sddl(reinterpret_cast<const char*>(data), size);
    const char* user = "S-1-5-21-1-2-3-1001";
    for (bool userTrusted : {false, true}) {
        VoTrustVerdict verdict =
            VoJudgeDescriptor(sddl.c_str(), user, userTrusted, kVoFolderWriteRights);
        FUZZ_CHECK(verdict == kVoTrusted || verdict == kVoOwnerUntrusted ||
                   verdict == kVoDaclUntrusted);
        // Adding an entry that lets Everyone write can never make it trusted.
        if (verdict == kVoTrusted && sddl.find("S:") == std::string::npos &&
            sddl.find('\0') == std::string::npos)
            FUZZ_CHECK(VoJudgeDescriptor((sddl + "(A;;FA;;;WD)").c_str(), user, userTrusted,
                                         kVoFolderWriteRights) != kVoTrusted);
    }
    return 0;
}
