#include "PeResources.h"

#include "PeBytes.h"
#include "PeSection.h"
#include "PeSignature.h"

#include <string.h>

#include <algorithm>
#include <map>

namespace pe {

namespace {

constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kInitialisedData = 0x40;
// The address space a 32-bit program can count on: an image must end below it to load.
constexpr uint64_t kPe32AddressLimit = 0x80000000;

// Optional header fields at the same place in both formats.
constexpr size_t kInitialisedDataField = 8;
constexpr size_t kSectionAlignmentField = 32;
constexpr size_t kFileAlignmentField = 36;
constexpr size_t kSizeOfImageField = 56;

// The resource directory: three levels of tables (type, name, language) above data entries.
constexpr int kLevels = 3;
constexpr size_t kTableHeaderSize = 16;
constexpr size_t kTableEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr size_t kTableFieldsKept = 12;    // characteristics, time stamp, version
constexpr uint32_t kHighBit = 0x80000000;  // a named entry, or an entry naming a subtable
constexpr size_t kDataAlignment = 8;

struct Section {
    size_t header;
    char name[9];
    uint32_t virtualSize, address, rawSize, rawOffset, flags;
    uint64_t extent() const { return virtualSize ? virtualSize : rawSize; }
};

struct Image {
    size_t optional = 0;
    size_t directories = 0;
    uint32_t directoryCount = 0;
    bool pe32 = false;
    uint64_t imageBase = 0;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    std::vector<Section> sections;
    size_t resourceSection = 0;  // index into sections
};

bool Fail(std::string& error, const std::string& reason)
{
    error = reason;
    return false;
}

bool PowerOfTwo(uint32_t value)
{
    return value && (value & (value - 1)) == 0;
}

uint64_t AlignUp(uint64_t value, uint64_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

bool ReadImage(const std::vector<uint8_t>& image, Image& pe, std::string& error)
{
    PeHeaders headers;
    if (!LocatePeHeaders(image, headers, error))
        return false;
    pe.optional = headers.optionalHeader;
    uint32_t magic = 0;
    ReadLe16(image, pe.optional, magic);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus)
        return Fail(error, "damaged executable (unknown optional header)");
    pe.pe32 = magic == kMagicPe32;
    size_t directories = pe.pe32 ? 96 : 112;
    pe.directories = pe.optional + directories;
    uint32_t low = 0, high = 0;
    if (headers.optionalSize < directories ||
        headers.optionalHeader + headers.optionalSize > image.size() ||
        !ReadLe32(image, pe.optional + (pe.pe32 ? 92 : 108), pe.directoryCount))
        return Fail(error, "damaged executable (optional header cut short)");
    pe.directoryCount = std::min<uint32_t>(pe.directoryCount, (headers.optionalSize - directories) /
                                                                  kDirectoryEntrySize);
    ReadLe32(image, pe.optional + (pe.pe32 ? 28 : 24), low);
    if (!pe.pe32)
        ReadLe32(image, pe.optional + 28, high);
    pe.imageBase = uint64_t(high) << 32 | low;
    ReadLe32(image, pe.optional + kSectionAlignmentField, pe.sectionAlignment);
    ReadLe32(image, pe.optional + kFileAlignmentField, pe.fileAlignment);
    if (!PowerOfTwo(pe.sectionAlignment) || !PowerOfTwo(pe.fileAlignment))
        return Fail(error, "damaged executable (its alignments are not powers of two)");

    size_t table = headers.optionalHeader + headers.optionalSize;
    if (table + size_t(headers.sectionCount) * kSectionHeaderSize > image.size())
        return Fail(error, "damaged executable (section table runs past the end of the file)");
    for (uint32_t i = 0; i < headers.sectionCount; ++i) {
        Section s{};
        s.header = table + i * kSectionHeaderSize;
        memcpy(s.name, &image[s.header], 8);
        ReadLe32(image, s.header + 8, s.virtualSize);
        ReadLe32(image, s.header + 12, s.address);
        ReadLe32(image, s.header + 16, s.rawSize);
        ReadLe32(image, s.header + 20, s.rawOffset);
        ReadLe32(image, s.header + 36, s.flags);
        if (s.rawSize && s.rawOffset % pe.fileAlignment)
            return Fail(error, std::string("damaged executable (section ") + s.name +
                                   " is not on the file alignment)");
        if (s.rawOffset > image.size() || image.size() - s.rawOffset < s.rawSize)
            return Fail(error, std::string("damaged executable (section ") + s.name +
                                   " runs past the end of the file)");
        // Inside the 4 GiB of addresses (so that no address comparison below wraps), in address
        // order, and none reaching into the next: a section the rebuilt image moves
        // must not be one that another one's addresses also name.
        if (uint64_t(s.address) + s.extent() > UINT32_MAX ||
            (!pe.sections.empty() &&
             s.address < pe.sections.back().address + pe.sections.back().extent()))
            return Fail(error,
                        "damaged executable (sections out of order, overlapping or past 4 GiB)");
        pe.sections.push_back(s);
    }

    uint32_t address = 0;
    if (pe.directoryCount > kResourceDirectory)
        ReadLe32(image, pe.directories + kResourceDirectory * kDirectoryEntrySize, address);
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        if (address != 0 && pe.sections[i].address == address) {
            pe.resourceSection = i;
            return true;
        }
    }
    return Fail(error, "it has no resource section");
}

struct Node {
    bool named = false;
    uint32_t id = 0;
    std::vector<uint16_t> name;
    uint8_t fields[kTableFieldsKept] = {};  // of a table, as found
    std::vector<Node> children;             // of a table
    const uint8_t* data = nullptr;          // of a data entry
    size_t size = 0;
    uint32_t codePage = 0;
};

// Reads the resource tree of a section, every offset and size checked against it. Each entry
// takes 8 bytes of the section, so no more entries than that are read, however the tables
// point at each other.
class TreeReader {
public:
    TreeReader(const std::vector<uint8_t>& image, const Section& section)
        : _image(image), _start(section.rawOffset),
          _span(std::min<uint64_t>(section.rawSize, section.extent())), _address(section.address),
          _entriesLeft(_span / kTableEntrySize)
    {
    }

