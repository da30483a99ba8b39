// The resources of a Windows executable held in memory: reading one, and putting one into a
// copy of the image with its resource section rebuilt, as a linker would have laid it out.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

namespace pe {

constexpr uint16_t kRtRcData = 10;

struct ResourceId {
    uint16_t type;
    uint16_t name;
    uint16_t language;
};

// Writes to out a copy of image that holds every resource of image but those of id's type and
// name (in any language), and data as id. The resource section is rebuilt at its address;
// the sections after it, which may only be base relocations, move up behind it. The section
// headers, the resource and relocation entries of the data directory, SizeOfImage,
// SizeOfInitializedData and the header checksum are brought up to date; every other byte
// before the resource section stays as it was. Refuses, with the reason in error, an image
// that is signed, has data after its last section, has no resource section, or whose
// resource directory is damaged, and a result too large for the image's kind.
bool PutResource(const std::vector<uint8_t>& image, ResourceId id, const uint8_t* data, size_t size,
                 std::vector<uint8_t>& out, std::string& error);

// Finds the data of the resource of type and name in image (its first language). False,
// with the reason in error, when there is none or the resource directory is damaged.
bool FindResource(const std::vector<uint8_t>& image, uint16_t type, uint16_t name,
                  const uint8_t*& data, size_t& size, std::string& error);

}  // namespace pe
