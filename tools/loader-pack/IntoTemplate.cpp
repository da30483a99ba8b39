#include "IntoTemplate.h"

#include "CommandLineTool.h"
#include "PeResources.h"
#include "PeSection.h"
#include "rules/ParamBlock.h"

#include <cstring>

namespace pack {

namespace {

constexpr uint16_t kPayloadResourceId = 102;     // where the loader looks for its payload
constexpr uint16_t kEnglishUnitedStates = 1033;  // the language the build has always used

}  // namespace

int PutIntoTemplate(const std::string& templatePath, const std::vector<unsigned char>& member,
                    std::vector<unsigned char>& loader, std::string& why)
{
    std::vector<unsigned char> image;
    if (!tool::ReadWholeFile(templatePath, image, why))
        return tool::kExitFailed;
    // Only a loader has the parameter block's section; an installer given in the template's
    // place (the operands swapped) is refused here.
    PeSectionPlace block;
    if (!FindPeSection(image, loader::kParamBlockSectionName, block, why))
        return tool::kExitRefused;
    const pe::ResourceId id = {pe::kRtRcData, kPayloadResourceId, kEnglishUnitedStates};
    if (!pe::PutResource(image, id, member.data(), member.size(), loader, why))
        return tool::kExitRefused;

    // Read back as the loader finds its payload.
    const unsigned char* found = nullptr;
    size_t size = 0;
    if (!pe::FindResource(loader, id.type, id.name, found, size, why) || size != member.size() ||
        std::memcmp(found, member.data(), size) != 0) {
        why = "the loader made from it does not hold the payload as given";
        return tool::kExitFailed;
    }
    return tool::kExitDone;
}

}  // namespace pack
