// The few Win32 declarations that the foundation's platform units use, for the native build.
// Only what those units call is here; anything else is meant to fail to compile.
#pragma once
#include <stdint.h>

typedef int BOOL;
typedef unsigned long DWORD;
typedef void* HANDLE;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;

#define FALSE 0
#define TRUE 1
#define INFINITE 0xFFFFFFFFul
#define WAIT_OBJECT_0 0ul
#define WAIT_FAILED 0xFFFFFFFFul
#define TLS_OUT_OF_INDEXES 0xFFFFFFFFul
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

DWORD GetLastError();
void SetLastError(DWORD error);

// Mutexes: recursive and owned by the locking thread, as Win32 mutexes are. Names and
// security attributes are not supported.
HANDLE CreateMutexA(void* attributes, BOOL initialOwner, const char* name);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL ReleaseMutex(HANDLE handle);
// Closes a mutex made by CreateMutexA; any other handle is refused.
BOOL CloseHandle(HANDLE handle);

DWORD TlsAlloc();
BOOL TlsFree(DWORD index);
void* TlsGetValue(DWORD index);
BOOL TlsSetValue(DWORD index, void* value);

// No files exist in the native build: every write is refused.
BOOL WriteFile(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, void* overlapped);
int lstrlenA(const char* text);