    bool Table(size_t offset, int level, Node& table, std::string& error)
    {
        uint32_t named = 0, ids = 0;
        if (!Fits(offset, kTableHeaderSize))
            return Damaged(error);
        ReadLe16(_image, _start + offset + 12, named);
        ReadLe16(_image, _start + offset + 14, ids);
        const size_t count = named + ids;
        if (count > _entriesLeft || !Fits(offset + kTableHeaderSize, count * kTableEntrySize))
            return Damaged(error);
        _entriesLeft -= count;
        memcpy(table.fields, &_image[_start + offset], kTableFieldsKept);
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = _start + offset + kTableHeaderSize + i * kTableEntrySize;
            uint32_t name = 0, target = 0;
            ReadLe32(_image, entry, name);
            ReadLe32(_image, entry + 4, target);
            Node child;
            child.named = (name & kHighBit) != 0;
            child.id = name;
            if ((child.named && !Name(name & ~kHighBit, child.name)) ||
                (!child.named && name > 0xFFFF))
                return Damaged(error);
            const bool subtable = (target & kHighBit) != 0;
            if (subtable != (level + 1 < kLevels))
                return Damaged(error);
            if (!(subtable ? Table(target & ~kHighBit, level + 1, child, error)
                           : Data(target, child, error)))
                return false;
            table.children.push_back(std::move(child));
        }
        return true;
    }

private:
    bool Fits(uint64_t offset, uint64_t bytes) const
    {
        return offset <= _span && _span - offset >= bytes;
    }

    static bool Damaged(std::string& error)
    {
        return Fail(error, "damaged executable (its resource directory points outside it)");
    }

