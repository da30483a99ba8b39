#include "DeleteKeyIfEmpty.h"

#include "VoUtil/VoRegistry/VoClearEntry.h"
#include "VoFoundation/VoTraceLog.h"

namespace loader {

bool DKIE(const VoString& path)
{
    return DKIE(HKEY_LOCAL_MACHINE, path);
}

bool DKIE(HKEY root, const VoString& path)
{
    const char* pathText = path.c_str();
    VoTraceLog::debug("## DKIE() path[%s]", pathText ? pathText : "");

    HKEY key = nullptr;
    if (RegOpenKeyExA(root, toRegistryPath(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subKeys = 0;
    DWORD values = 0;
    LONG queried = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                    &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    // Without the counts the key may hold anything: never delete it then.
    if (queried != ERROR_SUCCESS || subKeys != 0 || values != 0)
        return false;

    VoRegistryEntryPtr entry(createEntry(path));
    if (!entry || !entry->deleteKey())
        return false;
    VoTraceLog::debug("## DKIE() successful ##");
    return true;
}

}  // namespace loader
