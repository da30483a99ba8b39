// Whether an object's owner and DACL leave it to principals the program trusts: the judgment of
// a folder or registry key that someone else may have made, read from the object's descriptor
// as SDDL (as ConvertSecurityDescriptorToStringSecurityDescriptorA writes it). Platform-free.
#pragma once

// The rights through which someone could change what an object holds or where it leads.
// A folder: writing or appending (adding files and folders), deleting children, deleting or
// renaming it, rewriting its DACL or owner; also the generic write and all rights.
constexpr unsigned long kVoFolderWriteRights =
    0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
// A registry key: setting values, making sub-keys or links, and the same standard and generic
// rights.
constexpr unsigned long kVoKeyWriteRights =
    0x2 | 0x4 | 0x20 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
// A folder on the path to a file: what lets someone turn it into a link elsewhere or put another
// in its place (adding files, deleting it or its children, rewriting its DACL or owner); making
// new sub-folders alone does not.
constexpr unsigned long kVoPathWriteRights =
    0x2 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;

enum VoTrustVerdict {
    kVoTrusted = 0,
    kVoOwnerUntrusted,  // the owner is none of the trusted principals (or unknown)
    kVoDaclUntrusted,   // someone else may write: an entry grants it, or there is no DACL
};

// Judges a descriptor given as SDDL with its owner ("O:") and DACL ("D:"). Trusted are SYSTEM,
// Administrators and TrustedInstaller, and userSid too when userTrusted (a run without
// privileges trusts its own user). The DACL may grant writeRights to trusted principals only
// (OWNER RIGHTS counts as the trusted owner). Entries that only children inherit (and CREATOR
// OWNER and CREATOR GROUP, which stand for whoever makes a child) give no right over the object
// itself, and denying entries take rights away: both are left out. A missing or null DACL, and
// anything that cannot be read, make it untrusted.
VoTrustVerdict VoJudgeDescriptor(const char* sddl, const char* userSid, bool userTrusted,
                                 unsigned long writeRights);
