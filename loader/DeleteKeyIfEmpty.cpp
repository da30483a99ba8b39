#include "DeleteKeyIfEmpty.h"

#include "VoFoundation/VoOwners.h"
#include "VoFoundation/VoSystemCalls.h"
#include "VoFoundation/VoTraceLog.h"
#include "VoUtil/VoRegistry/VoClearEntry.h"
#include "CustomParams.h"

namespace loader {

bool DKIE(const VoString& path)
{
    return DKIE(HKEY_LOCAL_MACHINE, path);
}

bool DKIE(HKEY root, const VoString& path)
{
    const char* pathText = path.c_str();
    VoTraceLog::debug("## DKIE() path[%s]", pathText ? pathText : "");

    // The same entry answers the emptiness test and does the deletion, so both look at the
    // same key in the same registry view.
    VoClearEntry entry(path, root);
    // A link would be counted and deleted as what it leads to; a key others may change is
    // theirs as much as the former vendor's.
    VoKeyTrust trust = entry.keyTrust();
    if (trust == kVoKeyRefused)
        LogUntrustedKey(path);
    if (trust != kVoKeyTrusted)
        return false;
    VoUniqueKey key(entry.openKey(kVoAccessRead));
    if (!key)
        return false;
    DWORD subKeys = 0;
    DWORD values = 0;
    LONG queried =
        VoCalls().regQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
    key.reset();
    // Without the counts the key may hold anything: never delete it then.
    if (queried != ERROR_SUCCESS || subKeys != 0 || values != 0)
        return false;

    // The key may have gained a sub-key since it was counted (an installer of the former
    // vendor may be at work): the deletion then fails rather than take that sub-key along.
    if (!entry.deleteKeyWithoutSubKeys())
        return false;
    VoTraceLog::debug("## DKIE() successful ##");
    return true;
}

}  // namespace loader
