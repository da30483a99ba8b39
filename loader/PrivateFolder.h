// Makes the loader's folders with the protected descriptor of PrivateFolderRules.h, and
// checks a folder found in their place before it is reused.
#pragma once

#include "PrivateFolderRules.h"
#include "VoFoundation/VoOwners.h"

namespace loader {

// True when the run is SYSTEM or an administrator with that right in force (an elevated
// token): its folders then keep the user to reading. Tests set another check.
typedef bool (*PrivilegedRunCheck)(const char* userSid);
bool IsPrivilegedRun(const char* userSid);
extern PrivilegedRunCheck g_isPrivilegedRun;

class PrivateFolderAccess {
public:
    // Takes the user from the process token and builds the descriptor, once for all folders.
    // Folders of a run without privileges give the user full control (see
    // ComposePrivateFolderSddl).
    PrivateFolderAccess();

    // Creates the folder with the protected descriptor. False with the last error set when it
    // cannot be made (ERROR_ALREADY_EXISTS when something has its name), or when the
    // descriptor could not be built (the error of the call that failed then).
    bool MakeFolder(const char* path) const;

    // 0 when the existing folder at path may be reused; otherwise the error to log with the
    // refusal (see ExistingFolderVerdict, or the error of reading its owner).
    long CheckExistingFolder(const char* path) const;

    // Opens the folder this run has just made at path (no final backslash) and holds it, so
    // that it cannot be renamed, moved or deleted until the handle is closed; checks that it
    // is still a real folder. Null with the last error set otherwise (see FolderKindVerdict,
    // or the error of the call that failed).
    void* HoldNewFolder(const char* path) const;

    // What was built, for tests: the user's SID as text ("" when unknown) and the descriptor
    // (null when it could not be built).
    const char* userSid() const { return _userSid; }
    void* descriptor() const { return _descriptor.get(); }

private:
    char _userSid[kSidChars];
    VoUniqueLocal _descriptor;  // from ConvertStringSecurityDescriptorToSecurityDescriptorA
    long _error;                // why there is no descriptor
};

}  // namespace loader
