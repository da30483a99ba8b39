// Small PE images for the stamping tool's tests: headers, one section holding a blank-filled
// parameter block, and, on request, a certificate table at the end or damaged fields.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

namespace test {

class PeImageBuilder {
public:
    explicit PeImageBuilder(bool pe32Plus) : _plus(pe32Plus), _image(0x400, 0)
    {
        _image[0] = 'M';
        _image[1] = 'Z';
        put32(0x3C, kPe);
        memcpy(&_image[kPe], "PE\0\0", 4);
        put16(kFileHeader, _plus ? 0x8664 : 0x14C);
        put16(kFileHeader + 2, 1);  // one section
        put16(kFileHeader + 16, optionalSize());
        put16(kOptional, _plus ? 0x20B : 0x10B);
        setDirectoryCount(16);
        size_t section = kOptional + optionalSize();
        memcpy(&_image[section], ".orvapb", 7);
        put32(section + 8, 0x112);   // virtual size: the block and its zero byte
        put32(section + 16, 0x200);  // raw size
        put32(section + 20, 0x200);  // raw offset
        memset(&_image[0x200], ' ', 0x111);
    }

    std::vector<uint8_t> image() const { return _image; }
    size_t size() const { return _image.size(); }

    void appendCertificateTable(uint32_t bytes)
    {
        setSecurityEntry((uint32_t)_image.size(), bytes);
        appendBytes(bytes);
    }
    void appendBytes(size_t bytes) { _image.resize(_image.size() + bytes, 0xC3); }
    void setSecurityEntry(uint32_t offset, uint32_t bytes)
    {
        put32(directories() + 4 * 8, offset);
        put32(directories() + 4 * 8 + 4, bytes);
    }
    void setDirectoryCount(uint32_t count) { put32(kOptional + (_plus ? 108 : 92), count); }
    void setOptionalHeaderSize(uint16_t bytes) { put16(kFileHeader + 16, bytes); }
    void setMagic(uint16_t magic) { put16(kOptional, magic); }
    void setNewHeaderOffset(uint32_t offset) { put32(0x3C, offset); }

private:
    static constexpr size_t kPe = 0x40;
    static constexpr size_t kFileHeader = kPe + 4;
    static constexpr size_t kOptional = kFileHeader + 20;

    uint16_t optionalSize() const { return _plus ? 240 : 224; }
    size_t directories() const { return kOptional + (_plus ? 112 : 96); }
    void put16(size_t at, uint16_t v)
    {
        _image[at] = (uint8_t)v;
        _image[at + 1] = (uint8_t)(v >> 8);
    }
    void put32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            _image[at + i] = (uint8_t)(v >> (8 * i));
    }

    bool _plus;
    std::vector<uint8_t> _image;
};

}  // namespace test
