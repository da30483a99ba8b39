// The descriptor the loader builds for its folders, the folders it makes with it, and its
// check of a folder it finds in their place.
#include "loader/PrivateFolder.h"
#include "tests/support/SystemCallsHook.h"

#include "FolderSecurity.h"
#include "Sandbox.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <string>

namespace {

std::string DaclSddl(void* descriptor)
{
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return "<unconvertible>";
    std::string result = text;
    LocalFree(text);
    return result;
}

TEST(PrivateFolderAccess, BuildsTheProtectedDescriptorForTheProcessUser)
{
    loader::PrivateFolderAccess access;
    EXPECT_EQ(support::CurrentUserSid(), access.userSid());
    ASSERT_NE(nullptr, access.descriptor());
    // Read back through the system's own conversion, so the SDDL is what the system made of it.
    loader::PrivateFolderAccess again;
    EXPECT_EQ(DaclSddl(again.descriptor()), DaclSddl(access.descriptor()));
    void* expected = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        support::ExpectedPrivateFolderSddl().c_str(), SDDL_REVISION_1, &expected, nullptr));
    EXPECT_EQ(DaclSddl(expected), DaclSddl(access.descriptor()));
    LocalFree(expected);
    EXPECT_EQ(0u, DaclSddl(access.descriptor()).find("D:P(")) << "not protected";
}

// A run that is neither SYSTEM nor an administrator (started as invoker, or by a standard
// user without UAC) could not write into folders that keep its user to reading.
TEST(PrivateFolderAccess, GivesTheUserFullControlWhenTheRunHasNoPrivileges)
{
    EXPECT_TRUE(loader::IsPrivilegedRun("S-1-5-18"));
    support::g_systemCalls.checkTokenMembership = [](HANDLE, PSID, PBOOL member) -> BOOL WINAPI {
        *member = FALSE;
        return TRUE;
    };
    loader::PrivateFolderAccess access;
    support::RestoreSystemCalls();
    EXPECT_FALSE(access.privileged());
    ASSERT_NE(nullptr, access.descriptor());
    const std::string dacl = DaclSddl(access.descriptor());
    EXPECT_NE(std::string::npos, dacl.find("(A;OICI;FA;;;" + support::CurrentUserSid() + ")"))
        << dacl;
    EXPECT_EQ(0u, dacl.find("D:P(")) << "not protected";
}

// The folders a run holds, made inside the temp folder's handle.
class HeldFolders : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, loader::OpenParentFolder(_box.temp().c_str(), _parent)); }
    unsigned long Hold(const std::string& name, bool mustBeNew, VoUniqueHandle& held)
    {
        return _access.HoldFolder(_parent.get(), (_box.temp() + name).c_str(), mustBeNew, held);
    }

    support::Sandbox _box;
    loader::PrivateFolderAccess _access;
    VoUniqueHandle _parent;
};

TEST_F(HeldFolders, AreMadeNewWithTheDescriptorAndHeldAgainstRenamingAndDeletion)
{
    VoUniqueHandle held, again;
    ASSERT_EQ(0, Hold("made", true, held));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, Hold("made", true, again));
    EXPECT_FALSE(again);
    // What the file system keeps is compared with what it keeps for the same descriptor set by
    // hand (Wine keeps only what its Unix mode bits can say), and with a folder made without.
    const std::string made = _box.temp() + "made", moved = _box.temp() + "moved";
    const std::string reference = _box.temp() + "reference", plain = _box.temp() + "plain";
    ASSERT_TRUE(support::MakeFolderWithSddl(reference, support::ExpectedPrivateFolderSddl()));
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
    EXPECT_EQ(support::FolderSddl(reference), support::FolderSddl(made));
    EXPECT_NE(support::FolderSddl(plain), support::FolderSddl(made));

    // Files come and go inside; the folder itself stays where it is, and goes only when empty.
    ASSERT_TRUE(support::WriteFile(made + "\\Setup.exe", "x"));
    EXPECT_FALSE(MoveFileA(made.c_str(), moved.c_str()));
    EXPECT_FALSE(RemoveDirectoryA(made.c_str()));
    EXPECT_EQ(DWORD(ERROR_DIR_NOT_EMPTY), loader::RemoveHeldFolder(held));
    ASSERT_TRUE(held) << "let go of a folder that stays";
    EXPECT_TRUE(DeleteFileA((made + "\\Setup.exe").c_str()));
    EXPECT_EQ(0u, loader::RemoveHeldFolder(held));
    EXPECT_FALSE(held);
    EXPECT_FALSE(support::FolderExists(made));
}

TEST_F(HeldFolders, AFolderFoundInPlaceIsJudgedThroughItsHandle)
{
    ASSERT_TRUE(CreateDirectoryA((_box.temp() + "plain").c_str(), nullptr));
    ASSERT_TRUE(support::WriteFile(_box.temp() + "file", "x"));
    const bool linked = support::MakeFolderLink(_box.temp() + "link", _box.temp() + "plain");
    static const char* s_sddl;
    // Descriptors as Windows keeps them; Wine's say only what its mode bits can.
    support::g_systemCalls.getSecurityInfo = [](HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*,
                                                PSID*, PACL*, PACL*,
                                                PSECURITY_DESCRIPTOR* descriptor) -> DWORD WINAPI {
        return ConvertStringSecurityDescriptorToSecurityDescriptorA(s_sddl, SDDL_REVISION_1,
                                                                    descriptor, nullptr)
                   ? ERROR_SUCCESS
                   : GetLastError();
    };
    const std::string user = support::CurrentUserSid();
    const std::string own = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;" + user + ")";
    const struct {
        const char* name;
        const char* folder;
        std::string sddl;
        unsigned long verdict;
    } cases[] = {
        {"a folder of SYSTEM's", "plain", "O:SY" + own, 0},
        {"a folder of the run's user", "plain", "O:" + user + own, loader::kFolderOwnerUntrusted},
        {"a folder others may write", "plain", "O:SYD:(A;;FA;;;WD)", loader::kFolderDaclUntrusted},
        {"a file", "file", "O:SY" + own, loader::kNotAFolder},
        {"a symbolic link to a folder, even SYSTEM's", "link", "O:SY" + own,
         loader::kFolderIsReparsePoint},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!linked && std::string(c.folder) == "link") {
            ADD_FAILURE() << "no folder link could be made here";
            continue;
        }
        s_sddl = c.sddl.c_str();
        VoUniqueHandle held;
        EXPECT_EQ(c.verdict, Hold(c.folder, false, held));
        EXPECT_EQ(c.verdict == 0, bool(held));
    }
    support::RestoreSystemCalls();
    // A folder that is missing is made, and needs no judging.
    VoUniqueHandle held;
    EXPECT_EQ(0u, Hold("missing", false, held));
    EXPECT_TRUE(support::FolderExists(_box.temp() + "missing"));
    if (linked) {
        EXPECT_TRUE(support::RemoveFolderLink(_box.temp() + "link"));
    }
}

}  // namespace
