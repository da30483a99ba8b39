#include "VoFoundation/VoTextBuffer.h"

#include <string.h>

#include "VoFoundation/VoAllocator.h"

namespace {
const char kEmptyText[] = "";
}

VoTextBuffer::VoTextBuffer() : _data(nullptr), _size(0)
{
}

VoTextBuffer::VoTextBuffer(const char* text) : _data(nullptr), _size(0)
{
    if (text != nullptr && text[0] != 0)
        assign(text, static_cast<int32>(strlen(text)));
}

VoTextBuffer::VoTextBuffer(const VoTextBuffer& other) : _data(nullptr), _size(0)
{
    if (other._size > 0)
        assign(other._data, other._size - 1);
}

VoTextBuffer& VoTextBuffer::operator=(const VoTextBuffer& other)
{
    if (this == &other)
        return *this;
    if (other._size > 0) {
        assign(other._data, other._size - 1);
    } else {
        assign(nullptr, 0);
    }
    return *this;
}

VoTextBuffer::~VoTextBuffer()
{
    VoFree(_data);
    _data = nullptr;
    _size = 0;
}

VoTextBuffer& VoTextBuffer::assign(const char* bytes, int32 length)
{
    if (length < 1 || bytes == nullptr) {
        VoFree(_data);
        _data = nullptr;
        _size = 0;
        return *this;
    }
    char* fresh = static_cast<char*>(VoAlloc(static_cast<size_t>(length) + 1));
    if (fresh == nullptr)
        return *this;
    memcpy(fresh, bytes, static_cast<size_t>(length));
    fresh[length] = 0;
    VoFree(_data);
    _data = fresh;
    _size = length + 1;
    return *this;
}

bool VoTextBuffer::_join(const char* front, const char* back)
{
    size_t frontLength = strlen(front);
    size_t backLength = strlen(back);
    size_t total = frontLength + backLength;
    if (total >= 0x7FFFFFFF)
        return false;
    char* fresh = static_cast<char*>(VoAlloc(total + 1));
    if (fresh == nullptr)
        return false;
    memcpy(fresh, front, frontLength);
    memcpy(fresh + frontLength, back, backLength);
    fresh[total] = 0;
    VoFree(_data);
    _data = fresh;
    _size = static_cast<int32>(total) + 1;
    return true;
}

bool VoTextBuffer::append(const char* text)
{
    if (text == nullptr || text[0] == 0)
        return false;
    return _join(c_str(), text);
}

bool VoTextBuffer::prepend(const char* text)
{
    if (text == nullptr || text[0] == 0)
        return false;
    return _join(text, c_str());
}

void VoTextBuffer::toLower()
{
    if (_data == nullptr)
        return;
    for (char* p = _data; *p != 0; ++p) {
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p - 'A' + 'a');
    }
}

const char* VoTextBuffer::c_str() const
{
    return _data != nullptr ? _data : kEmptyText;
}

VoTextBuffer VoSourceFileName(const char* path)
{
    VoTextBuffer name(path);
    if (path != nullptr) {
        const char* slash = strrchr(path, '\\');
        if (slash != nullptr)
            name.assign(slash + 1, static_cast<int32>(strlen(slash + 1)));
    }
    name.toLower();
    return name;
}
