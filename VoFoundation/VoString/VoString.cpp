#include "VoFoundation/VoString/VoString.h"

#include <stdint.h>
#include <string.h>

#include "VoFoundation/VoAllocator.h"
#include "VoFoundation/VoFailureReport.h"

namespace {

const char kLockedFormat[] = "VoString was locked in %s";
const char kNullPointerFormat[] = "NULL pointer in %s";
const char kBoundsFormat[] = "Bounds check failed in %s";
const char kNoMemoryFormat[] = "Memory allocation failed in %s";

// A failure of this class: the format filled with "unknown(), <file>:<line>".
VoStatus failure(int32 code, const char* format, int32 line)
{
    VoTextBuffer file = VoSourceFileName(VoBaseName(__FILE__));
    VoTextBuffer where = VoLocationText(kVoLocationDetails ? "unknown()" : "*****", file.c_str(),
                                        kVoLocationDetails ? line : 0);
    return VoStatus(code, format, where.c_str());
}

#define VO_STRING_FAILURE(code, format) failure(code, format, __LINE__)

constexpr int32 kMaxLength = 0x7FFFFFFE;  // length + 1 must stay an int32

int32 prefixLength(const char* text, int32 maxLength)
{
    if (maxLength < 0) {
        size_t length = strlen(text);
        return length > static_cast<size_t>(kMaxLength) ? kMaxLength : static_cast<int32>(length);
    }
    const void* end = memchr(text, 0, static_cast<size_t>(maxLength));
    return end != nullptr ? static_cast<int32>(static_cast<const char*>(end) - text) : maxLength;
}

bool inSet(char c, const char* set, int32 setLength)
{
    return c != 0 && memchr(set, c, static_cast<size_t>(setLength)) != nullptr;
}

}  // namespace

// --- construction

VoString::VoString() : _data(nullptr), _capacity(0), _length(0), _lengthValid(false), _locked(false)
{
    VoStatus status = _resize(0, 0);
    if (!status.isOk())
        status.report("Failure in default VoString constructor");
}

VoString::VoString(const char* text, int32 maxLength)
    : _data(nullptr), _capacity(0), _length(0), _lengthValid(false), _locked(false)
{
    VoStatus status = text == nullptr ? _resize(0, 0) : assign(text, maxLength);
    if (!status.isOk())
        status.report("Failure in VString(char*) constructor");
}

VoString::VoString(const VoString& other, int32 maxLength)
    : _data(nullptr), _capacity(0), _length(0), _lengthValid(false), _locked(false)
{
    VoStatus status = assign(other._textOrEmpty(), maxLength);
    if (!status.isOk())
        status.report("Failure in VoString(VoString&) constructor");
}

VoString::VoString(char fill, int32 count)
    : _data(nullptr), _capacity(0), _length(0), _lengthValid(false), _locked(false)
{
    VoStatus status = _resize(fill, count < 0 ? 0 : count);
    if (!status.isOk())
        status.report("Failure in VoString(char, int32) constructor");
}

VoString::~VoString()
{
    VoFree(_data);
    _data = nullptr;
    _capacity = 0;
    _length = 0;
    _lengthValid = false;
    _locked = false;
}

// --- operators

VoString& VoString::operator=(const VoString& other)
{
    if (this == &other)
        return *this;
    VoStatus status = assign(other._textOrEmpty());
    if (!status.isOk())
        status.report("Failure in VoString = operator");
    return *this;
}

VoString& VoString::operator=(const char* text)
{
    VoStatus status = assign(text);
    if (!status.isOk())
        status.report("Failure in VoString = operator");
    return *this;
}

VoString& VoString::operator+=(const VoString& other)
{
    VoStatus status = append(other._textOrEmpty());
    if (!status.isOk())
        status.report("Failure in VoString += operator");
    return *this;
}

VoString& VoString::operator+=(const char* text)
{
    VoStatus status = append(text);
    if (!status.isOk())
        status.report("Failure in VoString += operator");
    return *this;
}

VoString operator+(const VoString& left, const VoString& right)
{
    VoString result(left);
    result += right;
    return result;
}

VoString operator+(const VoString& left, const char* right)
{
    VoString result(left);
    result += right;
    return result;
}

// --- edits

VoStatus VoString::assign(const char* text, int32 maxLength)
{
    return _insert(text, -1, maxLength);
}

VoStatus VoString::append(const char* text, int32 maxLength)
{
    return _insert(text, length(), maxLength);
}

bool VoString::_overlaps(const char* text, int32 length) const
{
    if (_data == nullptr)
        return false;
    uintptr_t first = reinterpret_cast<uintptr_t>(text);
    uintptr_t last = first + static_cast<uintptr_t>(length);  // the terminator's place
    uintptr_t begin = reinterpret_cast<uintptr_t>(_data);
    uintptr_t end = begin + static_cast<uintptr_t>(_capacity);
    return first < end && last >= begin;
}