    bool Name(size_t offset, std::vector<uint16_t>& name) const
    {
        uint32_t length = 0, unit = 0;
        if (!Fits(offset, 2) || !ReadLe16(_image, _start + offset, length) ||
            !Fits(offset + 2, 2 * uint64_t(length)))
            return false;
        for (uint32_t i = 0; i < length; ++i) {
            ReadLe16(_image, _start + offset + 2 + 2 * i, unit);
            name.push_back(uint16_t(unit));
        }
        return true;
    }

    bool Data(size_t offset, Node& leaf, std::string& error) const
    {
        uint32_t address = 0, size = 0;
        if (!Fits(offset, kDataEntrySize))
            return Damaged(error);
        ReadLe32(_image, _start + offset, address);
        ReadLe32(_image, _start + offset + 4, size);
        ReadLe32(_image, _start + offset + 8, leaf.codePage);
        if (address < _address || !Fits(address - _address, size))
            return Fail(error, "damaged executable (resource data outside the resource section)");
        leaf.data = _image.data() + _start + (address - _address);
        leaf.size = size;
        return true;
    }

    const std::vector<uint8_t>& _image;
    size_t _start;
    uint64_t _span;
    uint32_t _address;
    size_t _entriesLeft;
};

bool ReadTree(const std::vector<uint8_t>& image, const Image& pe, Node& root, std::string& error)
{
    return TreeReader(image, pe.sections[pe.resourceSection]).Table(0, 0, root, error);
}

Node* Child(Node& table, uint32_t id)
{
    for (Node& child : table.children) {
        if (!child.named && child.id == id)
            return &child;
    }
    return nullptr;
}

// The order the system's lookup expects: named entries first (kept in their order), then
// numbered ones in ascending order.
void SortEntries(Node& table)
{
    std::stable_sort(table.children.begin(), table.children.end(),
                     [](const Node& a, const Node& b) {
                         if (a.named || b.named)
                             return a.named && !b.named;
                         return a.id < b.id;
                     });
    for (Node& child : table.children)
        SortEntries(child);
}

// Lays the tree out as linkers do: the tables level by level, the data entries, the names,
// then the data, each on an 8-byte boundary. Addresses in the data entries are relative to
// the image, the section starting at address.
bool WriteTree(const Node& root, uint64_t address, std::vector<uint8_t>& out, std::string& error)
{
    std::vector<std::pair<const Node*, int>> tables = {{&root, 0}};
    for (size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].second + 1 < kLevels) {
            for (const Node& child : tables[i].first->children)
                tables.push_back({&child, tables[i].second + 1});
        }
    }
    std::map<const Node*, uint64_t> tableAt, entryAt, nameAt, dataAt;
    std::vector<const Node*> leaves, named;
    uint64_t at = 0;
    for (const auto& [table, level] : tables) {
        tableAt[table] = at;
        at += kTableHeaderSize + kTableEntrySize * table->children.size();
        for (const Node& child : table->children) {
            if (level + 1 == kLevels)
                leaves.push_back(&child);
            if (child.named)
                named.push_back(&child);
        }
    }
    for (const Node* leaf : leaves) {
        entryAt[leaf] = at;
        at += kDataEntrySize;
    }
    for (const Node* node : named) {
        nameAt[node] = at;
        at += 2 + 2 * node->name.size();
    }
    for (const Node* leaf : leaves) {
        at = AlignUp(at, kDataAlignment);
        dataAt[leaf] = at;
        at += leaf->size;
    }
    if (address + at > UINT32_MAX)
        return Fail(error, "the resources would not fit the image's 32-bit addresses");

    out.assign(at, 0);
    auto put16 = [&](uint64_t offset, uint32_t value) {
        out[offset] = uint8_t(value);
        out[offset + 1] = uint8_t(value >> 8);
    };
    for (const auto& [table, level] : tables) {
        const uint64_t offset = tableAt[table];
        memcpy(&out[offset], table->fields, kTableFieldsKept);
        const size_t namedCount = std::count_if(table->children.begin(), table->children.end(),
                                                [](const Node& n) { return n.named; });
        put16(offset + 12, uint32_t(namedCount));
        put16(offset + 14, uint32_t(table->children.size() - namedCount));
        uint64_t entry = offset + kTableHeaderSize;
        for (const Node& child : table->children) {
            WriteLe32(out, entry, child.named ? kHighBit | uint32_t(nameAt[&child]) : child.id);
            WriteLe32(out, entry + 4,
                      level + 1 < kLevels ? kHighBit | uint32_t(tableAt[&child])
                                          : uint32_t(entryAt[&child]));
            entry += kTableEntrySize;
        }
    }
    for (const Node* leaf : leaves) {
        WriteLe32(out, entryAt[leaf], uint32_t(address + dataAt[leaf]));
        WriteLe32(out, entryAt[leaf] + 4, uint32_t(leaf->size));
        WriteLe32(out, entryAt[leaf] + 8, leaf->codePage);
        if (leaf->size)
            memcpy(&out[dataAt[leaf]], leaf->data, leaf->size);
    }
    for (const Node* node : named) {
        put16(nameAt[node], uint32_t(node->name.size()));
        for (size_t i = 0; i < node->name.size(); ++i)
            put16(nameAt[node] + 2 + 2 * i, node->name[i]);
    }
    return true;
}

}  // namespace

