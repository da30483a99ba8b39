// Limits that every layer of the program shares.
#pragma once

// A path in a fixed buffer: the Windows path limit (MAX_PATH), terminator included.
constexpr int kVoPathChars = 260;

// The most that wsprintfA writes, terminator included: the size of a formatted message.
constexpr int kVoFormattedChars = 1024;
