"""A small reader for the parts of a PE file the loader's checks look at."""
import struct


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ executable")
        self.pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, self.section_count, _, _, _, self.optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", d, self.pe + 4)
        self.opt = self.pe + 24
        self.magic = struct.unpack_from("<H", d, self.opt)[0]
        self.entry_point = struct.unpack_from("<I", d, self.opt + 16)[0]
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", d, self.opt + 68)
        self.section_alignment, self.file_alignment = struct.unpack_from("<II", d, self.opt + 32)
        self.size_of_image, self.size_of_headers, self.checksum = struct.unpack_from("<III", d,
                                                                                    self.opt + 56)
        self.directories_at = self.opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", d, self.directories_at + 8 * i)
                            for i in range(16)]
        self.sections = []
        table = self.opt + self.optional_size
        for i in range(self.section_count):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), va, vsize, rawptr, rawsize))

    def computed_checksum(self):
        """The header checksum as the system computes it: 16-bit words summed with end-around
        carry, the checksum field read as zero, plus the file's size."""
        field = self.opt + 64
        words = self.data[:field] + bytes(4) + self.data[field + 4:]
        words += bytes(len(words) % 2)
        total = sum(struct.unpack("<%dH" % (len(words) // 2), words))
        while total >> 16:
            total = (total & 0xFFFF) + (total >> 16)
        return total + len(self.data)

    def rva_to_offset(self, rva):
        for _, va, vsize, rawptr, rawsize in self.sections:
            if va <= rva < va + max(vsize, rawsize):
                return rawptr + rva - va
        raise ValueError("rva %#x outside the sections" % rva)

    def cstring(self, offset):
        return self.data[offset:self.data.index(b"\0", offset)].decode("latin-1")

    def imports(self):
        """Imported functions by DLL name: names, or "#<n>" for imports by ordinal."""
        rva, size = self.directories[1]
        imports = {}
        if not rva:
            return imports
        thunk_format, ordinal_flag = ("<I", 1 << 31) if self.magic == 0x10B else ("<Q", 1 << 63)
        at = self.rva_to_offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, at)
            if not any(fields):
                return imports
            names = imports.setdefault(self.cstring(self.rva_to_offset(fields[3])), [])
            thunk = self.rva_to_offset(fields[0] or fields[4])
            while True:
                entry = struct.unpack_from(thunk_format, self.data, thunk)[0]
                if not entry:
                    break
                if entry & ordinal_flag:
                    names.append("#%d" % (entry & 0xFFFF))
                else:
                    names.append(self.cstring(self.rva_to_offset(entry & 0x7FFFFFFF) + 2))
                thunk += struct.calcsize(thunk_format)
            at += 20

    def resources(self):
        """{type: {name: {language: bytes}}} with integer ids, string names as str."""
        rva, size = self.directories[2]
        if not rva:
            return {}
        base = self.rva_to_offset(rva)

        def entries(offset):
            named, ids = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                if name & 0x80000000:
                    at = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        tree = {}
        for rtype, t in entries(0):
            for name, n in entries(t & 0x7FFFFFFF):
                for lang, leaf in entries(n & 0x7FFFFFFF):
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + leaf)
                    at = self.rva_to_offset(data_rva)
                    tree.setdefault(rtype, {}).setdefault(name, {})[lang] = self.data[at:at + data_size]
        return tree

    def size_without_resource(self, rtype, name):
        """File size less the raw bytes of one resource (every language)."""
        blobs = self.resources().get(rtype, {}).get(name, {})
        return len(self.data) - sum(len(b) for b in blobs.values())