VoString::EditText::~EditText()
{
    VoFree(copy);
}

// Measures the text and, when it lies inside this string's own array, works from a copy so
// that moving the array's bytes cannot change it.
VoStatus VoString::_prepare(const char* text, int32 maxLength, EditText& edit) const
{
    edit.length = prefixLength(text, maxLength);
    edit.source = text;
    if (!_overlaps(text, edit.length))
        return VoStatus(VO_STATUS_OK);
    edit.copy = static_cast<char*>(VoAlloc(static_cast<size_t>(edit.length) + 1));
    if (edit.copy == nullptr)
        return VO_STRING_FAILURE(VO_STATUS_NO_MEMORY, kNoMemoryFormat);
    memcpy(edit.copy, text, static_cast<size_t>(edit.length));
    edit.copy[edit.length] = 0;
    edit.source = edit.copy;
    return VoStatus(VO_STATUS_OK);
}

VoStatus VoString::_beginEdit(const char* text, EditText& edit) const
{
    if (_locked)
        return VO_STRING_FAILURE(VO_STATUS_ACCESS_DENIED, kLockedFormat);
    if (text == nullptr)
        return VO_STRING_FAILURE(VO_STATUS_NULL_POINTER, kNullPointerFormat);
    return _prepare(text, -1, edit);
}

VoStatus VoString::_insert(const char* text, int32 position, int32 maxLength)
{
    if (_locked)
        return VO_STRING_FAILURE(VO_STATUS_ACCESS_DENIED, kLockedFormat);
    if (text == nullptr)
        return VO_STRING_FAILURE(VO_STATUS_NULL_POINTER, kNullPointerFormat);
    bool replace = position == -1;
    if (replace || _data == nullptr) {
        position = 0;
    } else if (position < 0 || position > length()) {
        return VO_STRING_FAILURE(VO_STATUS_OUT_OF_BOUNDS, kBoundsFormat);
    }

    EditText edit;
    VoStatus prepared = _prepare(text, maxLength, edit);
    if (!prepared.isOk())
        return prepared;
    const int32 textLength = edit.length;
    const char* source = edit.source;

    int32 kept = replace ? 0 : length();
    if (static_cast<int64_t>(textLength) + kept > kMaxLength)
        return VO_STRING_FAILURE(VO_STATUS_NO_MEMORY, kNoMemoryFormat);
    int32 newLength = textLength + kept;
    if (_data != nullptr && newLength < _capacity) {
        if (position != kept)
            memmove(_data + position + textLength, _data + position, kept - position);
        memcpy(_data + position, source, static_cast<size_t>(textLength));
        _data[newLength] = 0;
    } else {
        char* fresh = static_cast<char*>(VoAlloc(static_cast<size_t>(newLength) + 1));
        if (fresh == nullptr)
            return VO_STRING_FAILURE(VO_STATUS_NO_MEMORY, kNoMemoryFormat);
        if (position > 0)
            memcpy(fresh, _data, static_cast<size_t>(position));
        memcpy(fresh + position, source, static_cast<size_t>(textLength));
        if (kept > position)
            memcpy(fresh + position + textLength, _data + position, kept - position);
        fresh[newLength] = 0;
        VoFree(_data);
        _data = fresh;
        _capacity = newLength + 1;
    }
    _length = newLength;
    _lengthValid = true;
    return VoStatus(VO_STATUS_OK);
}

VoStatus VoString::_resize(char fill, int32 size)
{
    if (_locked)
        return VO_STRING_FAILURE(VO_STATUS_ACCESS_DENIED, kLockedFormat);
    int32 current = length();
    if (size < 0)
        size = current;
    if (size > kMaxLength)
        return VO_STRING_FAILURE(VO_STATUS_NO_MEMORY, kNoMemoryFormat);
    char* fresh = static_cast<char*>(VoAlloc(static_cast<size_t>(size) + 1));
    if (fresh == nullptr)
        return VO_STRING_FAILURE(VO_STATUS_NO_MEMORY, kNoMemoryFormat);
    int32 copied = current < size ? current : size;
    if (copied > 0)
        memcpy(fresh, _data, static_cast<size_t>(copied));
    memset(fresh + copied, fill, static_cast<size_t>(size - copied));
    fresh[size] = 0;
    VoFree(_data);
    _data = fresh;
    _capacity = size + 1;
    _length = fill != 0 ? size : copied;
    _lengthValid = true;
    return VoStatus(VO_STATUS_OK);
}

