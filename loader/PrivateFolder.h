// The loader's folders, judged once and held: each is opened (or made, with the protected
// descriptor of PrivateFolderRules.h) in one step inside a folder already held, without
// following links and without delete sharing, so that neither it nor any folder above it can
// be renamed, moved or replaced while the run works inside.
#pragma once

#include "rules/PrivateFolderRules.h"
#include "VoFoundation/VoOwners.h"

namespace loader {

// True when the run is SYSTEM or an administrator with that right in force (an elevated
// token): its folders then keep the user to reading.
bool IsPrivilegedRun(const char* userSid);

// The user the process runs as, as a SID text; 0 or the error of the call that failed.
unsigned long ReadUserSid(char (&sid)[kSidChars]);

// A held folder's owner and DACL as SDDL, in a block the caller frees with LocalFree; 0 or the
// error of the call that failed.
unsigned long ReadFolderSddl(void* folder, char** sddl);

// Opens (existing false: makes only) the folder name inside the folder held by parent; with a
// system that follows links even when asked not to, what it opened is the link's target. Sets
// *held and *made (true when this call made it); 0 or the Win32 error.
unsigned long MakeHeldFolder(void* parent, const char* name, void* descriptor, bool existing,
                             void** held, bool* made);

class PrivateFolderAccess {
public:
    // Takes the user from the process token and builds the descriptor, once for all folders.
    // Folders of a run without privileges give the user full control (see
    // ComposePrivateFolderSddl).
    PrivateFolderAccess();

    // Opens or makes the folder path (a full path; its last component is made inside parent,
    // a held folder) and holds it in *held. A folder this call makes is new and has the
    // protected descriptor; one it finds (mustBeNew false) is judged through the handle (see
    // FoundFolderVerdict) and let go unless it may be used. 0, or the error to log.
    unsigned long HoldFolder(void* parent, const char* path, bool mustBeNew,
                             VoUniqueHandle& held) const;

    // What was built: the user's SID as text ("" when unknown), whether the run has
    // privileges, and the descriptor (null when it could not be built).
    const char* userSid() const { return _userSid; }
    bool privileged() const { return _privileged; }
    void* descriptor() const { return _descriptor.get(); }

private:
    char _userSid[kSidChars];
    bool _privileged;
    VoUniqueLocal _descriptor;  // from ConvertStringSecurityDescriptorToSecurityDescriptorA
    unsigned long _error;       // why there is no descriptor
};

// Opens a folder named by path (the system temp folder) to make folders inside; it is not
// judged and not held against renaming. 0 or the error.
unsigned long OpenParentFolder(const char* path, VoUniqueHandle& folder);

// Deletes the held folder through its handle when it is empty and lets go of it; 0 or the error
// (the hold is kept then).
unsigned long RemoveHeldFolder(VoUniqueHandle& folder);

}  // namespace loader
