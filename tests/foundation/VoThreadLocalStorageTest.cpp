#include "VoFoundation/VoThreads/VoThreadLocalStorage.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>

#include "FoundationTestSupport.h"

namespace {

// Tests in this program run in order: the process context's first slots are taken here.
TEST(VoTlsContext, FirstSlotsAreZeroThenOne)
{
    VoTlsContext* context = VoTlsContext::process();
    ASSERT_NE(-1, VoTlsContext::tlsIndex()) << "made before the entry function";
    EXPECT_EQ(0, context->allocateSlot());
    EXPECT_EQ(1, context->allocateSlot());
}

TEST(VoTlsSlotRegistry, ExhaustedAfter16384Slots)
{
    VoTlsSlotRegistry registry;
    for (int32 i = 0; i < kVoTlsSlotCount; ++i)
        ASSERT_EQ(i, registry.take());
    EXPECT_EQ(-1, registry.take());
    EXPECT_EQ(-1, registry.take());
}

TEST(VoTlsArray, ReserveGrowsInStepsOf32)
{
    VoTlsArray array;
    EXPECT_EQ(0, array.capacity());
    struct Case {
        int32 slot;
        int32 capacity;
    } cases[] = {{0, 32}, {31, 32}, {32, 64}, {64, 96}, {5, 96}, {16383, 16384}};
    for (const Case& c : cases) {
        EXPECT_EQ(VO_STATUS_OK, array.reserve(c.slot).code()) << c.slot;
        EXPECT_EQ(c.capacity, array.capacity()) << c.slot;
    }
}

TEST(VoTlsArray, GetUnsetEntryKeepsOutAndSetValuesSurviveGrowth)
{
    VoTlsArray array;
    int marker = 0;
    void* out = &marker;
    EXPECT_EQ(VO_STATUS_NO_VALUE, array.get(3, &out).code());
    EXPECT_EQ(&marker, out);
    ASSERT_EQ(VO_STATUS_OK, array.set(3, &array).code());
    ASSERT_EQ(VO_STATUS_OK, array.reserve(100).code());
    EXPECT_EQ(VO_STATUS_OK, array.get(3, &out).code());
    EXPECT_EQ(&array, out);
}

TEST(VoTlsArray, GrowthFailureIsWrapped)
{
    VoTlsArray array;
    AllocFailure fail(1);
    void* out = nullptr;
    VoStatus status = array.get(40, &out);
    EXPECT_EQ(VO_STATUS_UNEXPECTED, status.code());
    std::regex pattern(
        "Unexpected error occurred in \".*VoThreadLocalStorage\\.cpp\" \\([0-9]+\\)\n\t"
        "VoTlsArray - can not allocate a new thread local storage slot");
    EXPECT_TRUE(std::regex_match(std::string(status.message()), pattern)) << status.message();
    EXPECT_EQ(0, array.capacity());
}

TEST(VoTlsArray, SlotNumbersOutsideTheArrayFail)
{
    VoTlsArray array;
    void* out = &array;
    for (int32 slot : {-1, -32, kVoTlsSlotCount, 0x7FFFFFFF}) {
        EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, array.reserve(slot).code()) << slot;
        EXPECT_EQ(VO_STATUS_UNEXPECTED, array.get(slot, &out).code()) << slot;
        EXPECT_EQ(&array, out);
    }
    EXPECT_EQ(0, array.capacity());
}

TEST(VoTlsContext, LookupWithoutThreadArrayIsSuccessWithoutValue)
{
    VoTlsContext* context = VoTlsContext::process();
    int marker = 0;
    void* out = &marker;
    VoStatus status = context->getValue(5, &out);
    EXPECT_EQ(VO_STATUS_OK, status.code());
    EXPECT_EQ(&marker, out);
}

TEST(VoTlsContext, StoredValueThenUnsetEntryGives2017WithOneContextLine)
{
    VoTlsContext* context = VoTlsContext::process();
    int value = 0;
    ASSERT_EQ(VO_STATUS_OK, context->setValue(7, &value).code());
    void* out = nullptr;
    EXPECT_EQ(VO_STATUS_OK, context->getValue(7, &out).code());
    EXPECT_EQ(&value, out);

    out = nullptr;
    VoStatus unset = context->getValue(8, &out);
    EXPECT_EQ(VO_STATUS_UNEXPECTED, unset.code());
    EXPECT_EQ(nullptr, out);
    std::regex pattern(
        "Unexpected error occurred in \".*VoThreadLocalStorage\\.cpp\" \\([0-9]+\\)");
    EXPECT_TRUE(std::regex_match(std::string(unset.message()), pattern)) << unset.message();
}

TEST(VoTlsContext, SlotNumbersOutsideRangeFailClearly)
{
    VoTlsContext* context = VoTlsContext::process();
    for (int32 slot : {-1, kVoTlsSlotCount, -100000}) {
        void* out = context;
        VoStatus status = context->getValue(slot, &out);
        EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, status.code()) << slot;
        EXPECT_EQ(
            0u, std::string(status.message())
                    .find("Slot number " + std::to_string(slot) + " is outside 0 to 16383 in \""));
        EXPECT_EQ(context, out);
        EXPECT_EQ(VO_STATUS_OUT_OF_BOUNDS, context->setValue(slot, nullptr).code()) << slot;
    }
}

DWORD WINAPI lookupOnOtherThread(LPVOID parameter)
{
    void* out = nullptr;
    VoStatus status = VoTlsContext::process()->getValue(7, &out);
    *static_cast<bool*>(parameter) = status.code() == VO_STATUS_OK && out == nullptr;
    return 0;
}

TEST(VoTlsContext, ValuesArePerThread)
{
    bool otherSawNothing = false;
    HANDLE thread = CreateThread(nullptr, 0, lookupOnOtherThread, &otherSawNothing, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_TRUE(otherSawNothing);
}

// Last: releases and re-creates the process's index.
TEST(VoTlsContext, LookupAfterReleaseFailsPrecondition)
{
    VoTlsContext* context = VoTlsContext::process();
    ASSERT_EQ(VO_STATUS_OK, context->releaseIndex().code());
    EXPECT_EQ(-1, VoTlsContext::tlsIndex());
    EXPECT_EQ(VO_STATUS_OK, context->releaseIndex().code()) << "nothing to release";
    void* out = context;
    VoStatus status = context->getValue(0, &out);
    EXPECT_EQ(VO_STATUS_PRECONDITION, status.code());
    std::regex pattern(
        "Precondition \"_tlsIdx != -1\" failed in \".*VoThreadLocalStorage\\.cpp\" \\([0-9]+\\)");
    EXPECT_TRUE(std::regex_match(std::string(status.message()), pattern)) << status.message();
    EXPECT_EQ(context, out);
    ASSERT_EQ(VO_STATUS_OK, context->ensureIndex().code());
    EXPECT_NE(-1, VoTlsContext::tlsIndex());
    EXPECT_EQ(2, context->allocateSlot());
}

}  // namespace
