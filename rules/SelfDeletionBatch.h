// The text of the batch file that deletes the loader's file once the loader has ended.
// Platform-free.
#pragma once
#include <stddef.h>

namespace loader {

constexpr size_t kBatchTextChars = 1024;     // the batch text buffer, terminator included
constexpr char kSelfDeletionTries[] = "60";  // about a minute: one try per second

// Fills text with the batch: it tries to delete modulePath, waits about a second between
// tries (through the ping program at pingPath), gives up after kSelfDeletionTries, and then
// deletes itself (batchPath) on its last line, which also ends the interpreter: the interpreter
// reads a batch line by line, reopening it by name, and reads nothing after that line, whatever may
// be at the batch's name then. Every path stands in double quotes and has each "%" doubled, since
// the command interpreter expands "%" in a batch file.
// False (text empty) when the batch would not fit the capacity.
bool ComposeSelfDeletionBatch(char* text, size_t capacity, const char* modulePath,
                              const char* batchPath, const char* pingPath);

// dst := dst + path with every "%" doubled. False (dst unchanged) when it would not fit.
bool AppendBatchPath(char* dst, size_t capacity, const char* path);

}  // namespace loader
