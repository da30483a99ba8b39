#!/usr/bin/env python3
"""Writes the bill of materials of a delivered loader, a CycloneDX 1.6 JSON document: the
loader (its version and the SHA-256 of the file), the installer it carries (the file name the
payload stores and the SHA-256 of the installer itself) and the third-party code inside the
loader (zlib's inflate side: version, origin, local changes, the backported fix).

  make-bom.py LOADER.EXE [OUTPUT]

Everything the document says of the loader and its installer is read from LOADER.EXE itself
(signed or not): the version from its version resource, the installer by inflating its payload
(resource RT_RCDATA 102). Without OUTPUT the document goes to standard output. The same file
gives the same document. Needs Python 3 only."""
import hashlib
import json
import struct
import sys
import uuid
import zlib

RT_RCDATA, RT_VERSION, PAYLOAD_ID = 10, 16, 102

# What the loader carries of zlib, as third_party/zlib/README.md tells it.
ZLIB = {
    "type": "library",
    "bom-ref": "zlib",
    "name": "zlib",
    "version": "1.2.12",
    "description": "the inflate side of zlib (raw inflate), linked statically",
    "licenses": [{"license": {"id": "Zlib"}}],
    "cpe": "cpe:2.3:a:zlib:zlib:1.2.12:*:*:*:*:*:*:*",
    "purl": "pkg:generic/zlib@1.2.12",
    "pedigree": {
        "ancestors": [{
            "type": "library", "name": "zlib", "version": "1.2.12",
            "description": "zlib 1.2.12 as carried unchanged in the zlib/ folder of the GNU "
                           "binutils 2.40 sources",
            "externalReferences": [
                {"type": "distribution",
                 "url": "https://ftp.gnu.org/gnu/binutils/binutils-2.40.tar.xz"},
                {"type": "website", "url": "https://zlib.net/"}],
        }],
        "patches": [{
            "type": "backport",
            "diff": {"text": {"content": "inflate.c: the bound check of zlib 1.2.13 where a "
                                         "gzip header's extra field is copied"}},
            "resolves": [{
                "type": "security", "id": "CVE-2022-37434",
                "name": "inflate copies a gzip header's extra field past the end of the "
                        "buffer given to inflateGetHeader",
                "source": {"name": "NVD",
                           "url": "https://nvd.nist.gov/vuln/detail/CVE-2022-37434"},
            }],
        }],
        "notes": "Local changes: only inffast.c, inflate.c, inftrees.c, zutil.c and their "
                 "headers are taken (no deflate side, no gz file functions), with "
                 "adler32_compact.c, a plain Adler-32 of the loader's own, in place of "
                 "upstream's; "
                 "built with Z_PREFIX, NO_GZIP (the loader parses the gzip member itself, so "
                 "the code of CVE-2022-37434 is not compiled in) and BUILDFIXED; the loader "
                 "computes the CRC-32 itself. The version string stays 1.2.12.",
    },
}


class Image:
    """The resources of a PE file, enough to find one by type and name."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a Windows executable")
        count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        wide = struct.unpack_from("<H", data, optional)[0] == 0x20B
        self.resources = struct.unpack_from("<I", data, optional + (112 if wide else 96) + 16)[0]
        self.sections = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i)
                         for i in range(count)]

    def offset(self, rva):
        for vsize, va, rawsize, rawptr in self.sections:
            if va <= rva < va + max(vsize, rawsize):
                return rawptr + rva - va
        raise ValueError("address %#x is in no section" % rva)

    def resource(self, rtype, name=None):
        """The data of the first language of rtype/name (of the first name without one)."""
        base = self.offset(self.resources)
        at = 0
        for wanted in (rtype, name, None):
            named, ids = struct.unpack_from("<HH", self.data, base + at + 12)
            entries = [struct.unpack_from("<II", self.data, base + at + 16 + 8 * i)
                       for i in range(named + ids)]
            found = [target for ident, target in entries if wanted is None or ident == wanted]
            if not found:
                raise ValueError("no resource %s/%s" % (rtype, name))
            at = found[0] & 0x7FFFFFFF
        rva, size = struct.unpack_from("<II", self.data, base + at)
        return self.data[self.offset(rva):self.offset(rva) + size]


def file_version(image):
    info = image.resource(RT_VERSION)
    ms, ls = struct.unpack_from("<II", info, info.index(struct.pack("<I", 0xFEEF04BD)) + 8)
    return "%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls & 0xFFFF)


def payload(image):
    """The stored file name and the content of the payload's gzip member."""
    member = image.resource(RT_RCDATA, PAYLOAD_ID)
    if member[:3] != b"\x1f\x8b\x08" or not member[3] & 0x08:
        raise ValueError("the payload is not a gzip member with a file name")
    at = 10 + (2 + struct.unpack_from("<H", member, 10)[0] if member[3] & 0x04 else 0)
    name = member[at:member.index(b"\0", at)].decode("latin-1")
    return name, zlib.decompress(member[member.index(b"\0", at) + 1:], -15)


def sha256(data):
    return [{"alg": "SHA-256", "content": hashlib.sha256(data).hexdigest()}]


def bill(data):
    image = Image(data)
    installer_name, installer = payload(image)
    digest = hashlib.sha256(data).hexdigest()
    return {
        "bomFormat": "CycloneDX",
        "specVersion": "1.6",
        "serialNumber": uuid.uuid5(uuid.NAMESPACE_URL, "urn:orvadesk:loader:" + digest).urn,
        "version": 1,
        "metadata": {"component": {
            "type": "application", "bom-ref": "loader", "name": "Orvadesk loader",
            "version": file_version(image), "hashes": sha256(data),
            "supplier": {"name": "Pemrod"},
            "description": "the loader that extracts and runs the Orvadesk installer it carries",
        }},
        "components": [
            {"type": "application", "bom-ref": "installer", "name": installer_name,
             "hashes": sha256(installer),
             "description": "the installer the loader carries as its payload (RT_RCDATA 102)"},
            ZLIB,
        ],
        "dependencies": [{"ref": "loader", "dependsOn": ["installer", "zlib"]},
                         {"ref": "installer", "dependsOn": []},
                         {"ref": "zlib", "dependsOn": []}],
        "vulnerabilities": [{
            "id": "CVE-2022-37434", "bom-ref": "CVE-2022-37434",
            "source": {"name": "NVD", "url": "https://nvd.nist.gov/vuln/detail/CVE-2022-37434"},
            "affects": [{"ref": "zlib"}],
            "analysis": {"state": "resolved",
                         "detail": "The fix of zlib 1.2.13 is backported to inflate.c, and the "
                                   "code is not compiled in (NO_GZIP)."},
        }],
    }


def main(argv):
    if argv[:1] in (["-h"], ["--help"]):
        print(__doc__.strip())
        return 0
    if len(argv) not in (1, 2):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        with open(argv[0], "rb") as f:
            document = bill(f.read())
    except (OSError, ValueError, struct.error, zlib.error) as e:
        print("make-bom.py: %s: %s" % (argv[0], e), file=sys.stderr)
        return 1
    text = json.dumps(document, indent=2) + "\n"
    if len(argv) == 2:
        with open(argv[1], "w") as f:
            f.write(text)
    else:
        sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
