#include "VoClearEntry.h"

#include <string.h>

#include <type_traits>

#include <aclapi.h>

#include "VoFoundation/VoDescriptorTrust.h"
#include "VoFoundation/VoFailureReport.h"
#include "VoFoundation/VoLimits.h"
#include "VoFoundation/VoOwners.h"
#include "VoFoundation/VoSystem.h"

namespace {

constexpr REGSAM kReadMask = KEY_READ;             // 0x20019
constexpr REGSAM kWriteMask = KEY_WRITE;           // 0x20006
constexpr REGSAM kAllAccessMask = KEY_ALL_ACCESS;  // 0xF003F

// Deletes a key without sub-keys in a named registry view. Only systems with two views
// have it, so it is looked up at run time; its type is checked against the system's
// declaration, calling convention included.
typedef LONG(WINAPI* RegDeleteKeyExProc)(HKEY, LPCSTR, REGSAM, DWORD);
static_assert(std::is_same<RegDeleteKeyExProc, decltype(&RegDeleteKeyExA)>::value,
              "RegDeleteKeyExA signature");
constexpr char kAdvancedServicesLibraryName[] = "advapi32.dll";

const HKEY kRootKeys[] = {
    HKEY_LOCAL_MACHINE,  // kVoRootLocalMachine
    HKEY_CURRENT_USER,   // kVoRootCurrentUser
    HKEY_CLASSES_ROOT,   // kVoRootClassesRoot
    HKEY_USERS,          // kVoRootUsers
};
constexpr int32 kRootKeyCount = (int32)(sizeof(kRootKeys) / sizeof(kRootKeys[0]));

constexpr char kPathSeparator = '/';
constexpr char kRegistrySeparator = '\\';

// The shell light-weight utility library deletes a key together with its whole subtree
// from version 4.71 on.
constexpr char kShellLibraryName[] = "shlwapi.dll";
constexpr DWORD kShellDeleteMinVersion = 0x40047;  // 4.71: major in the high 16 bits

// DllGetVersion's argument: size, major, minor, build, platform.
struct VoDllVersionInfo {
    DWORD size;
    DWORD majorVersion;
    DWORD minorVersion;
    DWORD buildNumber;
    DWORD platformId;
};
constexpr DWORD kDllVersionInfoSize = 20;
static_assert(sizeof(VoDllVersionInfo) == kDllVersionInfoSize, "DllGetVersion layout");

typedef HRESULT(CALLBACK* DllGetVersionProc)(VoDllVersionInfo*);
typedef LONG(WINAPI* ShDeleteKeyProc)(HKEY, LPCSTR);

// Loads the shell utility library from the system folder only: a bare name would search
// the application's folder first, where a planted copy could be picked up.
HMODULE LoadShellLibraryFromSystemFolder()
{
    char path[kVoPathChars];
    if (!VoSystemFilePath(kShellLibraryName, path, kVoPathChars))
        return nullptr;
    return LoadLibraryA(path);
}

// The library's version as major << 16 | minor, 0 when DllGetVersion fails.
DWORD ShellLibraryVersion(HMODULE library)
{
    DllGetVersionProc getVersion = reinterpret_cast<DllGetVersionProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetVersion")));
    if (!getVersion)
        return 0;
    VoDllVersionInfo info;
    memset(&info, 0, sizeof(info));
    info.size = kDllVersionInfoSize;
    if (FAILED(getVersion(&info)))
        return 0;
    return ((info.majorVersion & 0xFFFF) << 16) | (info.minorVersion & 0xFFFF);
}

// The shell utility library when it can delete a whole subtree (4.71 or later), else null.
// Asked anew on every key deletion; the caller releases the library.
HMODULE isShellDeleteAvailable()
{
    VoUniqueModule library(LoadShellLibraryFromSystemFolder());
    if (!library || ShellLibraryVersion(library.get()) < kShellDeleteMinVersion)
        return nullptr;
    return library.release();
}

// Deletes child, which must have no sub-keys, below the open parent, in the program's view.
// A system without RegDeleteKeyExA has a single view, which RegDeleteKeyA works in.
LONG DeleteLeafKey(HKEY parent, const char* child)
{
    // The loader imports from this library, so it is loaded already.
    HMODULE advapi = GetModuleHandleA(kAdvancedServicesLibraryName);
    RegDeleteKeyExProc deleteKeyEx =
        advapi ? reinterpret_cast<RegDeleteKeyExProc>(
                     reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExA")))
               : nullptr;
    if (deleteKeyEx)
        return deleteKeyEx(parent, child, kVoRegistryView, 0);
    return RegDeleteKeyA(parent, child);
}

// Deletes child below the open parent: with its whole subtree through the shell library
// on NT-family systems where it is recent enough, otherwise as a key without sub-keys.
// The shell library works relative to the parent, which was opened in the program's view.
LONG DeleteChildKey(HKEY parent, const char* child)
{
    if (VoIsNtPlatform()) {
        VoUniqueModule shell(isShellDeleteAvailable());
        if (shell.get()) {
            // Resolved only now that the library's version has been confirmed.
            ShDeleteKeyProc shDeleteKey = reinterpret_cast<ShDeleteKeyProc>(
                reinterpret_cast<void*>(GetProcAddress(shell.get(), "SHDeleteKeyA")));
            if (shDeleteKey)
                return shDeleteKey(parent, child);
        }
    }
    return DeleteLeafKey(parent, child);
}

bool IsDeletedOrMissing(LONG result)
{
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

const char* TextOrEmpty(const char* text)
{
    return text ? text : "";
}

// text := the default. Should even that fail for lack of memory, text is emptied (which
// needs no memory), so a failed read never leaves the caller's old text behind.
void SetDefault(VoString& text, const char* defaultValue)
{
    if (!text.assign(TextOrEmpty(defaultValue)).isOk() && text.length() > 0)
        text.setCharAt('\0', 0);
}

// A value name that ran out of memory has no text; passed on, it would name the key's
// default value instead.
bool IsUsableName(const VoString& name)
{
    return name.c_str() != nullptr;
}

// The converted path, or false when a copy ran out of memory: a string without its array
// would reach the Win32 call as a null path, which names the root key itself, so an
// operation meant for a sub-key would act on the root instead.
bool ConvertPath(const VoString& path, VoString& converted)
{
    if (!path.c_str())
        return false;
    converted = toRegistryPath(path);
    return converted.c_str() != nullptr && converted.length() == path.length();
}

// Present on success, absent when the registry says "not found"; any other answer (access
// denied, out of resources) says nothing about whether it is there.
VoPresence PresenceOf(LONG result)
{
    if (result == ERROR_SUCCESS)
        return kVoPresent;
    return result == ERROR_FILE_NOT_FOUND ? kVoAbsent : kVoPresenceUnknown;
}

}  // namespace

VoString toRegistryPath(const VoString& path)
{
    VoString converted(path);
    int32 length = converted.length();
    for (int32 i = 0; i < length; ++i) {
        if (converted.charAt(i) == kPathSeparator)
            converted.setCharAt(kRegistrySeparator, i);
    }
    return converted;
}

HKEY VoRootKeyFromIndex(int32 rootIndex)
{
    if (rootIndex >= 0 && rootIndex < kRootKeyCount)
        return kRootKeys[rootIndex];
    int32 lastError = (int32)GetLastError();
    VoReportFailedCheck("false", "Unknown key %d", __FILE__, __LINE__, lastError, rootIndex);
    return HKEY_CURRENT_USER;
}

REGSAM VoAccessMask(int32 accessMode)
{
    switch (accessMode) {
    case kVoAccessRead:
        return kReadMask | kVoRegistryView;
    case kVoAccessWrite:
        return kWriteMask | kVoRegistryView;
    default:
        return kAllAccessMask | kVoRegistryView;
    }
}

VoClearEntry::VoClearEntry(const VoString& path, int32 rootIndex)
    : _rootKey(VoRootKeyFromIndex(rootIndex)), _path(path), _refused(!path.c_str())
{
}

VoClearEntry::VoClearEntry(const VoString& path, HKEY rootKey)
    : _rootKey(rootKey), _path(path), _refused(!path.c_str())
{
}

VoClearEntry::~VoClearEntry()
{
}

bool VoClearEntry::_registryPath(VoString& converted) const
{
    return !_refused && ConvertPath(_path, converted);
}

bool VoClearEntry::_open(int32 accessMode, HKEY& key, LONG* result) const
{
    key = nullptr;
    VoString path;
    if (!_registryPath(path))
        return false;
    LONG opened = RegOpenKeyExA(_rootKey, path.c_str(), 0, VoAccessMask(accessMode), &key);
    if (opened != ERROR_SUCCESS)
        key = nullptr;
    if (result)
        *result = opened;
    return true;
}

HKEY VoClearEntry::openKey(int32 accessMode) const
{
    HKEY key = nullptr;
    _open(accessMode, key);
    return key;
}

HKEY VoClearEntry::createKey(int32 accessMode) const
{
    VoString path;
    if (!_registryPath(path))
        return nullptr;
    HKEY key = nullptr;
    if (RegCreateKeyExA(_rootKey, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        VoAccessMask(accessMode), nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

void VoClearEntry::splitPath(VoString& parent, VoString& child) const
{
    int32 slash = _path.findLastOf("/", 0);
    if (slash < 0) {
        parent = "";
        child = _path;
        return;
    }
    parent = _path.substr(0, slash);
    child = _path.substr(slash + 1, -1);
}

VoPresence VoClearEntry::valuePresence(const VoString& name)
{
    HKEY opened = nullptr;
    LONG result = ERROR_SUCCESS;
    if (!IsUsableName(name) || !_open(kVoAccessRead, opened, &result))
        return kVoPresenceUnknown;
    VoUniqueKey key(opened);
    if (!key)
        return PresenceOf(result);  // a key that is not there holds no value
    return PresenceOf(
        RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr));
}

VoPresence VoClearEntry::subKeyPresence(const VoString& subKeyPath)
{
    VoString path;
    HKEY opened = nullptr;
    LONG result = ERROR_SUCCESS;
    if (!ConvertPath(subKeyPath, path) || !_open(kVoAccessRead, opened, &result))
        return kVoPresenceUnknown;
    VoUniqueKey key(opened);
    if (!key)
        return PresenceOf(result);  // nor any key below it
    VoUniqueKey subKey;
    return PresenceOf(
        RegOpenKeyExA(key.get(), path.c_str(), 0, VoAccessMask(kVoAccessRead), subKey.out()));
}

VoKeyTrust VoClearEntry::keyTrust()
{
    VoString path;
    if (!_registryPath(path))
        return kVoKeyRefused;
    // Opened as itself: a link is not followed, and shows by its link value.
    VoUniqueKey key;
    LONG result = RegOpenKeyExA(_rootKey, path.c_str(), REG_OPTION_OPEN_LINK,
                                KEY_QUERY_VALUE | READ_CONTROL | kVoRegistryView, key.out());
    if (result == ERROR_FILE_NOT_FOUND)
        return kVoKeyMissing;
    DWORD type = REG_NONE;
    if (result != ERROR_SUCCESS || RegQueryValueExA(key.get(), "SymbolicLinkValue", nullptr, &type,
                                                    nullptr, nullptr) != ERROR_FILE_NOT_FOUND)
        return kVoKeyRefused;
    char* sddl = nullptr;
    if (VoSddlOf(key.get(), SE_REGISTRY_KEY, &sddl) != ERROR_SUCCESS)
        return kVoKeyRefused;
    VoUniqueLocal sddlBlock(sddl);
    return VoJudgeDescriptor(sddl, nullptr, false, kVoKeyWriteRights) == kVoTrusted ? kVoKeyTrusted
                                                                                    : kVoKeyRefused;
}

bool VoClearEntry::_usable()
{
    if (keyTrust() != kVoKeyRefused)
        return true;
    int32 lastError = (int32)GetLastError();
    VoReportFailedCheck("trusted", "Registry key %s left as it is", __FILE__, __LINE__, lastError,
                        TextOrEmpty(_path.c_str()));
    return false;
}

bool VoClearEntry::deleteKey()
{
    return _deleteKey(true);
}

bool VoClearEntry::deleteKeyWithoutSubKeys()
{
    return _deleteKey(false);
}

bool VoClearEntry::_deleteKey(bool withSubKeys)
{
    if (_refused || !_path.c_str())
        return false;
    // A key right below the root has no parent to open: the root would stand in for it,
    // and a slip such as "Software" would take that key's whole subtree with it.
    int32 slash = _path.findLastOf("/", 0);
    if (slash <= 0) {
        int32 lastError = (int32)GetLastError();
        VoReportFailedCheck("slash > 0", "No parent key in %s", __FILE__, __LINE__, lastError,
                            _path.c_str());
        return false;
    }
    VoString parent;
    VoString child;
    splitPath(parent, child);
    // An empty child would name the parent itself, and the shell's subtree deletion would
    // then empty the parent: refuse instead. Parts that ran out of memory no longer add up
    // to the path: refuse too, rather than delete the child from some other key.
    VoString parentPath;
    if (child.length() == 0 || !child.c_str() ||
        parent.length() + 1 + child.length() != _path.length() || !ConvertPath(parent, parentPath))
        return false;
    if (!_usable())
        return false;
    VoUniqueKey parentKey;
    LONG result =
        RegOpenKeyExA(_rootKey, parentPath.c_str(), 0, VoAccessMask(kVoAccessAll), parentKey.out());
    if (result == ERROR_SUCCESS) {
        result = withSubKeys ? DeleteChildKey(parentKey.get(), child.c_str())
                             : DeleteLeafKey(parentKey.get(), child.c_str());
    }
    return IsDeletedOrMissing(result);
}

VoRegistryEntry* VoClearEntry::openSubEntry(const VoString& name)
{
    VoString path = _path + "/" + name;
    // A join that ran out of memory names some other key (the name or the "/" missing):
    // such an entry is made all the same, but refuses every operation.
    bool joined = !_refused && _path.c_str() && name.c_str() && path.c_str() &&
                  path.length() == _path.length() + 1 + name.length();
    VoClearEntry* entry = new VoClearEntry(path, _rootKey);
    if (entry && !joined)
        entry->_refused = true;
    return entry;
}

bool VoClearEntry::readDword(const VoString& name, uint32_t& value, uint32_t defaultValue)
{
    VoUniqueKey key(IsUsableName(name) ? openKey(kVoAccessRead) : nullptr);
    if (!key) {
        value = defaultValue;
        return false;
    }
    // The type is not checked: a value of up to 4 bytes is taken as stored. The bytes land
    // in a zeroed word, so a shorter value never mixes with the caller's old contents.
    DWORD stored = 0;
    DWORD size = sizeof(stored);
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, (BYTE*)&stored, &size) !=
        ERROR_SUCCESS) {
        value = defaultValue;
        return false;
    }
    value = stored;
    return true;
}

bool VoClearEntry::readText(const VoString& name, VoString& text, const char* defaultValue)
{
    // One byte beyond the queried size, so a value stored without a terminator (or of a
    // non-text type) is ended right after the bytes it returned.
    char buffer[kVoReadTextBytes + 1];
    buffer[0] = '\0';
    VoUniqueKey key(IsUsableName(name) ? openKey(kVoAccessRead) : nullptr);
    if (!key) {
        SetDefault(text, defaultValue);
        return false;
    }
    DWORD size = kVoReadTextBytes;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, (BYTE*)buffer, &size) !=
        ERROR_SUCCESS) {
        SetDefault(text, defaultValue);
        return false;
    }
    buffer[size <= kVoReadTextBytes ? size : kVoReadTextBytes] = '\0';
    // A value read but not handed over (out of memory) is not a value read.
    if (!text.assign(buffer).isOk()) {
        SetDefault(text, defaultValue);
        return false;
    }
    return true;
}

