#include "VoFoundation/VoThreads/VoMutex.h"

#include <windows.h>

#include "VoFoundation/VoFailureReport.h"
#include "VoFoundation/VoSystemCalls.h"

VoMutex::VoMutex() : _mutexImp(VoCalls().createMutexA(nullptr, FALSE, nullptr))
{
}

VoMutex::VoMutex(ReportFailure) : _mutexImp(VoCalls().createMutexA(nullptr, FALSE, nullptr))
{
    if (_mutexImp == nullptr) {
        int32 lastError = static_cast<int32>(GetLastError());
        VoReportFailedCheck("_mutexImp != NULL", "Failed to create VoMutex", __FILE__, __LINE__,
                            lastError);
    }
}

VoMutex::~VoMutex()
{
    close();
}

bool VoMutex::lock()
{
    if (_mutexImp == nullptr)
        return false;
    return WaitForSingleObject(_mutexImp, INFINITE) == WAIT_OBJECT_0;
}

bool VoMutex::unlock()
{
    if (_mutexImp == nullptr)
        return false;
    return ReleaseMutex(_mutexImp) == 1;
}

void VoMutex::close()
{
    if (_mutexImp == nullptr)
        return;
    CloseHandle(_mutexImp);
    _mutexImp = nullptr;
}
