// The registry-entry interface: one registry key named by a root and a "/"-separated path.
// An entry holds no open handle; every operation opens the key, does its work and closes
// it again, so an entry may name a key that does not exist yet.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <memory>

#include "VoFoundation/VoAllocator.h"
#include "VoFoundation/VoString/VoString.h"

// What an existence test found. Unknown when the question could not be asked or answered
// (out of memory, or a failure other than "not found"): never to be taken for absent.
enum VoPresence { kVoAbsent, kVoPresent, kVoPresenceUnknown };

// Whether a key may be used: it is missing (and may be made), or it is a real key whose owner
// is SYSTEM, Administrators or TrustedInstaller and whose DACL lets no one else change it; or
// it is refused: a registry link (written through or deleted through, it would lead anywhere),
// another owner, a DACL that lets others write, or an answer that cannot be had.
enum VoKeyTrust { kVoKeyMissing, kVoKeyTrusted, kVoKeyRefused };

class VoRegistryEntry {
public:
    virtual ~VoRegistryEntry() {}

    // Entries come from the foundation's allocator: a failed allocation yields null
    // (the new-expression then constructs nothing) instead of throwing.
    static void* operator new(size_t size) noexcept { return VoAlloc(size); }
    static void operator delete(void* block) noexcept { VoFree(block); }

    // What an existence test found, for a value of this key (whatever its type) and for a
    // "/"-separated sub-key path below it.
    virtual VoPresence valuePresence(const VoString& name) = 0;
    virtual VoPresence subKeyPresence(const VoString& subKeyPath) = 0;
    // True if the value exists in this key, whatever its type.
    bool valueExists(const VoString& name) { return valuePresence(name) == kVoPresent; }
    // True if the "/"-separated sub-key path exists below this key.
    bool subKeyExists(const VoString& subKeyPath)
    {
        return subKeyPresence(subKeyPath) == kVoPresent;
    }
    // Deletes this key from its parent; true on success or when it is already gone.
    virtual bool deleteKey() = 0;
    // New entry for this path + "/" + name under the same root; null if out of memory.
    // The registry is not touched. The caller owns the result.
    virtual VoRegistryEntry* openSubEntry(const VoString& name) = 0;
    // True if read; on any failure value := defaultValue.
    virtual bool readDword(const VoString& name, uint32_t& value, uint32_t defaultValue) = 0;
    // True if read; on any failure text := defaultValue.
    virtual bool readText(const VoString& name, VoString& text, const char* defaultValue) = 0;
    // Writes a 4-byte REG_DWORD, creating the key and any missing parents.
    virtual bool writeDword(const VoString& name, uint32_t value) = 0;
    // Writes a REG_SZ of the text and its terminator, creating the key and missing parents.
    virtual bool writeText(const VoString& name, const char* text) = 0;
    // Forwards to the text form above through the interface, so an override of it applies.
    virtual bool writeText(const VoString& name, const VoString& text) = 0;
    // True if the value was deleted or does not exist (also when the key is missing); false when
    // the key is there but cannot be opened to delete from.
    virtual bool deleteValue(const VoString& name) = 0;
    // Whether this key may be used (see VoKeyTrust). Writes and deletions refuse a key that is
    // refused, with a failure report in the trace log, and leave it as it is.
    virtual VoKeyTrust keyTrust() = 0;
};

// Sole owner of an entry: the entry is deleted with its owner on every path.
typedef std::unique_ptr<VoRegistryEntry> VoRegistryEntryPtr;
