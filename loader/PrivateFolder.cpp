#include "PrivateFolder.h"

#include "LoaderRun.h"
#include "loaderlog/BoundedText.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace loader {
namespace {

static_assert(kInvalidAttributes == INVALID_FILE_ATTRIBUTES, "attribute values");
static_assert(kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY, "attribute values");
static_assert(kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT, "attribute values");
static_assert(kNotAFolder == ERROR_ALREADY_EXISTS && kFolderOwnerUntrusted == ERROR_INVALID_OWNER,
              "error values");

// Copies a SID as text into sid; the error of the call that failed, or ERROR_SUCCESS.
DWORD SidText(PSID source, char (&sid)[kSidChars])
{
    char* text = nullptr;
    if (!ConvertSidToStringSidA(source, &text))
        return GetLastError();
    VoUniqueLocal textBlock(text);
    return TextCopy(sid, text) ? (DWORD)ERROR_SUCCESS : (DWORD)ERROR_INVALID_SID;
}

DWORD ReadUserSid(char (&sid)[kSidChars])
{
    VoUniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out()))
        return GetLastError();
    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD length = 0;
    return GetTokenInformation(token.get(), TokenUser, &info, sizeof(info), &length)
               ? SidText(info.user.User.Sid, sid)
               : GetLastError();
}

DWORD ReadOwnerSid(const char* path, char (&sid)[kSidChars])
{
    PSID owner = nullptr;
    VoUniqueLocal descriptor;
    DWORD error = GetNamedSecurityInfoA(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                        nullptr, nullptr, nullptr, descriptor.out());
    if (error != ERROR_SUCCESS)
        return error;
    return owner ? SidText(owner, sid) : (DWORD)ERROR_INVALID_OWNER;
}

// BUILTIN\Administrators (S-1-5-32-544), laid out as a SID.
struct AdministratorsSid {
    BYTE revision;
    BYTE subAuthorityCount;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD subAuthorities[2];
};
static_assert(sizeof(AdministratorsSid) == 16, "SID layout");

}  // namespace

bool IsPrivilegedRun(const char* userSid)
{
    if (lstrcmpA(userSid, "S-1-5-18") == 0)
        return true;
    AdministratorsSid administrators = {SID_REVISION,
                                        2,
                                        SECURITY_NT_AUTHORITY,
                                        {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
    // A filtered token (not elevated) holds the group for denying only: not a member then.
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, &administrators, &member))
        return true;  // cannot tell: keep the stricter folders
    return member != FALSE;
}

PrivilegedRunCheck g_isPrivilegedRun = &IsPrivilegedRun;

PrivateFolderAccess::PrivateFolderAccess() : _userSid(), _descriptor(), _error(0)
{
    DWORD error = ReadUserSid(_userSid);
    char sddl[kPrivateFolderSddlChars];
    if (error == ERROR_SUCCESS &&
        !ComposePrivateFolderSddl(sddl, sizeof(sddl), _userSid, g_isPrivilegedRun(_userSid)))
        error = ERROR_INVALID_SID;
    if (error == ERROR_SUCCESS && !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                      sddl, SDDL_REVISION_1, _descriptor.out(), nullptr)) {
        _descriptor.release();  // nothing was made
        error = GetLastError();
    }
    if (!_descriptor)
        _error = error != ERROR_SUCCESS ? (long)error : (long)ERROR_INVALID_SECURITY_DESCR;
}

bool PrivateFolderAccess::MakeFolder(const char* path) const
{
    if (!_descriptor) {
        SetLastError((DWORD)_error);
        return false;
    }
    SECURITY_ATTRIBUTES security = {sizeof(security), _descriptor.get(), FALSE};
    return CreateDirectoryA(path, &security) != FALSE;
}

long PrivateFolderAccess::CheckExistingFolder(const char* path) const
{
    // Asked with a final backslash, some file systems answer for the folder a link leads to.
    char folder[kPathChars];
    if (!TextCopy(folder, path))
        return ERROR_FILENAME_EXCED_RANGE;
    size_t length = TextLength(folder);
    if (length > 1 && folder[length - 1] == '\\')
        folder[length - 1] = '\0';
    path = folder;
    DWORD attributes = GetFileAttributesA(path);
    char owner[kSidChars] = "";
    // The owner only matters for a real folder; a link's owner says nothing about its target.
    if (ExistingFolderVerdict(attributes, "", "") == kFolderOwnerUntrusted) {
        DWORD error = ReadOwnerSid(path, owner);
        if (error != ERROR_SUCCESS)
            return (long)error;
    }
    return ExistingFolderVerdict(attributes, owner, _userSid);
}

void* PrivateFolderAccess::HoldNewFolder(const char* path) const
{
    // Without delete sharing, nobody can rename, move or delete the folder while it is held,
    // so no folder of someone else's can take its place later in the run.
    VoUniqueHandle folder(CreateFileA(
        path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder)
        return nullptr;
    // Opened as the entry itself: whatever took the folder's place in the moment before
    // shows as a file or a link.
    BY_HANDLE_FILE_INFORMATION info;
    DWORD error = GetFileInformationByHandle(folder.get(), &info)
                      ? (DWORD)FolderKindVerdict(info.dwFileAttributes)
                      : GetLastError();
    if (error == ERROR_SUCCESS)
        return folder.release();
    folder.reset();
    SetLastError(error);
    return nullptr;
}

}  // namespace loader
