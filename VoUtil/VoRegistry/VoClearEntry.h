// VoClearEntry: the registry entry implementation over the Win32 registry functions.
// Paths are kept with "/" between components and converted to backslashes only at the
// Win32 call (toRegistryPath). No handle outlives one operation.
// Every key is opened, created and deleted in the 32-bit view of the registry: the
// delivered program is 32-bit, so on 64-bit Windows its keys lie below
// HKLM\Software\WOW6432Node, where 32-bit installers read them, and a 64-bit build of the
// same code must work on exactly those keys.
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

// The registry view named by every registry call.
constexpr REGSAM kVoRegistryView = KEY_WOW64_32KEY;

// Largest value readText accepts, in bytes as stored; a longer value yields the default.
constexpr DWORD kVoReadTextBytes = 1024;

// Copy of a "/"-separated path with every "/" replaced by a backslash.
VoString toRegistryPath(const VoString& path);

// The root key for a root index; an unknown index is reported as a failed check and
// yields HKEY_CURRENT_USER.
HKEY VoRootKeyFromIndex(int32 rootIndex);

// The Win32 access mask of an access mode, in the program's registry view.
REGSAM VoAccessMask(int32 accessMode);

class VoClearEntry : public VoRegistryEntry {
public:
    VoClearEntry(const VoString& path, int32 rootIndex);
    VoClearEntry(const VoString& path, HKEY rootKey);
    ~VoClearEntry() override;

    VoPresence valuePresence(const VoString& name) override;
    VoPresence subKeyPresence(const VoString& subKeyPath) override;
    bool deleteKey() override;
    VoRegistryEntry* openSubEntry(const VoString& name) override;
    bool readDword(const VoString& name, uint32_t& value, uint32_t defaultValue) override;
    bool readText(const VoString& name, VoString& text, const char* defaultValue) override;
    bool writeDword(const VoString& name, uint32_t value) override;
    bool writeText(const VoString& name, const char* text) override;
    bool writeText(const VoString& name, const VoString& text) override;
    bool deleteValue(const VoString& name) override;
    VoKeyTrust keyTrust() override;

    // Deletes this key only while it has no sub-keys (values go with it): a sub-key made
    // meanwhile makes the deletion fail instead of going with the key. Otherwise as
    // deleteKey.
    bool deleteKeyWithoutSubKeys();

    // Opens this key with the mask of the access mode; null when it cannot be opened.
    // The caller closes the handle.
    HKEY openKey(int32 accessMode) const;
    // Opens this key, creating it and every missing parent; null on failure.
    // The caller closes the handle.
    HKEY createKey(int32 accessMode) const;
    // parent := the path up to its last "/", child := the text after it. A path without
    // "/" has an empty parent (the root itself) and is its own child. deleteKey refuses such
    // a path, and one that begins with "/", with a failure report; and one that ends with
    // "/" (no child) without.
    void splitPath(VoString& parent, VoString& child) const;

    HKEY rootKey() const { return _rootKey; }
    const VoString& path() const { return _path; }

private:
    VoClearEntry(const VoClearEntry&) = delete;
    VoClearEntry& operator=(const VoClearEntry&) = delete;

    // converted := the path for the Win32 call; false when the entry refuses to work or the
    // path ran out of memory.
    bool _registryPath(VoString& converted) const;
    // key := this key opened with the mask of the mode, null when it cannot be opened
    // (result := why, when asked). False (and no registry call) when the entry refuses to
    // work.
    bool _open(int32 accessMode, HKEY& key, LONG* result = nullptr) const;
    bool _deleteKey(bool withSubKeys);
    // False, after a failure report, when the key is refused (see VoKeyTrust).
    bool _usable();

    HKEY _rootKey;
    VoString _path;
    // Set on an entry made from a path without text, or one whose path could not be joined
    // (out of memory): its copy would read as "", the root key itself, and a joined path
    // names some other key, so every operation fails.
    bool _refused;
};

// The one factory the program uses: an entry for the path under HKEY_LOCAL_MACHINE, or
// null when out of memory (also when the path, or the entry's copy of it, has no text).
// The caller owns it (keep it in a VoRegistryEntryPtr).
VoRegistryEntry* createEntry(const VoString& path);
