// Bounded ANSI text operations over the loader's fixed buffers.
// Every function takes the destination's capacity in bytes (terminator included), never
// writes past it, and leaves the destination unchanged when the result would not fit:
// nothing is ever silently cut.
#pragma once
#include <stddef.h>

// Length of a zero-terminated text; a null text counts as empty.
size_t TextLength(const char* text);

// dst := src. False (dst unchanged) when src does not fit.
bool TextCopy(char* dst, size_t capacity, const char* src);

// dst := dst + src. False (dst unchanged) when the result does not fit.
bool TextAppend(char* dst, size_t capacity, const char* src);

// dst := dst + the first count characters of src (fewer if src ends earlier).
bool TextAppendN(char* dst, size_t capacity, const char* src, size_t count);

// dst := a + b. False (dst unchanged) when the result does not fit.
bool TextJoin(char* dst, size_t capacity, const char* a, const char* b);

// The last component of a path: what follows its last backslash, or the whole path.
const char* FileNamePart(const char* path);

template <size_t N>
inline bool TextCopy(char (&dst)[N], const char* src)
{
    return TextCopy(dst, N, src);
}
template <size_t N>
inline bool TextAppend(char (&dst)[N], const char* src)
{
    return TextAppend(dst, N, src);
}
template <size_t N>
inline bool TextJoin(char (&dst)[N], const char* a, const char* b)
{
    return TextJoin(dst, N, a, b);
}
