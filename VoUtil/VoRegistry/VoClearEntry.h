// VoClearEntry: the registry entry implementation over the Win32 registry functions.
// Paths are kept with "/" between components and converted to backslashes only at the
// Win32 call (toRegistryPath). No handle outlives one operation.
#pragma once

#include <windows.h>

#include "VoRegistryEntry.h"

// Root index given to the constructor; any other index is reported and taken as
// HKEY_CURRENT_USER.
enum VoRegistryRootIndex {
    kVoRootLocalMachine = 0,
    kVoRootCurrentUser = 1,
    kVoRootClassesRoot = 2,
    kVoRootUsers = 3,
};

// Access mode of openKey and createKey; any mode above write means full access.
enum VoRegistryAccessMode {
    kVoAccessRead = 0,
    kVoAccessWrite = 1,
    kVoAccessAll = 2,
};

// Largest value readText accepts, in bytes as stored; a longer value yields the default.
constexpr DWORD kVoReadTextBytes = 1024;

// Copy of a "/"-separated path with every "/" replaced by a backslash.
VoString toRegistryPath(const VoString& path);

// The root key for a root index; an unknown index is reported as a failed check and
// yields HKEY_CURRENT_USER.
HKEY VoRootKeyFromIndex(int32 rootIndex);

// The Win32 access mask of an access mode.
REGSAM VoAccessMask(int32 accessMode);

class VoClearEntry : public VoRegistryEntry {
public:
    VoClearEntry(const VoString& path, int32 rootIndex);
    VoClearEntry(const VoString& path, HKEY rootKey);
    ~VoClearEntry() override;

    bool valueExists(const VoString& name) override;
    bool subKeyExists(const VoString& subKeyPath) override;
    bool deleteKey() override;
    VoRegistryEntry* openSubEntry(const VoString& name) override;
    bool readDword(const VoString& name, uint32_t& value, uint32_t defaultValue) override;
    bool readText(const VoString& name, VoString& text, const char* defaultValue) override;
    bool writeDword(const VoString& name, uint32_t value) override;
    bool writeText(const VoString& name, const char* text) override;
    bool writeText(const VoString& name, const VoString& text) override;
    bool deleteValue(const VoString& name) override;

    // Opens this key with the mask of the access mode; null when it cannot be opened.
    // The caller closes the handle.
    HKEY openKey(int32 accessMode) const;
    // Opens this key, creating it and every missing parent; null on failure.
    // The caller closes the handle.
    HKEY createKey(int32 accessMode) const;
    // parent := the path up to its last "/", child := the text after it. A path without
    // "/" has an empty parent (the root itself) and is its own child.
    void splitPath(VoString& parent, VoString& child) const;

    HKEY rootKey() const { return _rootKey; }
    const VoString& path() const { return _path; }

private:
    VoClearEntry(const VoClearEntry&) = delete;
    VoClearEntry& operator=(const VoClearEntry&) = delete;

    HKEY _rootKey;
    VoString _path;
};

// The one factory the program uses: an entry for the path under HKEY_LOCAL_MACHINE, or
// null when out of memory. The caller owns it (keep it in a VoRegistryEntryPtr).
VoRegistryEntry* createEntry(const VoString& path);
