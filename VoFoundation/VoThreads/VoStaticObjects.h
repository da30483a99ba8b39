// The foundation's static objects, made before the program's entry function in this order:
// the thread-local storage context, then the process-wide mutex. At exit they are torn down
// in reverse: the process-wide mutex is closed, then the TLS index is freed, then the slot
// registry's mutex is closed.
//
// Programs must link the object library vofoundation_statics (not only the static library
// vofoundation) so that this unit is always part of the program.
#pragma once
#include "VoFoundation/VoThreads/VoMutex.h"

// The process-wide mutex; null if it could not be allocated, and after teardown.
VoMutex* VoProcessMutex();

// Creates the process-wide mutex (reporting a failed creation) and registers its teardown,
// unless it already exists.
void VoStartProcessMutex();
