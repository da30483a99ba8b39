#include "FolderSecurity.h"

#include "TestFiles.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace support {
namespace {

std::string SidText(PSID sid)
{
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text))
        return std::string();
    std::string result = text;
    LocalFree(text);
    return result;
}

bool IsReparsePoint(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The Unix path of a Windows path, where Wine can tell it.
std::string UnixPath(const std::string& path)
{
    typedef char*(CDECL * UnixFileNameFn)(const WCHAR*);
    auto unixFileName = reinterpret_cast<UnixFileNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixFileName)
        return std::string();
    std::vector<WCHAR> wide(path.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), (int)wide.size());
    char* unix = unixFileName(wide.data());
    if (!unix)
        return std::string();
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Starts one of the system's programs (Wine starts Unix programs as well); Wine does not wait
// for them to end, so the caller waits for what the program does.
bool StartUnixProgram(const std::string& command)
{
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

std::string CurrentUserSid()
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string();
    std::vector<unsigned char> buffer(256);
    DWORD length = 0;
    std::string sid;
    if (GetTokenInformation(token, TokenUser, buffer.data(), (DWORD)buffer.size(), &length))
        sid = SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
    CloseHandle(token);
    return sid;
}

std::string ExpectedPrivateFolderSddl()
{
    const std::string readExecute = "(A;OICI;0x1200a9;;;";
    return "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)" + readExecute + CurrentUserSid() + ")" +
           readExecute + "S-1-3-4)";
}

std::string FolderSddl(const std::string& path)
{
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, what, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return std::string();
    char* text = nullptr;
    std::string result;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, what,
                                                             &text, nullptr)) {
        result = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return result;
}

bool MakeFolderWithSddl(const std::string& path, const std::string& sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES security = {sizeof(security), descriptor, FALSE};
    BOOL made = CreateDirectoryA(path.c_str(), &security);
    LocalFree(descriptor);
    return made != FALSE;
}

bool MakeFolderLink(const std::string& link, const std::string& target)
{
    if (CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
        IsReparsePoint(link))
        return true;
    std::string unixTarget = UnixPath(target);
    std::string unixLink = UnixPath(link);
    if (unixTarget.empty() || unixLink.empty())
        return false;
    while (unixTarget.size() > 1 && unixTarget.back() == '/')
        unixTarget.pop_back();
    while (unixLink.size() > 1 && unixLink.back() == '/')
        unixLink.pop_back();
    // Wine shows a link to a folder as a reparse point, and one to a file as a plain file.
    return StartUnixProgram("Z:\\bin\\ln -s \"" + unixTarget + "\" \"" + unixLink + "\"") &&
           WaitUntil(FolderExists(target) ? &IsReparsePoint : &FileExists, link, 10000);
}

bool RemoveFolderLink(const std::string& link)
{
    // Wine's RemoveDirectoryA would remove the folder that a Unix link leads to, not the link.
    std::string unixLink = UnixPath(link);
    if (unixLink.empty())
        return RemoveDirectoryA(link.c_str()) != FALSE;
    return StartUnixProgram("Z:\\bin\\rm -f \"" + unixLink + "\"") && WaitUntilGone(link, 10000);
}

}  // namespace support
