// Records the custom parameters of a run in the registry before the installer starts:
// each pair as a value of the product key's CustomParams sub-key, and the whole text as
// the product key's InstallerCPList, from which a run without parameters rebuilds the key.
#pragma once

namespace loader {

// The former vendor's product key is used when it exists, the current vendor's otherwise;
// the current vendor's CustomParams key is deleted on every run. An empty text, or one
// that begins with "xxxxxxxx", brings no new parameters: the stored list is used and kept.
// A null text does nothing. Failed key deletions go to the loader log; nothing else is
// reported.
void PersistCustomParams(const char* text);

}  // namespace loader
