#include "VoFoundation/VoSystem.h"
#include "VoFoundation/VoSystemCalls.h"

#include "VoFoundation/VoLimits.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string.h>

bool VoIsNtPlatform()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool VoSystemFilePath(const char* fileName, char* path, int32 capacity)
{
    path[0] = 0;
    UINT length = GetSystemDirectoryA(path, static_cast<UINT>(capacity));
    if (length == 0)
        return false;
    size_t nameLength = strlen(fileName);
    if (static_cast<int32>(length) >= capacity ||
        static_cast<size_t>(length) + 1 + nameLength >= static_cast<size_t>(capacity)) {
        path[0] = 0;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (path[length - 1] != '\\')
        path[length++] = '\\';
    memcpy(path + length, fileName, nameLength + 1);
    return true;
}

bool VoAnsiNameOf(const wchar_t* wide, char* ansi, int32 capacity)
{
    return VoNameInCodePage(CP_ACP, wide, ansi, capacity);
}

bool VoNameInCodePage(unsigned codePage, const wchar_t* wide, char* ansi, int32 capacity)
{
    wchar_t back[kVoPathChars];
    int length = MultiByteToWideChar(codePage, 0, ansi, -1, back, kVoPathChars);
    if (length > 0 && memcmp(back, wide, length * sizeof(wchar_t)) == 0)
        return true;
    wchar_t shortName[kVoPathChars];
    DWORD shortLength = GetShortPathNameW(wide, shortName, kVoPathChars);
    if (shortLength == 0 || shortLength >= (DWORD)capacity || shortLength >= kVoPathChars)
        return false;
    for (DWORD i = 0; i < shortLength; ++i) {
        if (shortName[i] == 0 || shortName[i] >= 0x80)
            return false;
    }
    for (DWORD i = 0; i <= shortLength; ++i)
        ansi[i] = (char)shortName[i];
    return true;
}

unsigned long VoSddlOf(void* handle, int objectType, char** sddl)
{
    *sddl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD error = VoCalls().getSecurityInfo(handle, static_cast<SE_OBJECT_TYPE>(objectType), parts,
                                            nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (error == ERROR_SUCCESS && !ConvertSecurityDescriptorToStringSecurityDescriptorA(
                                      descriptor, SDDL_REVISION_1, parts, sddl, nullptr))
        error = GetLastError();
    LocalFree(descriptor);
    return error;
}
