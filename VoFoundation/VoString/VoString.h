// VoString: one owned, zero-terminated character array with a cached length and a recorded
// capacity. Edits return a VoStatus; constructors and operators report a failed edit to the
// trace log and leave the object in a defined state. Growth is exact: the array is replaced
// only when the result does not fit, and then by one of exactly the needed size.
// A maximum length of -1 (any negative value) means the whole text.
#pragma once
#include "VoFoundation/VoStatus.h"
#include "VoFoundation/VoTypes.h"

class VoString {
public:
    VoString();
    VoString(const char* text, int32 maxLength = -1);
    VoString(const VoString& other, int32 maxLength = -1);
    VoString(char fill, int32 count);
    ~VoString();

    VoString& operator=(const VoString& other);
    VoString& operator=(const char* text);
    VoString& operator+=(const VoString& other);
    VoString& operator+=(const char* text);

    VoStatus assign(const char* text, int32 maxLength = -1);
    VoStatus append(const char* text, int32 maxLength = -1);
    // Inserts before the character at position; position -1 replaces the whole content.
    VoStatus _insert(const char* text, int32 position, int32 maxLength = -1);
    // Rebuilds the array for size characters (negative: the current length), filling new
    // room with fill; fill 0 leaves the length at the characters kept.
    VoStatus _resize(char fill, int32 size);
    // Removes count characters at position (negative: to the end), then inserts text there.
    VoStatus _remove0(int32 position, int32 count, const char* text);
    // Removes characters of the set: mode 0 everywhere, 1 at the start, 2 at the end.
    VoStatus _trim(const char* set, int32 mode);
    VoStatus trimRight();
    // Overwrites one character; the zero character truncates there.
    VoStatus setCharAt(char c, int32 position);

    int32 length() const;
    const char* c_str() const { return _data; }
    int32 capacity() const { return _capacity; }
    char charAt(int32 position) const;
    // As strncmp over the longer of both lengths, or over prefixLength (>= 0) characters.
    int32 compare(const char* text, int32 prefixLength = -1) const;
    int32 find(const char* text, int32 start = 0) const;
    int32 findLastOf(const char* set, int32 skip = 0) const;
    VoString substr(int32 start, int32 count = -1) const;
    VoString left(int32 count) const;

private:
    // A caller's text as an edit reads it: its length, and where to read it from, which is a
    // copy (freed with the EditText) when the text lay inside this string's own array.
    struct EditText {
        EditText() = default;
        EditText(const EditText&) = delete;
        EditText& operator=(const EditText&) = delete;
        ~EditText();
        int32 length = 0;
        const char* source = nullptr;
        char* copy = nullptr;
    };
    VoStatus _prepare(const char* text, int32 maxLength, EditText& edit) const;
    // The start of an edit that takes a whole text: refuses a locked string and a null text,
    // then prepares the text as _prepare does.
    VoStatus _beginEdit(const char* text, EditText& edit) const;
    bool _overlaps(const char* text, int32 length) const;
    const char* _textOrEmpty() const { return _data != nullptr ? _data : ""; }

    char* _data;
    int32 _capacity;
    mutable int32 _length;
    mutable bool _lengthValid;
    bool _locked;
};

VoString operator+(const VoString& left, const VoString& right);
VoString operator+(const VoString& left, const char* right);
