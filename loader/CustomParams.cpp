#include "CustomParams.h"

#include "rules/FormDecoding.h"
#include "VoFoundation/VoLimits.h"
#include "VoFoundation/VoOwners.h"
#include "VoUtil/VoRegistry/VoClearEntry.h"
#include "loaderlog/LoaderLog.h"

#include <windows.h>

namespace loader {

namespace {

constexpr char kSoftwareKey[] = "Software";
constexpr char kFormerProductSubKey[] = "Brightholm/Orvadesk";  // below kSoftwareKey
constexpr char kStoredListValue[] = "InstallerCPList";

// One vendor's product key, its CustomParams key, and the line logged when that key cannot
// be removed.
struct VendorKeys {
    const char* product;
    const char* customParams;
    const char* failedRemoval;
};
constexpr VendorKeys kFormerVendor = {"Software/Brightholm/Orvadesk",
                                      "Software/Brightholm/Orvadesk/CustomParams",
                                      "### failed to remove Brightholm/Orvadesk/CustomParams"};
constexpr VendorKeys kCurrentVendor = {"Software/Pemrod/Orvadesk",
                                       "Software/Pemrod/Orvadesk/CustomParams",
                                       "### failed to remove Pemrod/Orvadesk/CustomParams"};

// A text beginning with this carries no new parameters (an unfilled template).
constexpr char kPlaceholderPrefix[] = "xxxxxxxx";
constexpr int32 kPlaceholderPrefixLength = sizeof(kPlaceholderPrefix) - 1;

VoRegistryEntryPtr MakeEntry(const char* path)
{
    return VoRegistryEntryPtr(createEntry(VoString(path)));
}

// An entry for a key that may be used; null (after the line) for one that is refused.
VoRegistryEntryPtr MakeTrustedEntry(const char* path)
{
    VoRegistryEntryPtr entry = MakeEntry(path);
    if (entry && entry->keyTrust() == kVoKeyRefused) {
        LogUntrustedKey(VoString(path));
        entry.reset();
    }
    return entry;
}

// Deletes the vendor's CustomParams key through an entry made for it, logging the vendor's
// failure line when that fails; an entry that could not be made counts as a failed deletion.
// A refused key is left as it is, and no entry is returned for it.
VoRegistryEntryPtr MakeAndDeleteCustomParamsKey(const VendorKeys& vendor)
{
    VoRegistryEntryPtr entry = MakeEntry(vendor.customParams);
    if (entry && entry->keyTrust() == kVoKeyRefused) {
        LogUntrustedKey(VoString(vendor.customParams));
        return nullptr;
    }
    if (!entry || !entry->deleteKey())
        WriteLoaderLog(vendor.failedRemoval, kNoErrorCode);
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
    VoUniqueHeapBlock decoded(DecodeFormValue(value.c_str()));
    if (!decoded)
        return;
    VoString decodedValue(static_cast<const char*>(decoded.get()));
    decoded.reset();
    if (decodedValue.c_str())
        customParams->writeText(name, decodedValue);
}

}  // namespace

void LogUntrustedKey(const VoString& path)
{
    WriteLoaderLogF(kNoErrorCode, "### registry key %.900s is not trusted, left as it is",
                    path.c_str() ? path.c_str() : "");
}

void PersistCustomParams(const char* text)
{
    if (!text)
        return;
    VoString list(text);

    VoRegistryEntryPtr software = MakeEntry(kSoftwareKey);
    if (!software)
        return;  // out of memory: which vendor's keys to use cannot be told
    VoPresence formerProduct = software->subKeyPresence(VoString(kFormerProductSubKey));
    if (formerProduct == kVoPresenceUnknown)
        return;  // likewise: a key that may be there is not taken for one that is not
    bool formerVendor = formerProduct == kVoPresent;

    // A product key that is refused is left as it is, and so is everything below it: its keys
    // could be changed while the run works on them.
    VoRegistryEntryPtr productKey =
        MakeTrustedEntry(formerVendor ? kFormerVendor.product : kCurrentVendor.product);
    if (!productKey)
        return;
    bool storeList;
    if (list.length() == 0 || HasPlaceholderPrefix(list)) {
        // No new parameters: rebuild from the list an earlier run stored, if any.
        // A list that cannot be read is never taken for an empty one: the parameters in
        // place then stay. That covers a list too long to read back, and one that could
        // not be read or taken over for lack of memory.
        storeList = false;
        VoString stored;
        if (!productKey->readText(VoString(kStoredListValue), stored, "") &&
            productKey->valuePresence(VoString(kStoredListValue)) != kVoAbsent)
            return;
        if (!stored.c_str() || !list.assign(stored.c_str()).isOk())
            return;
    } else {
        storeList = true;
        list.trimRight();
    }

    // The current vendor's CustomParams key goes on every run; where the former vendor's
    // product is installed, its own CustomParams key receives the parameters.
    VoRegistryEntryPtr customParams = MakeAndDeleteCustomParamsKey(kCurrentVendor);
    if (formerVendor)
        customParams = MakeAndDeleteCustomParamsKey(kFormerVendor);

    if (customParams && list.length() > 0)
        ForEachCustomParam(list.c_str(), (size_t)list.length(), WriteParam, customParams.get());

    if (storeList)
        productKey->writeText(VoString(kStoredListValue), list);
}

}  // namespace loader
