#include "VoFoundation/VoThreads/VoThreadLocalStorage.h"

#include "VoFoundation/VoSystemCalls.h"

#include <windows.h>

#include <new>
#include <string.h>

#include "VoFoundation/VoAllocator.h"

int32 VoTlsContext::_tlsIdx = -1;

namespace {

const char kUnexpectedFormat[] = "Unexpected error occurred in \"%s\" (%d)";
const char kPreconditionFormat[] = "Precondition \"%s\" failed in \"%s\" (%d)";
const char kOutOfRangeFormat[] = "Slot number %d is outside 0 to 16383 in \"%s\" (%d)";
const char kGrowthFailedText[] = "VoTlsArray - can not allocate a new thread local storage slot";

// Where a failure was raised: the full source path and the line with location details,
// otherwise the file name and line 0.
struct Location {
    Location(const char* path, int32 sourceLine)
        : name(kVoLocationDetails ? VoTextBuffer() : VoSourceFileName(path)),
          file(kVoLocationDetails ? path : name.c_str()), line(kVoLocationDetails ? sourceLine : 0)
    {
    }
    VoTextBuffer name;
    const char* file;
    int32 line;
};

VoStatus outOfRange(int32 slot, int32 line)
{
    Location at(__FILE__, line);
    return VoStatus(VO_STATUS_OUT_OF_BOUNDS, kOutOfRangeFormat, slot, at.file, at.line);
}

void wrapUnexpected(VoStatus& status, int32 line)
{
    Location at(__FILE__, line);
    status.setCode(VO_STATUS_UNEXPECTED);
    status.addContext(kUnexpectedFormat, at.file, at.line);
}

// Why a slot cannot be read or written: the context has no index yet, or the slot is out of
// range.
VoStatus refusedSlotAccess(int32 tlsIndex, int32 slot, int32 line)
{
    if (tlsIndex == -1) {
        Location at(__FILE__, line);
        return VoStatus(VO_STATUS_PRECONDITION, kPreconditionFormat, "_tlsIdx != -1", at.file,
                        at.line);
    }
    return outOfRange(slot, line);
}

}  // namespace

void VoNotifyTeardown(int32 step)
{
    if (VoCalls().observeTeardown != nullptr)
        VoCalls().observeTeardown(step);
}

// --- VoTlsArray

VoTlsArray::VoTlsArray() : _capacity(0), _entries(nullptr)
{
}

VoTlsArray::~VoTlsArray()
{
    VoFree(_entries);
    _entries = nullptr;
    _capacity = 0;
}

VoStatus VoTlsArray::reserve(int32 slot)
{
    if (!VoTlsSlotInRange(slot))
        return outOfRange(slot, __LINE__);
    int32 needed = slot - (slot % kVoTlsArrayStep) + kVoTlsArrayStep;
    if (needed <= _capacity)
        return VoStatus(VO_STATUS_OK);
    VoTlsEntry* grown = static_cast<VoTlsEntry*>(VoAlloc(sizeof(VoTlsEntry) * needed));
    if (grown == nullptr)
        return VoStatus(VO_STATUS_NO_MEMORY, "%s", kGrowthFailedText);
    for (int32 i = 0; i < needed; ++i) {
        grown[i].value = nullptr;
        grown[i].set = false;
    }
    if (_capacity > 0)
        memcpy(grown, _entries, sizeof(VoTlsEntry) * _capacity);
    VoFree(_entries);
    _entries = grown;
    _capacity = needed;
    return VoStatus(VO_STATUS_OK);
}

VoStatus VoTlsArray::get(int32 slot, void** out)
{
    VoStatus status = reserve(slot);
    if (status.code() != VO_STATUS_OK) {
        wrapUnexpected(status, __LINE__);
        return status;
    }
    if (!_entries[slot].set)
        return VoStatus(VO_STATUS_NO_VALUE);
    if (out != nullptr)
        *out = _entries[slot].value;
    return VoStatus(VO_STATUS_OK);
}

VoStatus VoTlsArray::set(int32 slot, void* value)
{
    VoStatus status = reserve(slot);
    if (status.code() != VO_STATUS_OK) {
        wrapUnexpected(status, __LINE__);
        return status;
    }
    _entries[slot].value = value;
    _entries[slot].set = true;
    return VoStatus(VO_STATUS_OK);
}

