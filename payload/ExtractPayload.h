// Extraction of the installer that the loader carries as a gzip resource, and the loader's one
// message box.
#pragma once
#include <stddef.h>

struct HWND__;
struct _OVERLAPPED;

// Finds the RT_RCDATA resource resourceId in the loader's own module, checks it as one gzip
// member and inflates it into outputPath (an existing file is replaced). Returns 0 when the
// file is complete and matches the member's trailer, -1 on any failure, after logging the
// reason and, as a rule, showing ShowCannotStartBox. quietIo exactly 1 suppresses the box when
// the file cannot be created or written. Nothing acquired is left held or allocated.
//
// heldFile, when not null, receives on success a handle to the finished file opened read-only
// with read sharing only, so the file cannot be changed before it is started; the caller
// closes it. It receives null on failure, or if that handle cannot be opened.
int ExtractPayload(int resourceId, const char* outputPath, int quietIo, void** heldFile = nullptr);

// The same, from payload bytes already in memory (what ExtractPayload does once the resource
// is locked).
int ExtractPayloadData(const unsigned char* data, size_t size, const char* outputPath,
                       int quietIo, void** heldFile = nullptr);

// Tells the user that the installer cannot be started; the reason goes to the loader log only.
// Blocks until the box is closed.
void ShowCannotStartBox();

namespace payload {

// The box is shown through this pointer (MessageBoxA unless a test replaces it).
using MessageBoxFunction = int(__stdcall*)(HWND__* owner, const char* text, const char* caption,
                                           unsigned style);
extern MessageBoxFunction g_showMessageBox;

// The output file is written through this pointer (WriteFile unless a test replaces it).
using WriteFileFunction = int(__stdcall*)(void* file, const void* data, unsigned long size,
                                          unsigned long* written, _OVERLAPPED* overlapped);
extern WriteFileFunction g_writeFile;

}  // namespace payload
