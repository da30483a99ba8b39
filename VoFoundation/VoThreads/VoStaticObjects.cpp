#include "VoFoundation/VoThreads/VoStaticObjects.h"

#include <new>
#include <stdlib.h>

#include "VoFoundation/VoAllocator.h"
#include "VoFoundation/VoThreads/VoThreadLocalStorage.h"

namespace {

// The context lives in static storage; it is built and destroyed explicitly so that the
// order against the process-wide mutex is fixed by this unit alone.
alignas(VoTlsContext) unsigned char gContextStorage[sizeof(VoTlsContext)];
VoMutex* gProcessMutex = nullptr;

void destroyTlsContext()
{
    VoTlsContext::process()->~VoTlsContext();
}

void teardownProcessMutex()
{
    if (gProcessMutex == nullptr)
        return;
    gProcessMutex->~VoMutex();
    VoFree(gProcessMutex);
    gProcessMutex = nullptr;
    VoNotifyTeardown(VO_TEARDOWN_PROCESS_MUTEX_CLOSED);
}

struct StaticObjects {
    StaticObjects()
    {
        new (gContextStorage) VoTlsContext();
        atexit(destroyTlsContext);
        VoStartProcessMutex();
    }
};

StaticObjects gStaticObjects;

}  // namespace

VoTlsContext* VoTlsContext::process()
{
    return reinterpret_cast<VoTlsContext*>(gContextStorage);
}

VoMutex* VoProcessMutex()
{
    return gProcessMutex;
}

void VoStartProcessMutex()
{
    if (gProcessMutex != nullptr)
        return;
    void* memory = VoAlloc(sizeof(VoMutex));
    if (memory == nullptr)
        return;
    gProcessMutex = new (memory) VoMutex(VoMutex::kReportFailure);
    atexit(teardownProcessMutex);
}