// --- VoTlsSlotRegistry

VoTlsSlotRegistry::VoTlsSlotRegistry()
{
    memset(_marks, 0, sizeof _marks);
}

VoTlsSlotRegistry::~VoTlsSlotRegistry()
{
    _mutex.close();
    VoNotifyTeardown(VO_TEARDOWN_SLOT_REGISTRY_MUTEX_CLOSED);
}

int32 VoTlsSlotRegistry::take()
{
    int32 found = -1;
    _mutex.lock();
    for (int32 slot = 0; slot < kVoTlsSlotCount; ++slot) {
        if (_marks[slot] == 0) {
            _marks[slot] = 1;
            found = slot;
            break;
        }
    }
    _mutex.unlock();
    return found;
}

// --- VoTlsContext

VoTlsContext::VoTlsContext()
{
    ensureIndex();
}

VoTlsContext::~VoTlsContext()
{
    releaseIndex();
    VoNotifyTeardown(VO_TEARDOWN_TLS_INDEX_FREED);
}

VoStatus VoTlsContext::ensureIndex()
{
    if (_tlsIdx != -1)
        return VoStatus(VO_STATUS_OK);
    DWORD index = TlsAlloc();
    _tlsIdx = static_cast<int32>(index);
    if (index == TLS_OUT_OF_INDEXES) {
        _tlsIdx = -1;
        return VoStatusFromWin32("TlsAlloc()", static_cast<int32>(GetLastError()));
    }
    if (!TlsSetValue(index, nullptr)) {
        return VoStatusFromWin32("TlsSetValue()", static_cast<int32>(GetLastError()));
    }
    return VoStatus(VO_STATUS_OK);
}

VoStatus VoTlsContext::releaseIndex()
{
    if (_tlsIdx == -1)
        return VoStatus(VO_STATUS_OK);
    DWORD index = static_cast<DWORD>(_tlsIdx);
    // The calling thread's array, if it made one, goes with the index.
    VoTlsArray* array = static_cast<VoTlsArray*>(TlsGetValue(index));
    if (array != nullptr) {
        array->~VoTlsArray();
        VoFree(array);
    }
    TlsSetValue(index, nullptr);
    VoStatus result(VO_STATUS_OK);
    if (!TlsFree(index))
        result = VoStatusFromWin32("TlsFree()", static_cast<int32>(GetLastError()));
    _tlsIdx = -1;
    return result;
}

int32 VoTlsContext::allocateSlot()
{
    if (ensureIndex().code() != VO_STATUS_OK)
        return -1;
    return _registry.take();
}

VoStatus VoTlsContext::getValue(int32 slot, void** out)
{
    if (_tlsIdx == -1 || !VoTlsSlotInRange(slot))
        return refusedSlotAccess(_tlsIdx, slot, __LINE__);
    VoTlsArray* array = static_cast<VoTlsArray*>(TlsGetValue(static_cast<DWORD>(_tlsIdx)));
    if (array == nullptr) {
        return VoStatusFromWin32("TlsGetValue()", static_cast<int32>(GetLastError()));
    }
    VoStatus status = array->get(slot, out);
    if (status.code() == VO_STATUS_OK)
        return VoStatus(VO_STATUS_OK);
    wrapUnexpected(status, __LINE__);
    return status;
}

VoStatus VoTlsContext::setValue(int32 slot, void* value)
{
    if (_tlsIdx == -1 || !VoTlsSlotInRange(slot))
        return refusedSlotAccess(_tlsIdx, slot, __LINE__);
    DWORD index = static_cast<DWORD>(_tlsIdx);
    VoTlsArray* array = static_cast<VoTlsArray*>(TlsGetValue(index));
    if (array == nullptr) {
        void* memory = VoAlloc(sizeof(VoTlsArray));
        if (memory == nullptr)
            return VoStatus(VO_STATUS_NO_MEMORY, "%s", kGrowthFailedText);
        array = new (memory) VoTlsArray();
        if (!TlsSetValue(index, array)) {
            int32 lastError = static_cast<int32>(GetLastError());
            array->~VoTlsArray();
            VoFree(array);
            return VoStatusFromWin32("TlsSetValue()", lastError);
        }
    }
    VoStatus status = array->set(slot, value);
    if (status.code() == VO_STATUS_OK)
        return status;
    wrapUnexpected(status, __LINE__);
    return status;
}
