// The owners of system handles and the system queries: what is held is let go exactly once,
// on every way out, and a path in the system folder never comes back cut short.
#include "VoFoundation/VoOwners.h"
#include "VoFoundation/VoSystem.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// An event handle whose liveness can be asked: GetHandleInformation fails on a closed one.
bool IsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent()
{
    return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

TEST(VoOwners, LetsGoOnceWhenLeavingScopeOrReset)
{
    HANDLE raw = NewEvent();
    ASSERT_NE(nullptr, raw);
    {
        VoUniqueHandle owner(raw);
        EXPECT_TRUE(owner);
        EXPECT_EQ(raw, owner.get());
    }
    EXPECT_FALSE(IsOpen(raw));

    HANDLE first = NewEvent();
    HANDLE second = NewEvent();
    VoUniqueHandle owner(first);
    owner.reset(second);  // the first goes, the second is held
    EXPECT_FALSE(IsOpen(first));
    EXPECT_TRUE(IsOpen(second));
    owner.reset();
    EXPECT_FALSE(IsOpen(second));
    EXPECT_FALSE(owner);
}

TEST(VoOwners, ReleaseHandsOverAndMoveTransfers)
{
    HANDLE raw = NewEvent();
    {
        VoUniqueHandle owner(raw);
        EXPECT_EQ(raw, owner.release());
        EXPECT_EQ(nullptr, owner.get());
    }
    EXPECT_TRUE(IsOpen(raw));  // the caller holds it now
    {
        VoUniqueHandle from(raw);
        VoUniqueHandle to(static_cast<VoUniqueHandle&&>(from));
        EXPECT_EQ(nullptr, from.get());
        EXPECT_EQ(raw, to.get());
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(VoOwners, OutLetsGoOfWhatWasHeldBeforeTheCallWritesAgain)
{
    HANDLE before = NewEvent();
    VoUniqueHandle owner(before);
    HANDLE* slot = owner.out();
    EXPECT_FALSE(IsOpen(before));
    EXPECT_EQ(nullptr, *slot);
    *slot = NewEvent();
    EXPECT_TRUE(owner);
}

TEST(VoOwners, AFailedCallsHandleIsNotHeld)
{
    // CreateFileA's failure value must never reach CloseHandle, which would take it for the
    // current process's pseudo handle.
    VoUniqueHandle failed(CreateFileA("Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(INVALID_HANDLE_VALUE, failed.get());
    EXPECT_FALSE(failed);
    VoUniqueKey key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, key.out()));
    EXPECT_TRUE(key);
    VoUniqueModule module(LoadLibraryA("kernel32.dll"));
    EXPECT_TRUE(module);
    VoUniqueLocal block(LocalAlloc(LMEM_FIXED, 16));
    EXPECT_TRUE(block);
}

TEST(VoSystem, FilePathsInTheSystemFolderFitOrAreRefused)
{
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::string expected = std::string(folder) + "\\cmd.exe";

    char path[MAX_PATH];
    ASSERT_TRUE(VoSystemFilePath("cmd.exe", path, MAX_PATH));
    EXPECT_EQ(expected, path);

    // Exactly the room for the path and its terminator, and one byte less.
    const int exact = static_cast<int>(expected.size()) + 1;
    ASSERT_TRUE(VoSystemFilePath("cmd.exe", path, exact));
    EXPECT_EQ(expected, path);
    SetLastError(0);
    EXPECT_FALSE(VoSystemFilePath("cmd.exe", path, exact - 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
    EXPECT_STREQ("", path);
    EXPECT_FALSE(VoSystemFilePath("cmd.exe", path, static_cast<int>(length)));
    EXPECT_STREQ("", path);

    EXPECT_TRUE(VoIsNtPlatform());
}

}  // namespace
