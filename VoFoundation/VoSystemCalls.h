// The system calls that tests replace, in one table. The program reads them through
// g_voSystemCalls, a constant pointer to a constant table: the system's own calls
// (kVoRealSystemCalls, defined in VoSystemCalls.cpp), which a link with optimisation across
// units folds into direct calls. A test program links a table of its own in place of that file
// (tests/support/SystemCallsHook.cpp); nothing in a product header can be written to.
#pragma once

#include "VoFoundation/VoTypes.h"

#include <windows.h>
#ifdef _WIN32
#include <aclapi.h>
#include <winternl.h>
#endif

struct VoSystemCalls {
    decltype(&::CreateMutexA) createMutexA;
    // Told each teardown step at exit, in order (VoTeardownStep); null: nobody watches.
    void (*observeTeardown)(int32 step);
#ifdef _WIN32
    decltype(&::CreateFileA) createFileA;
    decltype(&::WriteFile) writeFile;
    decltype(&::CreateProcessA) createProcessA;
    decltype(&::CreateProcessAsUserA) createProcessAsUserA;
    decltype(&::Sleep) sleep;
    decltype(&::MessageBoxA) messageBoxA;
    decltype(&::GetUserObjectInformationA) getUserObjectInformationA;
    decltype(&::LoadLibraryExA) loadLibraryExA;
    decltype(&::GetProcAddress) getProcAddress;
    decltype(&::CheckTokenMembership) checkTokenMembership;
    decltype(&::GetTokenInformation) getTokenInformation;
    decltype(&::GetSecurityInfo) getSecurityInfo;
    decltype(&::NtCreateFile) ntCreateFile;
    decltype(&::RegQueryInfoKeyA) regQueryInfoKeyA;
#endif
};

inline constexpr VoSystemCalls kVoRealSystemCalls = {
    &::CreateMutexA,
    nullptr,
#ifdef _WIN32
    &::CreateFileA,
    &::WriteFile,
    &::CreateProcessA,
    &::CreateProcessAsUserA,
    &::Sleep,
    &::MessageBoxA,
    &::GetUserObjectInformationA,
    &::LoadLibraryExA,
    &::GetProcAddress,
    &::CheckTokenMembership,
    &::GetTokenInformation,
    &::GetSecurityInfo,
    &::NtCreateFile,
    &::RegQueryInfoKeyA,
#endif
};

extern const VoSystemCalls* const g_voSystemCalls;

inline const VoSystemCalls& VoCalls()
{
    return *g_voSystemCalls;
}
