// VoTextBuffer: owning holder of one zero-terminated text, exact-size, no spare capacity.
// Allocation failure is silent: the content stays as it was.
#pragma once
#include "VoFoundation/VoTypes.h"

class VoTextBuffer {
public:
    VoTextBuffer();
    explicit VoTextBuffer(const char* text);  // null or empty: empty buffer
    VoTextBuffer(const VoTextBuffer& other);
    VoTextBuffer& operator=(const VoTextBuffer& other);
    ~VoTextBuffer();

    // Copies exactly length bytes (zero bytes included) and terminates; length < 1 empties.
    VoTextBuffer& assign(const char* bytes, int32 length);
    // False for a null or empty text, or when the allocation fails; the content is then kept.
    bool append(const char* text);
    bool prepend(const char* text);
    // ASCII A to Z become a to z; every other byte stays.
    void toLower();

    const char* c_str() const;  // never null
    bool isEmpty() const { return _size == 0; }
    int32 size() const { return _size; }  // bytes held, terminator included; 0 when empty

private:
    bool _join(const char* front, const char* back);

    char* _data;
    int32 _size;
};

// The lower-cased file name of a source path: the part after its last backslash
// (a forward slash is an ordinary character here).
VoTextBuffer VoSourceFileName(const char* path);
