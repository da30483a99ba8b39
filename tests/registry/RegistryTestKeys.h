// Direct registry access for the registry tests: set up and inspect keys under
// HKEY_LOCAL_MACHINE without going through the code under test. Paths use backslashes.
// Every helper works in the 32-bit registry view by default, where the program keeps its
// keys; pass kOtherView to look at the 64-bit view instead.
#pragma once

#include <windows.h>

#include <sddl.h>  // after windows.h, whose declarations it needs
#include <string.h>
#include <string>

namespace regtest {

constexpr REGSAM kProgramView = KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;

// False on a 32-bit system (a 32-bit Wine prefix), whose one view both flags name.
inline bool HasTwoViews()
{
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

// Removes the key and its whole subtree; a missing key is fine.
inline void DeleteTree(const char* path, HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = kProgramView)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExA(root, path, view, 0);
}

inline bool KeyExists(const char* path, HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = kProgramView)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline bool CreateKey(const char* path, HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = kProgramView)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline bool SetValue(const char* path, const char* name, DWORD type, const void* data, DWORD size,
                     HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = kProgramView)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, name, 0, type, (const BYTE*)data, size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

inline bool SetText(const char* path, const char* name, const std::string& text,
                    REGSAM view = kProgramView)
{
    return SetValue(path, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1, HKEY_LOCAL_MACHINE,
                    view);
}

// The vendors' keys: a loader run writes its custom parameters below the current vendor's and
// removes an empty one of the former vendor's.
constexpr char kCurrentVendor[] = "Software\\Pemrod";
constexpr char kFormerVendor[] = "Software\\Brightholm";

// Removes both vendors' keys, in both views.
inline void DeleteVendorKeys()
{
    for (REGSAM view : {kProgramView, kOtherView}) {
        DeleteTree(kCurrentVendor, HKEY_LOCAL_MACHINE, view);
        DeleteTree(kFormerVendor, HKEY_LOCAL_MACHINE, view);
    }
}

// Gives the key (in the program's view) the DACL written as SDDL; its owner can always change it.
inline bool SetKeyDacl(const char* path, const char* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    HKEY key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, WRITE_DAC | kProgramView, &key);
    if (result == ERROR_SUCCESS) {
        result = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

// Makes path a registry link to the key target (both below HKEY_LOCAL_MACHINE, in the program's
// view).
inline bool MakeLink(const char* path, const char* target)
{
    HKEY link;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr,
                        REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | kProgramView,
                        nullptr, &link, nullptr) != ERROR_SUCCESS)
        return false;
    std::wstring name = HasTwoViews() ? L"\\Registry\\Machine\\Software\\Wow6432Node"
                                      : L"\\Registry\\Machine\\Software";
    for (const char* p = strchr(target, '\\'); *p; ++p)
        name += (wchar_t)*p;
    LONG result = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE*)name.c_str(),
                                 DWORD(name.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    return result == ERROR_SUCCESS;
}

// Deletes the link at path itself, never what it leads to.
inline bool DeleteLink(const char* path)
{
    typedef LONG(NTAPI * NtDeleteKeyFn)(HANDLE);
    auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    HKEY link;
    if (!deleteKey || RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, REG_OPTION_OPEN_LINK,
                                    DELETE | kProgramView, &link) != ERROR_SUCCESS)
        return false;
    LONG status = deleteKey(link);
    RegCloseKey(link);
    return status == 0;
}

struct StoredValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::string bytes;  // as stored, terminator included for text values
};

inline StoredValue GetValue(const char* path, const char* name, HKEY root = HKEY_LOCAL_MACHINE,
                            REGSAM view = kProgramView)
{
    StoredValue stored;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return stored;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &stored.type, nullptr, &size) == ERROR_SUCCESS) {
        stored.bytes.resize(size);
        if (RegQueryValueExA(key, name, nullptr, &stored.type, (BYTE*)&stored.bytes[0], &size) ==
            ERROR_SUCCESS) {
            stored.found = true;
            stored.bytes.resize(size);
        }
    }
    RegCloseKey(key);
    return stored;
}

// The text of a value, up to its first zero byte; "<missing>" when there is none.
inline std::string GetText(const char* path, const char* name, REGSAM view = kProgramView)
{
    StoredValue stored = GetValue(path, name, HKEY_LOCAL_MACHINE, view);
    if (!stored.found)
        return "<missing>";
    return std::string(stored.bytes.c_str());
}

}  // namespace regtest
