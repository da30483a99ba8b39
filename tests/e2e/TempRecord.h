// Linked into test loaders whose hooks leave a record for the scenario: one line
// "first|second" appended to a file in the loader's TEMP folder.
#pragma once

namespace e2e_hooks {

void AppendToTempRecord(const char* fileName, const char* first, const char* second);

}  // namespace e2e_hooks
