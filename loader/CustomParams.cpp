#include "CustomParams.h"

#include <stdlib.h>

#include "FormDecoding.h"
#include "LoaderLog.h"
#include "VoUtil/VoRegistry/VoClearEntry.h"

namespace loader {

namespace {

constexpr char kSoftwareKey[] = "Software";
constexpr char kFormerProductSubKey[] = "Brightholm/Orvadesk";
constexpr char kFormerProductKey[] = "Software/Brightholm/Orvadesk";
constexpr char kFormerCustomParamsKey[] = "Software/Brightholm/Orvadesk/CustomParams";
constexpr char kProductKey[] = "Software/Pemrod/Orvadesk";
constexpr char kCustomParamsKey[] = "Software/Pemrod/Orvadesk/CustomParams";
constexpr char kStoredListValue[] = "InstallerCPList";

// A text beginning with this carries no new parameters (an unfilled template).
constexpr char kPlaceholderPrefix[] = "xxxxxxxx";
constexpr int32 kPlaceholderPrefixLength = sizeof(kPlaceholderPrefix) - 1;

constexpr char kFailedRemoveCurrent[] = "### failed to remove Pemrod/Orvadesk/CustomParams";
constexpr char kFailedRemoveFormer[] = "### failed to remove Brightholm/Orvadesk/CustomParams";

VoRegistryEntryPtr MakeEntry(const char* path)
{
    return VoRegistryEntryPtr(createEntry(VoString(path)));
}

// Deletes the key of the entry (made for path), logging failureLine when that fails.
// An entry that could not be made counts as a failed deletion.
VoRegistryEntryPtr MakeAndDeleteKey(const char* path, const char* failureLine)
{
    VoRegistryEntryPtr entry = MakeEntry(path);
    if (!entry || !entry->deleteKey())
        WriteLoaderLog(failureLine, kNoErrorCode);
    return entry;
}

// Compared in place: a copy of the first characters could run out of memory, and an
// unfilled template would then pass for new parameters.
bool HasPlaceholderPrefix(const VoString& text)
{
    return text.length() >= kPlaceholderPrefixLength &&
           text.compare(kPlaceholderPrefix, kPlaceholderPrefixLength) == 0;
}

// Writes one decoded pair into the custom-parameter key; a pair whose decoding buffer
// cannot be allocated is skipped.
void WriteParam(const CustomParamSlice& pair, void* context)
{
    VoRegistryEntry* customParams = static_cast<VoRegistryEntry*>(context);
    VoString name(pair.name, (int32)pair.nameLength);
    VoString value(pair.value, (int32)pair.valueLength);
    if (!name.c_str() || !value.c_str())
        return;  // out of memory: the pair is skipped rather than written under a wrong name
    char* decoded = DecodeFormValue(value.c_str());
    if (!decoded)
        return;
    VoString decodedValue(decoded);
    free(decoded);
    if (decodedValue.c_str())
        customParams->writeText(name, decodedValue);
}

}  // namespace

void PersistCustomParams(const char* text)
{
    if (!text)
        return;
    VoString list(text);

    VoRegistryEntryPtr software = MakeEntry(kSoftwareKey);
    if (!software)
        return;  // out of memory: which vendor's keys to use cannot be told
    bool formerVendor = software->subKeyExists(VoString(kFormerProductSubKey));

    VoRegistryEntryPtr productKey = MakeEntry(formerVendor ? kFormerProductKey : kProductKey);
    bool storeList;
    if (list.length() == 0 || HasPlaceholderPrefix(list)) {
        // No new parameters: rebuild from the list an earlier run stored, if any.
        // A list that cannot be read is never taken for an empty one: the parameters in
        // place then stay. That covers a list too long to read back, and one that could
        // not be read or taken over for lack of memory.
        storeList = false;
        VoString stored;
        if (!productKey)
            return;
        if (!productKey->readText(VoString(kStoredListValue), stored, "") &&
            productKey->valueExists(VoString(kStoredListValue)))
            return;
        if (!stored.c_str() || !list.assign(stored.c_str()).isOk())
            return;
    } else {
        storeList = true;
        list.trimRight();
    }

    VoRegistryEntryPtr customParams;
    if (formerVendor) {
        MakeAndDeleteKey(kCustomParamsKey, kFailedRemoveCurrent);
        customParams = MakeAndDeleteKey(kFormerCustomParamsKey, kFailedRemoveFormer);
    } else {
        customParams = MakeAndDeleteKey(kCustomParamsKey, kFailedRemoveCurrent);
    }

    if (customParams && list.length() > 0)
        ForEachCustomParam(list.c_str(), (size_t)list.length(), WriteParam, customParams.get());

    if (storeList && productKey)
        productKey->writeText(VoString(kStoredListValue), list);
}

}  // namespace loader
