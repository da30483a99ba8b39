// The rules for the folders that the installer is extracted into and the logs live in.
// Platform-free.
//
// The loader runs elevated, often as SYSTEM, whose temp folder is one that any user may make
// folders in. A folder the loader makes there gets a protected descriptor: full control for
// SYSTEM and Administrators, read and execute for the user it runs as, nothing inherited from
// above. A folder it finds there is used only when it is a real folder (not a junction or
// symbolic link) owned by SYSTEM or Administrators (or, for a run without privileges, by its
// own user) whose DACL lets no one else change it.
#pragma once
#include <stddef.h>

namespace loader {

constexpr size_t kSidChars = 192;                // a SID as text, terminator included
constexpr size_t kPrivateFolderSddlChars = 384;  // the descriptor below with the longest SID

// The folders' descriptor as SDDL for the user whose SID (as text, "S-1-...") is given. A run
// without privileges (neither SYSTEM nor an administrator) gives that user full control
// instead of read and execute. False (sddl empty) for a user SID that is empty or not a SID,
// or when it would not fit.
bool ComposePrivateFolderSddl(char* sddl, size_t capacity, const char* userSid,
                              bool privilegedRun = true);

// The self-deleting batch's descriptor as SDDL: full control for SYSTEM and Administrators,
// reading for the user whose SID is given, nothing inherited. False (sddl empty) as above.
bool ComposeBatchSddl(char* sddl, size_t capacity, const char* userSid);

// File attributes as GetFileAttributesA reports them.
constexpr unsigned long kInvalidAttributes = 0xFFFFFFFFul;
constexpr unsigned long kAttributeDirectory = 0x10;
constexpr unsigned long kAttributeReparsePoint = 0x400;

// The errors logged when an existing folder is not used.
constexpr unsigned long kNotAFolder = 183;  // ERROR_ALREADY_EXISTS: something else has the name
constexpr unsigned long kFolderIsReparsePoint = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED
constexpr unsigned long kFolderOwnerUntrusted = 1307;  // ERROR_INVALID_OWNER
constexpr unsigned long kFolderDaclUntrusted = 1336;   // ERROR_INVALID_ACL: others may change it

// 0 when these attributes are a real folder's; otherwise kNotAFolder, or kFolderIsReparsePoint
// for a junction or symbolic link.
unsigned long FolderKindVerdict(unsigned long attributes);

// 0 when a folder found in place, with these attributes and this descriptor (owner and DACL as
// SDDL), may be used by a run as userSid; otherwise the reason, one of the four errors above.
unsigned long FoundFolderVerdict(unsigned long attributes, const char* sddl, const char* userSid,
                                 bool privilegedRun);

// The per-run folder's name: "log", eight hexadecimal digits of a random number, ".tmp".
constexpr size_t kRunFolderNameChars = 16;  // terminator included
void MakeRunFolderName(char (&name)[kRunFolderNameChars], unsigned long random);

}  // namespace loader
