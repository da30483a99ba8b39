// Removes a registry key that holds neither sub-keys nor values; used at the end of a run
// for a vendor key that an earlier installation left empty. Never climbs to parent keys.
#pragma once

#include <windows.h>

#include "VoFoundation/VoString/VoString.h"

namespace loader {

// The key at the "/"-separated path under HKEY_LOCAL_MACHINE. True only if it was found
// empty and deleted.
bool DKIE(const VoString& path);

// The worker: root is used for the emptiness test; the deletion goes through an entry,
// which lies under HKEY_LOCAL_MACHINE (the only root the one-argument form passes).
// A key whose counts cannot be queried is not taken as empty.
bool DKIE(HKEY root, const VoString& path);

}  // namespace loader
