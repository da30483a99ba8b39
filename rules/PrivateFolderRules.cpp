#include "rules/PrivateFolderRules.h"

#include "VoFoundation/VoDescriptorTrust.h"
#include "rules/BoundedText.h"

#include <string.h>

namespace loader {
namespace {

// Full control for SYSTEM and Administrators; read and execute (FRFX: FILE_GENERIC_READ and
// FILE_GENERIC_EXECUTE) for the user, so that the user can still open the logs. "P": no
// access is inherited from the temp folder above. Files and folders made inside inherit the
// same entries. The owner (often the user) may otherwise always read and rewrite the DACL,
// so that a process of the same user that is not elevated could grant itself write access:
// the OWNER RIGHTS entry (S-1-3-4) replaces those implicit rights by read and execute.
// A run without privileges is that user at that level itself: it gets full control, or it
// could not write into its own folders, and there is no higher level to protect.
// (Pointers to literals, not arrays: the compiler pads arrays this long to 32 bytes.)
constexpr const char* kSddlHead = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;";
constexpr const char* kSddlTail = ")(A;OICI;FRFX;;;S-1-3-4)";

// "S-1-" and dash-separated numbers: nothing that could end an SDDL entry early.
bool IsSidText(const char* sid)
{
    if (!sid || strncmp(sid, "S-1-", 4) != 0)
        return false;
    char last = '-';
    for (const char* p = sid + 4; *p; last = *p++) {
        bool digit = *p >= '0' && *p <= '9';
        if (!digit && (*p != '-' || last == '-'))
            return false;
    }
    return last != '-';
}

// The head, the user's rights, the user's SID and the tail.
bool ComposeSddl(char* sddl, size_t capacity, const char* userSid, const char* rights,
                 const char* tail)
{
    if (!sddl || capacity == 0)
        return false;
    sddl[0] = '\0';
    bool made = IsSidText(userSid) && TextAppend(sddl, capacity, kSddlHead) &&
                TextAppend(sddl, capacity, rights) && TextAppend(sddl, capacity, userSid) &&
                TextAppend(sddl, capacity, tail);
    if (!made)
        sddl[0] = '\0';
    return made;
}

}  // namespace

bool ComposePrivateFolderSddl(char* sddl, size_t capacity, const char* userSid, bool privilegedRun)
{
    return ComposeSddl(sddl, capacity, userSid, privilegedRun ? "FRFX;;;" : "FA;;;", kSddlTail);
}

bool ComposeBatchSddl(char* sddl, size_t capacity, const char* userSid)
{
    // Nobody but SYSTEM and Administrators can rewrite the batch while it waits for the loader.
    // (The entries' inheritance flags mean nothing on a file.)
    return ComposeSddl(sddl, capacity, userSid, "FR;;;", ")");
}

unsigned long FolderKindVerdict(unsigned long attributes)
{
    if (attributes == kInvalidAttributes || !(attributes & kAttributeDirectory))
        return kNotAFolder;
    // A junction or symbolic link leads elsewhere: whoever made it chose where the installer
    // would be written and run.
    if (attributes & kAttributeReparsePoint)
        return kFolderIsReparsePoint;
    return 0;
}

unsigned long FoundFolderVerdict(unsigned long attributes, const char* sddl, const char* userSid,
                                 bool privilegedRun)
{
    if (unsigned long verdict = FolderKindVerdict(attributes))
        return verdict;
    switch (VoJudgeDescriptor(sddl, userSid, !privilegedRun, kVoFolderWriteRights)) {
    case kVoTrusted:
        return 0;
    case kVoOwnerUntrusted:
        return kFolderOwnerUntrusted;
    default:
        return kFolderDaclUntrusted;
    }
}

void MakeRunFolderName(char (&name)[kRunFolderNameChars], unsigned long random)
{
    static const char kDigits[] = "0123456789ABCDEF";
    TextCopy(name, "log00000000.tmp");
    for (int i = 10; i >= 3; --i, random >>= 4)
        name[i] = kDigits[random & 0xF];
}

}  // namespace loader
