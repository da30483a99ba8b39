#include "PrivateFolder.h"

#include "LoaderRun.h"
#include "rules/BoundedText.h"
#include "VoFoundation/VoSystem.h"
#include "VoFoundation/VoSystemCalls.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

namespace loader {
namespace {

static_assert(kInvalidAttributes == INVALID_FILE_ATTRIBUTES, "attribute values");
static_assert(kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY, "attribute values");
static_assert(kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT, "attribute values");
static_assert(kNotAFolder == ERROR_ALREADY_EXISTS && kFolderOwnerUntrusted == ERROR_INVALID_OWNER &&
                  kFolderDaclUntrusted == ERROR_INVALID_ACL,
              "error values");

constexpr NTSTATUS kStatusNotADirectory = (NTSTATUS)0xC0000103L;
constexpr int kFolderNameChars = 64;  // the last component of a folder path, as wide text

// Copies a SID as text into sid; the error of the call that failed, or ERROR_SUCCESS.
DWORD SidText(PSID source, char (&sid)[kSidChars])
{
    char* text = nullptr;
    if (!ConvertSidToStringSidA(source, &text))
        return GetLastError();
    VoUniqueLocal textBlock(text);
    return TextCopy(sid, text) ? (DWORD)ERROR_SUCCESS : (DWORD)ERROR_INVALID_SID;
}

// BUILTIN\Administrators (S-1-5-32-544), laid out as a SID.
struct AdministratorsSid {
    BYTE revision;
    BYTE subAuthorityCount;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD subAuthorities[2];
};
static_assert(sizeof(AdministratorsSid) == 16, "SID layout");

// The kind of the held folder, from its handle and, for systems that follow a link even when
// asked not to open it as itself, from its name: that name can no longer be changed while the
// folder is held.
unsigned long HeldFolderAttributes(HANDLE folder, const char* path)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder, &info))
        return kInvalidAttributes;
    DWORD byName = GetFileAttributesA(path);
    return byName == INVALID_FILE_ATTRIBUTES ? kInvalidAttributes : info.dwFileAttributes | byName;
}

}  // namespace

unsigned long ReadUserSid(char (&sid)[kSidChars])
{
    VoUniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out()))
        return GetLastError();
    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD length = 0;
    return VoCalls().getTokenInformation(token.get(), TokenUser, &info, sizeof(info), &length)
               ? SidText(info.user.User.Sid, sid)
               : GetLastError();
}

bool IsPrivilegedRun(const char* userSid)
{
    if (lstrcmpA(userSid, "S-1-5-18") == 0)
        return true;
    static const AdministratorsSid administrators = {
        SID_REVISION,
        2,
        SECURITY_NT_AUTHORITY,
        {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
    // A filtered token (not elevated) holds the group for denying only: not a member then.
    BOOL member = FALSE;
    if (!VoCalls().checkTokenMembership(nullptr, const_cast<AdministratorsSid*>(&administrators),
                                        &member))
        return true;  // cannot tell: keep the stricter folders
    return member != FALSE;
}

unsigned long ReadFolderSddl(void* folder, char** sddl)
{
    return VoSddlOf(folder, SE_FILE_OBJECT, sddl);
}

// NtCreateFile inside the parent's handle: the folder is made with its descriptor and opened in
// the same step, so there is no moment at which it exists unheld or with another descriptor.
// Without delete sharing, nobody can rename, move or delete it while it is held; reparse points
// are opened as themselves.
unsigned long MakeHeldFolder(void* parent, const char* name, void* descriptor, bool existing,
                             void** held, bool* made)
{
    *held = nullptr;
    *made = false;
    wchar_t wideName[kFolderNameChars];
    int wideLength =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wideName, kFolderNameChars);
    if (wideLength <= 1)
        return ERROR_INVALID_NAME;
    UNICODE_STRING objectName = {USHORT((wideLength - 1) * sizeof(wchar_t)),
                                 USHORT(wideLength * sizeof(wchar_t)), wideName};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, parent, descriptor);
    IO_STATUS_BLOCK io = {};
    // A folder of this run's own is removed through its handle at the end of the run.
    const ACCESS_MASK access =
        FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | SYNCHRONIZE | (existing ? 0 : DELETE);
    NTSTATUS status = VoCalls().ntCreateFile(
        held, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
        FILE_SHARE_READ | FILE_SHARE_WRITE, existing ? FILE_OPEN_IF : FILE_CREATE,
        FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT |
            FILE_OPEN_FOR_BACKUP_INTENT,
        nullptr, 0);
    if (status == kStatusNotADirectory)
        return kNotAFolder;
    if (!NT_SUCCESS(status)) {
        *held = nullptr;
        return RtlNtStatusToDosError(status);
    }
    *made = io.Information == FILE_CREATED;
    return ERROR_SUCCESS;
}

PrivateFolderAccess::PrivateFolderAccess() : _userSid(), _privileged(true), _descriptor(), _error(0)
{
    DWORD error = ReadUserSid(_userSid);
    char sddl[kPrivateFolderSddlChars];
    if (error == ERROR_SUCCESS)
        _privileged = IsPrivilegedRun(_userSid);
    if (error == ERROR_SUCCESS &&
        !ComposePrivateFolderSddl(sddl, sizeof(sddl), _userSid, _privileged))
        error = ERROR_INVALID_SID;
    if (error == ERROR_SUCCESS && !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                      sddl, SDDL_REVISION_1, _descriptor.out(), nullptr)) {
        _descriptor.release();  // nothing was made
        error = GetLastError();
    }
    if (!_descriptor)
        _error = error != ERROR_SUCCESS ? error : (DWORD)ERROR_INVALID_SECURITY_DESCR;
}

DWORD PrivateFolderAccess::HoldFolder(void* parent, const char* path, bool mustBeNew,
                                      VoUniqueHandle& held) const
{
    held.reset();
    if (!_descriptor)
        return _error;
    char bare[kPathChars];
    if (!TextCopy(bare, path))
        return ERROR_FILENAME_EXCED_RANGE;
    size_t length = TextLength(bare);
    if (length > 1 && bare[length - 1] == '\\')
        bare[length - 1] = '\0';
    bool made = false;
    DWORD error = MakeHeldFolder(parent, FileNamePart(bare), _descriptor.get(), !mustBeNew,
                                 held.out(), &made);
    if (error != ERROR_SUCCESS)
        return error;
    if (!made) {
        // Found, not made by this call: someone may have chosen where it leads and who may
        // change it.
        char* sddl = nullptr;
        error = ReadFolderSddl(held.get(), &sddl);
        VoUniqueLocal sddlBlock(sddl);
        DWORD verdict = error != ERROR_SUCCESS
                            ? error
                            : FoundFolderVerdict(HeldFolderAttributes(held.get(), bare), sddl,
                                                 _userSid, _privileged);
        if (verdict != 0) {
            held.reset();
            return verdict;
        }
    }
    return 0;
}

DWORD OpenParentFolder(const char* path, VoUniqueHandle& folder)
{
    folder.reset(CreateFileA(path, FILE_LIST_DIRECTORY | SYNCHRONIZE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return folder ? 0 : GetLastError();
}

DWORD RemoveHeldFolder(VoUniqueHandle& folder)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (!SetFileInformationByHandle(folder.get(), FileDispositionInfo, &disposition,
                                    sizeof(disposition)))
        return GetLastError();
    folder.reset();  // the folder goes with its last handle
    return 0;
}

}  // namespace loader
