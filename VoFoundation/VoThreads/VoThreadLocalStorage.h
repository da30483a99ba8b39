// Thread-local storage: numbered slots for the foundation's components on top of the one
// Win32 TLS index of the process. Each thread may keep a VoTlsArray of entries under it.
#pragma once
#include "VoFoundation/VoStatus.h"
#include "VoFoundation/VoTypes.h"
#include "VoFoundation/VoThreads/VoMutex.h"

constexpr int32 kVoTlsSlotCount = 16384;  // slot numbers 0 to 16383
constexpr int32 kVoTlsArrayStep = 32;     // entry arrays grow in steps of this many

inline bool VoTlsSlotInRange(int32 slot)
{
    return slot >= 0 && slot < kVoTlsSlotCount;
}

struct VoTlsEntry {
    void* value;
    bool set;
};

// One thread's entries; touched only by its own thread, so it has no lock.
class VoTlsArray {
public:
    VoTlsArray();
    ~VoTlsArray();
    VoTlsArray(const VoTlsArray&) = delete;
    VoTlsArray& operator=(const VoTlsArray&) = delete;

    // Grows to the smallest multiple of 32 above the slot number; 2004 when that fails,
    // 2015 for a slot number outside 0 to 16383.
    VoStatus reserve(int32 slot);
    // 2000 and out written when the entry holds a value; 2007 (out untouched) when it holds
    // none; 2017 when reserving failed.
    VoStatus get(int32 slot, void** out);
    VoStatus set(int32 slot, void* value);
    int32 capacity() const { return _capacity; }

private:
    int32 _capacity;
    VoTlsEntry* _entries;
};

// Which slot numbers are taken, process-wide. Numbers are never given back.
class VoTlsSlotRegistry {
public:
    VoTlsSlotRegistry();
    virtual ~VoTlsSlotRegistry();
    // The lowest free slot number, now taken; -1 when all are taken.
    int32 take();

private:
    unsigned char _marks[kVoTlsSlotCount];
    VoMutex _mutex;
};

class VoTlsContext {
public:
    VoTlsContext();
    virtual ~VoTlsContext();
    VoTlsContext(const VoTlsContext&) = delete;
    VoTlsContext& operator=(const VoTlsContext&) = delete;

    VoStatus ensureIndex();
    VoStatus releaseIndex();
    // -1 when no TLS index can be had or every slot is taken.
    int32 allocateSlot();
    // Out is written only when a value is found: callers set it to null first and count the
    // lookup as found only for code 2000 and a non-null out.
    VoStatus getValue(int32 slot, void** out);
    // Stores a value for the calling thread, creating its array on first use.
    VoStatus setValue(int32 slot, void* value);

    // The process's context, one of the static objects made before the entry function.
    static VoTlsContext* process();
    static int32 tlsIndex() { return _tlsIdx; }

private:
    static int32 _tlsIdx;
    VoTlsSlotRegistry _registry;
};

// Teardown steps at exit, in their fixed order (VoSystemCalls::observeTeardown is told each).
enum VoTeardownStep : int32 {
    VO_TEARDOWN_PROCESS_MUTEX_CLOSED = 1,
    VO_TEARDOWN_TLS_INDEX_FREED = 2,
    VO_TEARDOWN_SLOT_REGISTRY_MUTEX_CLOSED = 3,
};
void VoNotifyTeardown(int32 step);
