// The Win32 calls of windows.h/objbase.h in this folder, on POSIX threads.
#include "windows.h"
#include "objbase.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorNotEnoughMemory = 8;
constexpr DWORD kErrorNotOwner = 288;
constexpr DWORD kErrorNoMoreItems = 259;
constexpr DWORD kMutexTag = 0x4D555458;  // marks a live mutex handle

thread_local DWORD t_lastError = 0;

struct NativeMutex {
    DWORD tag;
    pthread_mutex_t mutex;
};

NativeMutex* asMutex(HANDLE handle)
{
    NativeMutex* m = static_cast<NativeMutex*>(handle);
    if (m == nullptr || handle == INVALID_HANDLE_VALUE || m->tag != kMutexTag)
        return nullptr;
    return m;
}

// TLS indexes map onto pthread keys; a small fixed table is plenty for the foundation.
constexpr DWORD kTlsIndexes = 64;
pthread_key_t g_keys[kTlsIndexes];
bool g_keyUsed[kTlsIndexes];
pthread_mutex_t g_tlsLock = PTHREAD_MUTEX_INITIALIZER;

std::atomic<DWORD> g_nextThreadNumber{1};
thread_local DWORD t_threadNumber = 0;

}  // namespace

DWORD GetLastError()
{
    return t_lastError;
}
void SetLastError(DWORD error)
{
    t_lastError = error;
}

namespace {

// A failed call: its error as the last error, and FALSE.
BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

}  // namespace

HANDLE CreateMutexA(void*, BOOL initialOwner, const char*)
{
    NativeMutex* m = static_cast<NativeMutex*>(malloc(sizeof(NativeMutex)));
    if (m == nullptr) {
        SetLastError(kErrorNotEnoughMemory);
        return nullptr;
    }
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    m->tag = kMutexTag;
    if (initialOwner)
        pthread_mutex_lock(&m->mutex);
    return m;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD)
{
    NativeMutex* m = asMutex(handle);
    if (m != nullptr && pthread_mutex_lock(&m->mutex) == 0)
        return WAIT_OBJECT_0;
    Fail(kErrorInvalidHandle);
    return WAIT_FAILED;
}

BOOL ReleaseMutex(HANDLE handle)
{
    NativeMutex* m = asMutex(handle);
    if (m == nullptr)
        return Fail(kErrorInvalidHandle);
    // EPERM: not the owner.
    return pthread_mutex_unlock(&m->mutex) == 0 ? TRUE : Fail(kErrorNotOwner);
}

BOOL CloseHandle(HANDLE handle)
{
    NativeMutex* m = asMutex(handle);
    if (m == nullptr)
        return Fail(kErrorInvalidHandle);
    m->tag = 0;
    pthread_mutex_destroy(&m->mutex);
    free(m);
    return TRUE;
}

DWORD TlsAlloc()
{
    pthread_mutex_lock(&g_tlsLock);
    DWORD index = TLS_OUT_OF_INDEXES;
    for (DWORD i = 0; i < kTlsIndexes; ++i) {
        if (!g_keyUsed[i] && pthread_key_create(&g_keys[i], nullptr) == 0) {
            g_keyUsed[i] = true;
            index = i;
            break;
        }
    }
    pthread_mutex_unlock(&g_tlsLock);
    if (index == TLS_OUT_OF_INDEXES)
        SetLastError(kErrorNoMoreItems);
    return index;
}

BOOL TlsFree(DWORD index)
{
    pthread_mutex_lock(&g_tlsLock);
    bool used = index < kTlsIndexes && g_keyUsed[index];
    if (used) {
        pthread_key_delete(g_keys[index]);
        g_keyUsed[index] = false;
    }
    pthread_mutex_unlock(&g_tlsLock);
    if (!used)
        SetLastError(kErrorInvalidHandle);
    return used ? TRUE : FALSE;
}

void* TlsGetValue(DWORD index)
{
    if (index >= kTlsIndexes || !g_keyUsed[index]) {
        SetLastError(kErrorInvalidHandle);
        return nullptr;
    }
    SetLastError(0);  // as Win32 does, so a stored null can be told from a failure
    return pthread_getspecific(g_keys[index]);
}

BOOL TlsSetValue(DWORD index, void* value)
{
    if (index >= kTlsIndexes || !g_keyUsed[index] ||
        pthread_setspecific(g_keys[index], value) != 0) {
        SetLastError(kErrorInvalidHandle);
        return FALSE;
    }
    return TRUE;
}

BOOL WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD written, void*)
{
    if (written != nullptr)
        *written = 0;
    SetLastError(kErrorInvalidHandle);
    return FALSE;
}

int lstrlenA(const char* text)
{
    return text != nullptr ? static_cast<int>(strlen(text)) : 0;
}

DWORD CoGetCurrentProcess()
{
    if (t_threadNumber == 0)
        t_threadNumber = g_nextThreadNumber++;
    return t_threadNumber;
}