VoStatus VoString::_remove0(int32 position, int32 count, const char* text)
{
    EditText edit;
    VoStatus prepared = _beginEdit(text, edit);
    if (!prepared.isOk())
        return prepared;

    int32 currentLength = length();
    if (currentLength == 0 || count == 0)
        return VoStatus(VO_STATUS_OK);
    if (position < 0 || position >= currentLength)
        return VO_STRING_FAILURE(VO_STATUS_OUT_OF_BOUNDS, kBoundsFormat);
    if (count < 0 || count > currentLength - position)
        count = currentLength - position;
    memmove(_data + position, _data + position + count,
            static_cast<size_t>(_capacity - (position + count)));
    _length = currentLength - count;
    _lengthValid = true;

    VoStatus status(VO_STATUS_OK);
    if (edit.length > 0) {
        status = _insert(edit.source, position);
        if (!status.isOk())
            status.addContext("Unexpected error in VoString::_remove0()");
    }
    return status;
}

VoStatus VoString::_trim(const char* set, int32 mode)
{
    EditText edit;
    VoStatus prepared = _beginEdit(set, edit);
    if (!prepared.isOk())
        return prepared;
    const char* chars = edit.source;
    const int32 setLength = edit.length;

    VoStatus status(VO_STATUS_OK);
    int32 currentLength = length();
    if (currentLength > 0) {
        if (mode == 0) {
            for (;;) {
                int32 found = -1;
                int32 n = length();
                for (int32 i = 0; i < n; ++i) {
                    if (inSet(_data[i], chars, setLength)) {
                        found = i;
                        break;
                    }
                }
                if (found < 0)
                    break;
                status = _remove0(found, 1, "");
                if (!status.isOk() || _data == nullptr)
                    break;
            }
        } else if (mode == 1) {
            int32 count = 0;
            while (count < currentLength && inSet(_data[count], chars, setLength))
                ++count;
            if (count > 0)
                status = _remove0(0, count, "");
        } else if (mode == 2) {
            int32 first = currentLength;
            while (first > 0 && inSet(_data[first - 1], chars, setLength))
                --first;
            if (first < currentLength)
                status = _remove0(first, -1, "");
        }
        if (!status.isOk())
            status.addContext("Unexpected error in _trim()");
    }
    return status;
}

VoStatus VoString::trimRight()
{
    static const char kTrimRightSet[] = " \n\r\t";
    return _trim(kTrimRightSet, 2);
}

VoStatus VoString::setCharAt(char c, int32 position)
{
    if (position < 0 || position >= length()) {
        return VO_STRING_FAILURE(VO_STATUS_OUT_OF_BOUNDS, kBoundsFormat);
    }
    _data[position] = c;
    if (c == 0) {
        _length = position;
        _lengthValid = true;
    }
    return VoStatus(VO_STATUS_OK);
}

// --- queries

int32 VoString::length() const
{
    if (_lengthValid)
        return _length;
    if (_data == nullptr)
        return 0;
    _length = static_cast<int32>(strlen(_data));
    _lengthValid = true;
    return _length;
}

char VoString::charAt(int32 position) const
{
    if (_data == nullptr || position < 0 || position > length())
        return 0;
    return _data[position];
}

int32 VoString::compare(const char* text, int32 prefixLength) const
{
    const char* other = text != nullptr ? text : "";
    int32 ownLength = length();
    int32 otherLength = static_cast<int32>(strlen(other));
    int32 limit = ownLength > otherLength ? ownLength : otherLength;
    if (prefixLength >= 0 && prefixLength < limit)
        limit = prefixLength;
    return strncmp(_textOrEmpty(), other, static_cast<size_t>(limit));
}

int32 VoString::find(const char* text, int32 start) const
{
    int32 ownLength = length();
    if (ownLength == 0 || text == nullptr)
        return -1;
    int32 textLength = static_cast<int32>(strlen(text));
    if (start < 0 || start > ownLength || start + textLength > ownLength)
        return -1;
    for (int32 p = start; p + textLength <= ownLength; ++p) {
        if (_data[p] == text[0] && memcmp(_data + p, text, static_cast<size_t>(textLength)) == 0) {
            return p;
        }
    }
    return -1;
}

int32 VoString::findLastOf(const char* set, int32 skip) const
{
    int32 ownLength = length();
    if (ownLength == 0 || set == nullptr)
        return -1;
    if (skip < 0 || skip >= ownLength)
        return -1;
    for (int32 p = ownLength - 1 - skip; p >= 0; --p) {
        if (strchr(set, _data[p]) != nullptr)
            return p;
    }
    return -1;
}

VoString VoString::substr(int32 start, int32 count) const
{
    VoString result;
    int32 ownLength = length();
    bool validStart = start >= 0 && start <= ownLength;
    if (validStart && count == -1) {
        VoStatus status = result.assign(_textOrEmpty() + start);
        if (!status.isOk())
            status.report("Unexpected error in VoString::substr(int32)");
    } else if (validStart && count >= 0) {
        if (count > ownLength - start)
            count = ownLength - start;
        if (count > 0) {
            VoStatus status = result.assign(_data + start, count);
            if (!status.isOk())
                status.report("Unexpected error in VoString::substr(int32, int32)");
        }
    }
    return result;
}

VoString VoString::left(int32 count) const
{
    if (count < 0)
        return VoString();
    return substr(0, count);
}
