// Records the custom parameters of a run in the registry before the installer starts:
// each pair as a value of the product key's CustomParams sub-key, and the whole text as
// the product key's InstallerCPList, from which a run without parameters rebuilds the key.
#pragma once

#include "VoFoundation/VoString/VoString.h"

namespace loader {

// The former vendor's product key is used when it exists, the current vendor's otherwise;
// the current vendor's CustomParams key is deleted on every run. An empty text, or one
// that begins with "xxxxxxxx", brings no new parameters: the stored list is used and kept.
// A null text does nothing. A product or CustomParams key that is a registry link, or that
// someone else could change, is neither read nor written nor deleted (see VoKeyTrust). Failed
// key deletions and such keys go to the loader log; nothing else is reported.
void PersistCustomParams(const char* text);

// Logs "### registry key <path> is not trusted, left as it is" for a key that is refused (a
// link, or one others may change: see VoKeyTrust).
void LogUntrustedKey(const VoString& path);

}  // namespace loader