bool VoClearEntry::writeDword(const VoString& name, uint32_t value)
{
    if (!IsUsableName(name) || !_usable())
        return false;
    VoUniqueKey key(createKey(kVoAccessWrite));
    if (!key)
        return false;
    DWORD stored = value;
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, (const BYTE*)&stored,
                          sizeof(stored)) == ERROR_SUCCESS;
}

bool VoClearEntry::writeText(const VoString& name, const char* text)
{
    if (!IsUsableName(name) || !_usable())
        return false;
    VoUniqueKey key(createKey(kVoAccessWrite));
    if (!key)
        return false;
    text = TextOrEmpty(text);
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, (const BYTE*)text,
                          (DWORD)strlen(text) + 1) == ERROR_SUCCESS;
}

bool VoClearEntry::writeText(const VoString& name, const VoString& text)
{
    // A string that ran out of memory has no text; written, it would replace the stored
    // value with an empty one.
    if (!text.c_str())
        return false;
    VoRegistryEntry& entry = *this;  // through the interface, so an override is honoured
    return entry.writeText(name, text.c_str());
}

bool VoClearEntry::deleteValue(const VoString& name)
{
    HKEY opened = nullptr;
    LONG result = ERROR_SUCCESS;
    if (!IsUsableName(name) || !_usable() || !_open(kVoAccessAll, opened, &result))
        return false;
    VoUniqueKey key(opened);
    // A key that is not there holds no value; one that is there but cannot be opened (access
    // denied, say) keeps the value.
    if (key)
        result = RegDeleteValueA(key.get(), name.c_str());
    return IsDeletedOrMissing(result);
}

VoRegistryEntry* createEntry(const VoString& path)
{
    // An entry whose path has no text (the caller's or its own copy ran out of memory)
    // could only refuse to work; the caller is told at once instead.
    if (!path.c_str())
        return nullptr;
    VoClearEntry* entry = new VoClearEntry(path, (int32)kVoRootLocalMachine);
    if (entry && !entry->path().c_str()) {
        delete entry;
        return nullptr;
    }
    return entry;
}
