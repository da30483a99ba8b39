// Extraction of the installer that the loader carries as a gzip resource.
#pragma once
#include <stddef.h>

namespace payload {

// Finds the RT_RCDATA resource resourceId in the loader's own module, checks it as one gzip
// member and inflates it into outputPath, a new file (an existing one is left alone and the
// extraction fails: "Could not create temporary file"), then opens the file read-only with
// read sharing only and reads it back through that hold against the member's trailer. Returns 0
// when the file is complete and matches the trailer, or the failure's Win32 error
// (ERROR_INVALID_DATA for damaged data, ERROR_NOT_ENOUGH_MEMORY when working storage is missing)
// after logging the reason and, as a rule, showing the loader's box (loader/CannotStartBox.h);
// quiet suppresses the box when the file cannot be created, written, held or checked. Nothing
// acquired is left held or allocated.
//
// heldFile, when not null, receives on success that hold, so the file cannot be changed before
// it is started; the caller closes it. What is held is what was written. When the hold cannot
// be taken or the file read back differs, the extraction fails and heldFile receives null.
unsigned long ExtractPayloadFile(int resourceId, const char* outputPath, bool quiet,
                                 void** heldFile = nullptr);

// The same, from payload bytes already in memory (what ExtractPayloadFile does once the
// resource is locked).
unsigned long ExtractPayloadData(const unsigned char* data, size_t size, const char* outputPath,
                                 bool quiet, void** heldFile = nullptr);

// The same as ExtractPayloadFile, without the hold, answering 0 or -1; quietIo is quiet when it
// is exactly 1.
inline int ExtractPayload(int resourceId, const char* outputPath, int quietIo)
{
    return ExtractPayloadFile(resourceId, outputPath, quietIo == 1) == 0 ? 0 : -1;
}

}  // namespace payload
