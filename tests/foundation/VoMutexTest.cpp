#include "VoFoundation/VoThreads/VoMutex.h"
#include "tests/support/SystemCallsHook.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "FoundationTestSupport.h"
#include "VoFoundation/VoThreads/VoStaticObjects.h"

namespace {

HANDLE WINAPI failingCreate(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

class FailingMutexCreation {
public:
    FailingMutexCreation() { support::g_systemCalls.createMutexA = failingCreate; }
    ~FailingMutexCreation() { support::RestoreSystemCalls(); }
};

TEST(VoMutex, LockAndUnlockPair)
{
    VoMutex mutex;
    ASSERT_TRUE(mutex.created());
    EXPECT_TRUE(mutex.lock());
    EXPECT_TRUE(mutex.lock()) << "the owner may lock again";
    EXPECT_TRUE(mutex.unlock());
    EXPECT_TRUE(mutex.unlock());
    EXPECT_FALSE(mutex.unlock()) << "not owned any more";
}

TEST(VoMutex, FailedCreationIsQuietAndNeverBlocks)
{
    TraceCapture trace;
    FailingMutexCreation failing;
    VoMutex mutex;
    EXPECT_FALSE(mutex.created());
    EXPECT_FALSE(mutex.lock());
    EXPECT_FALSE(mutex.unlock());
    EXPECT_EQ(0, trace.count());
}

TEST(VoMutex, ReportingCreationWritesFailedCheck)
{
    TraceCapture trace;
    FailingMutexCreation failing;
    VoMutex mutex(VoMutex::kReportFailure);
    EXPECT_FALSE(mutex.created());
    ASSERT_EQ(1, trace.count());
    EXPECT_EQ(kVoTraceLevelError, trace.level(0));
    std::string message = trace.message(0);
    std::string lead =
        "(_mutexImp != NULL) failed: Failed to create VoMutex in VoMutex.cpp at line ";
    EXPECT_EQ(lead, message.substr(0, lead.size()));
    std::string tail = ". (Last OS error: 8)";
    ASSERT_GT(message.size(), tail.size());
    EXPECT_EQ(tail, message.substr(message.size() - tail.size()));
}

DWORD WINAPI lockAndEnd(LPVOID parameter)
{
    static_cast<VoMutex*>(parameter)->lock();
    return 0;  // ends owning the mutex: it is abandoned
}

TEST(VoMutex, AbandonedMutexLockReturnsFalseAndCanBeReleased)
{
    VoMutex mutex;
    HANDLE thread = CreateThread(nullptr, 0, lockAndEnd, &mutex, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_FALSE(mutex.lock());
    EXPECT_TRUE(mutex.unlock()) << "an abandoned wait still gives ownership";
    EXPECT_TRUE(mutex.lock());
    EXPECT_TRUE(mutex.unlock());
}

TEST(VoStaticObjects, ProcessMutexExistsAndSecondStartCreatesNothing)
{
    VoMutex* mutex = VoProcessMutex();
    ASSERT_NE(nullptr, mutex);
    EXPECT_TRUE(mutex->created());
    int32 calls = VoAllocCallCount();
    VoStartProcessMutex();
    EXPECT_EQ(mutex, VoProcessMutex());
    EXPECT_EQ(calls, VoAllocCallCount());
}

}  // namespace
