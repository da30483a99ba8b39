#include "rules/BoundedText.h"

#include <string.h>

size_t TextLength(const char* text)
{
    return text ? strlen(text) : 0;
}

bool TextAppendN(char* dst, size_t capacity, const char* src, size_t count)
{
    if (!dst || capacity == 0)
        return false;
    const void* end = memchr(dst, '\0', capacity);
    if (!end)
        return false;  // dst is not terminated within its buffer: refuse rather than guess
    size_t have = (size_t)((const char*)end - dst);
    size_t add = 0;
    while (src && add < count && src[add])
        ++add;
    if (add >= capacity - have)
        return false;
    memcpy(dst + have, src, add);
    dst[have + add] = '\0';
    return true;
}

bool TextAppend(char* dst, size_t capacity, const char* src)
{
    return TextAppendN(dst, capacity, src, (size_t)-1);
}

bool TextCopy(char* dst, size_t capacity, const char* src)
{
    size_t n = TextLength(src);
    if (!dst || n >= capacity)
        return false;
    memcpy(dst, src ? src : "", n);
    dst[n] = '\0';
    return true;
}

bool TextJoin(char* dst, size_t capacity, const char* a, const char* b)
{
    size_t na = TextLength(a), nb = TextLength(b);
    if (!dst || na >= capacity || nb >= capacity - na)
        return false;
    memmove(dst, a ? a : "", na);  // a may be dst itself
    memcpy(dst + na, b ? b : "", nb);
    dst[na + nb] = '\0';
    return true;
}

const char* FileNamePart(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\')
            name = p + 1;
    }
    return name;
}
