// A loader made from a template: a copy of the loader built without a payload, which then
// carries a packed installer as its payload resource.
#pragma once
#include <string>
#include <vector>

namespace pack {

// Writes to loader a copy of the template at templatePath whose payload resource (RT_RCDATA
// 102, language 1033) is member; everything else of the template stays as it was, the
// parameter block included. Returns tool::kExitDone, tool::kExitFailed when the template
// cannot be read, or tool::kExitRefused when it is no loader template; why says why.
int PutIntoTemplate(const std::string& templatePath, const std::vector<unsigned char>& member,
                    std::vector<unsigned char>& loader, std::string& why);

}  // namespace pack
