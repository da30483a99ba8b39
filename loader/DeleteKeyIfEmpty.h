// Removes a registry key that holds neither sub-keys nor values; used at the end of a run
// for a vendor key that an earlier installation left empty. Never climbs to parent keys.
#pragma once

#include <windows.h>

#include "VoFoundation/VoString/VoString.h"

namespace loader {

// The key at the "/"-separated path under HKEY_LOCAL_MACHINE, in the program's registry
// view. True only if it was found empty and deleted.
bool DKIE(const VoString& path);

// The worker: the key at path under root. A key whose counts cannot be queried is not taken
// as empty; a key that gains a sub-key after it was found empty stays, with that sub-key.
bool DKIE(HKEY root, const VoString& path);

}  // namespace loader
