// The descriptor the loader builds for its folders, the folders it makes with it, and its
// check of a folder it finds in their place.
#include "loader/PrivateFolder.h"

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
    static std::string askedFor;
    loader::g_isPrivilegedRun = [](const char* userSid) {
        askedFor = userSid;
        return false;
    };
    loader::PrivateFolderAccess access;
    loader::g_isPrivilegedRun = &loader::IsPrivilegedRun;
    EXPECT_EQ(support::CurrentUserSid(), askedFor);
    ASSERT_NE(nullptr, access.descriptor());
    const std::string dacl = DaclSddl(access.descriptor());
    EXPECT_NE(std::string::npos, dacl.find("(A;OICI;FA;;;" + support::CurrentUserSid() + ")"))
        << dacl;
    EXPECT_EQ(0u, dacl.find("D:P(")) << "not protected";
}

TEST(PrivateFolderAccess, MakesOnlyNewFoldersAndTheyKeepTheDescriptor)
{
    support::Sandbox box;
    loader::PrivateFolderAccess access;
    const std::string made = box.temp() + "made";
    ASSERT_TRUE(access.MakeFolder(made.c_str()));
    EXPECT_FALSE(access.MakeFolder(made.c_str()));
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());

    // What the file system keeps is compared with what it keeps for the same descriptor set by
    // hand (Wine keeps only what its Unix mode bits can say), and with a folder made without.
    const std::string reference = box.temp() + "reference";
    ASSERT_TRUE(support::MakeFolderWithSddl(reference, support::ExpectedPrivateFolderSddl()));
    const std::string plain = box.temp() + "plain";
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
    EXPECT_EQ(support::FolderSddl(reference), support::FolderSddl(made));
    EXPECT_NE(support::FolderSddl(plain), support::FolderSddl(made));
}

TEST(PrivateFolderAccess, ReusesOnlyARealFolderOfATrustedOwner)
{
    support::Sandbox box;
    loader::PrivateFolderAccess access;
    const std::string made = box.temp() + "made\\";
    ASSERT_TRUE(access.MakeFolder(made.c_str()));
    const std::string plain = box.temp() + "plain\\";
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
    const std::string file = box.temp() + "file";
    ASSERT_TRUE(support::WriteFile(file, "x"));
    const std::string link = box.temp() + "link";
    const bool linked = support::MakeFolderLink(link, plain);

    const struct {
        const char* name;
        std::string path;
        long verdict;
    } cases[] = {
        {"made by this run", made, 0},
        {"made by the same user", plain, 0},
        {"a file", file, loader::kNotAFolder},
        {"nothing", box.temp() + "missing\\", loader::kNotAFolder},
        {"a symbolic link to a folder", link + "\\", loader::kFolderIsReparsePoint},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.path == link + "\\" && !linked) {
            ADD_FAILURE() << "no folder link could be made here";
            continue;
        }
        EXPECT_EQ(c.verdict, access.CheckExistingFolder(c.path.c_str()));
    }
    if (linked) {
        EXPECT_TRUE(support::RemoveFolderLink(link));
    }
}

TEST(PrivateFolderAccess, HoldsTheFolderItMadeAgainstRenamingAndDeletion)
{
    support::Sandbox box;
    loader::PrivateFolderAccess access;
    const std::string made = box.temp() + "made";
    const std::string moved = box.temp() + "moved";
    ASSERT_TRUE(access.MakeFolder(made.c_str()));
    HANDLE held = access.HoldNewFolder(made.c_str());
    ASSERT_NE(nullptr, held) << GetLastError();

    // Files come and go inside; the folder itself stays where it is.
    ASSERT_TRUE(support::WriteFile(made + "\\Setup.exe", "x"));
    EXPECT_TRUE(DeleteFileA((made + "\\Setup.exe").c_str()));
    EXPECT_FALSE(MoveFileA(made.c_str(), moved.c_str()));
    EXPECT_FALSE(RemoveDirectoryA(made.c_str()));
    EXPECT_TRUE(support::FolderExists(made));

    CloseHandle(held);
    EXPECT_TRUE(MoveFileA(made.c_str(), moved.c_str())) << GetLastError();
}

TEST(PrivateFolderAccess, HoldsNothingButAFolder)
{
    support::Sandbox box;
    loader::PrivateFolderAccess access;
    const std::string missing = box.temp() + "missing";
    EXPECT_EQ(nullptr, access.HoldNewFolder(missing.c_str()));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    // A file that took the folder's name in the moment between its making and its hold.
    const std::string file = box.temp() + "file";
    ASSERT_TRUE(support::WriteFile(file, "x"));
    EXPECT_EQ(nullptr, access.HoldNewFolder(file.c_str()));
    EXPECT_EQ(DWORD(loader::kNotAFolder), GetLastError());
    EXPECT_TRUE(DeleteFileA(file.c_str())) << "the file was left held";
}

}  // namespace