bool PutResource(const std::vector<uint8_t>& image, ResourceId id, const uint8_t* data, size_t size,
                 std::vector<uint8_t>& out, std::string& error)
{
    Image pe;
    CertificateTable signature;
    if (!ReadImage(image, pe, error) || !FindCertificateTable(image, signature, error))
        return false;
    if (signature.present)
        return Fail(error, "it is signed, and its signature would not hold: use it unsigned");
    // What is rebuilt or moved must be the end of the file, the headers and the other
    // sections before it, and nothing else may point into it.
    const Section& resources = pe.sections[pe.resourceSection];
    auto rawEnd = [&](const Section& s) {
        return AlignUp(uint64_t(s.rawOffset) + s.rawSize, pe.fileAlignment);
    };
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const Section& s = pe.sections[i];
        // Before the resources in the file too, even a section without data: its place must stay.
        if (i < pe.resourceSection &&
            (s.rawOffset > resources.rawOffset || (s.rawSize && rawEnd(s) > resources.rawOffset)))
            return Fail(error, "damaged executable (its sections overlap in the file)");
        if (i <= pe.resourceSection)
            continue;
        if (strcmp(s.name, ".reloc") != 0)
            return Fail(error, std::string("the section ") + s.name +
                                   " follows the resources: only base relocations can move");
        if (s.rawOffset != rawEnd(pe.sections[i - 1]))
            return Fail(error, "damaged executable (a gap between its last sections)");
    }
    if (pe.sections.back().header + kSectionHeaderSize > resources.rawOffset)
        return Fail(error, "damaged executable (its headers overlap its resources)");
    if (rawEnd(pe.sections.back()) < image.size())
        return Fail(error, "data follow its last section, which would be lost");
    // From the resource section on, the only other data are those of the sections that move
    // behind it: anything else (in it, or in a gap the grown section may cover) would be
    // overwritten.
    for (uint32_t d = 0; d < pe.directoryCount; ++d) {
        uint32_t address = 0;
        ReadLe32(image, pe.directories + d * kDirectoryEntrySize, address);
        if (d == kResourceDirectory || d == kSecurityDirectory || address < resources.address)
            continue;
        bool moves = false;
        for (size_t i = pe.resourceSection + 1; i < pe.sections.size(); ++i)
            moves = moves || address - pe.sections[i].address < pe.sections[i].extent();
        if (!moves)
            return Fail(error, "damaged executable (other data share its resource section)");
    }

    Node root;
    if (!ReadTree(image, pe, root, error))
        return false;
    Node* type = Child(root, id.type);
    if (!type) {
        root.children.emplace_back();
        type = &root.children.back();
        type->id = id.type;
    }
    type->children.erase(std::remove_if(type->children.begin(), type->children.end(),
                                        [&](const Node& n) { return !n.named && n.id == id.name; }),
                         type->children.end());
    type->children.emplace_back();
    type->children.back().id = id.name;
    type->children.back().children.emplace_back();
    Node& leaf = type->children.back().children.back();
    leaf.id = id.language;
    leaf.data = data;
    leaf.size = size;
    SortEntries(root);
    std::vector<uint8_t> section;
    if (!WriteTree(root, resources.address, section, error))
        return false;

    // The image up to the resource section as it was, the new section, then the base
    // relocations moved up behind it. Every address that pointed into a moved section moves
    // with it, by the shift its section got.
    const uint64_t rawSize = AlignUp(section.size(), pe.fileAlignment);
    out.assign(image.begin(), image.begin() + resources.rawOffset);
    out.insert(out.end(), section.begin(), section.end());
    out.resize(resources.rawOffset + rawSize, 0);
    WriteLe32(out, resources.header + 8, uint32_t(section.size()));
    WriteLe32(out, resources.header + 16, uint32_t(rawSize));
    WriteLe32(out, pe.directories + kResourceDirectory * kDirectoryEntrySize + 4,
              uint32_t(section.size()));
    uint64_t next = AlignUp(resources.address + section.size(), pe.sectionAlignment);
    std::vector<uint32_t> addresses(pe.directoryCount);
    for (uint32_t d = 0; d < pe.directoryCount; ++d)
        ReadLe32(out, pe.directories + d * kDirectoryEntrySize, addresses[d]);
    for (size_t i = pe.resourceSection + 1; i < pe.sections.size(); ++i) {
        const Section& s = pe.sections[i];
        const uint64_t offset = out.size();
        out.insert(out.end(), image.begin() + s.rawOffset, image.begin() + s.rawOffset + s.rawSize);
        out.resize(AlignUp(out.size(), pe.fileAlignment), 0);
        for (uint32_t d = 0; d < pe.directoryCount; ++d) {
            if (d != kSecurityDirectory && addresses[d] >= s.address &&
                addresses[d] - s.address < s.extent())
                WriteLe32(out, pe.directories + d * kDirectoryEntrySize,
                          uint32_t(addresses[d] - s.address + next));
        }
        WriteLe32(out, s.header + 12, uint32_t(next));
        WriteLe32(out, s.header + 20, uint32_t(offset));
        next = AlignUp(next + s.extent(), pe.sectionAlignment);
    }
    if (next > UINT32_MAX || out.size() > UINT32_MAX ||
        (pe.pe32 && pe.imageBase + next > kPe32AddressLimit))
        return Fail(error, "the result would be too large for its kind of program to load");
    WriteLe32(out, pe.optional + kSizeOfImageField, uint32_t(next));
    if (resources.flags & kInitialisedData) {
        uint32_t initialised = 0;
        ReadLe32(out, pe.optional + kInitialisedDataField, initialised);
        WriteLe32(out, pe.optional + kInitialisedDataField,
                  uint32_t(initialised + rawSize - rawEnd(resources) + resources.rawOffset));
    }
    WriteLe32(out, pe.optional + kChecksumField,
              ComputePeChecksum(out, pe.optional + kChecksumField));
    return true;
}

bool FindResource(const std::vector<uint8_t>& image, uint16_t type, uint16_t name,
                  const uint8_t*& data, size_t& size, std::string& error)
{
    Image pe;
    Node root;
    if (!ReadImage(image, pe, error) || !ReadTree(image, pe, root, error))
        return false;
    Node* typeNode = Child(root, type);
    Node* nameNode = typeNode ? Child(*typeNode, name) : nullptr;
    if (!nameNode || nameNode->children.empty())
        return Fail(error, "it has no resource " + std::to_string(name) + " of type " +
                               std::to_string(type));
    data = nameNode->children.front().data;
    size = nameNode->children.front().size;
    return true;
}

}  // namespace pe
