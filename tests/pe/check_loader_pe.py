#!/usr/bin/env python3
"""Checks the delivered loader as a file: a 32-bit GUI executable for Intel 386 that imports
system DLLs only and carries its icon group, version resource and elevation manifest, made
from its template with the packed installer as its payload.

  check_loader_pe.py <loader.exe> <template.exe> <packed payload> <project version>"""
import re
import struct
import sys
import unittest

from pe_file import PeFile

RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll", "ole32.dll", "ntdll.dll"}

LOADER = TEMPLATE = PAYLOAD = VERSION = None


def assert_made_from(test, loader_path, template_path, payload):
    """A loader made from a template: the template's resources and the payload (RT_RCDATA 102,
    language 1033), every section before the resources as it was (the parameter block with
    them), sections that follow each other, and headers that add up: the directory entries,
    SizeOfImage, the checksum, no certificate table."""
    loader, template = PeFile(loader_path), PeFile(template_path)
    want = template.resources()
    want.setdefault(RT_RCDATA, {})[102] = {1033: payload}
    test.assertEqual(want, loader.resources())
    names = [s[0] for s in loader.sections]
    test.assertEqual([s[0] for s in template.sections], names)
    for before, after in zip(template.sections[:names.index(".rsrc")], loader.sections):
        test.assertEqual(before, after)
        test.assertEqual(template.data[before[3]:before[3] + before[4]],
                         loader.data[after[3]:after[3] + after[4]], before[0])
    align = lambda n, a: -(-n // a) * a
    for (_, va, vsize, _, _), (_, next_va, _, _, _) in zip(loader.sections, loader.sections[1:]):
        test.assertEqual(align(va + vsize, loader.section_alignment), next_va)
    _, va, vsize, rawptr, rawsize = loader.sections[-1]
    test.assertEqual(align(va + vsize, loader.section_alignment), loader.size_of_image)
    test.assertEqual(len(loader.data), rawptr + align(rawsize, loader.file_alignment))
    for entry, name in ((2, ".rsrc"), (5, ".reloc")):
        section = loader.sections[names.index(name)]
        test.assertEqual((section[1], section[2]), loader.directories[entry], name)
    test.assertEqual((0, 0), loader.directories[4])
    test.assertEqual(loader.computed_checksum(), loader.checksum)


class LoaderExecutable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = PeFile(LOADER)
        cls.res = cls.pe.resources()

    def test_is_a_32_bit_gui_program_for_intel_386(self):
        self.assertEqual((0x14C, 0x10B, 2), (self.pe.machine, self.pe.magic, self.pe.subsystem))

    def test_imports_system_dlls_only(self):
        imported = {dll.lower() for dll in self.pe.imports()}
        self.assertTrue(imported, "no imports found")
        self.assertLessEqual(imported, SYSTEM_DLLS, "unexpected DLLs: %s" % (imported - SYSTEM_DLLS))

    def test_functions_missing_from_older_systems_are_not_imported(self):
        # Imported by name, they would keep the loader from starting where they are missing;
        # the loader looks them up at run time instead.
        imported = {name for names in self.pe.imports().values() for name in names}
        for name in ("RegDeleteKeyExA", "SetDefaultDllDirectories", "SHDeleteKeyA"):
            self.assertNotIn(name, imported)

    def test_starts_on_its_own_entry_with_aslr_dep_and_relocations(self):
        # Its own start-up and the size cuts keep what the linker's defaults gave: a movable
        # image (with its relocation table) and no execution of data; the entry realigns the
        # stack to 16 bytes (and esp, -16) and takes its arguments from msvcrt.
        dynamic_base, nx_compat = 0x40, 0x100
        self.assertEqual(dynamic_base | nx_compat,
                         self.pe.dll_characteristics & (dynamic_base | nx_compat))
        self.assertGreater(self.pe.directories[5][1], 0)
        entry = self.pe.rva_to_offset(self.pe.entry_point)
        self.assertIn(b"\x83\xe4\xf0", self.pe.data[entry:entry + 16])
        self.assertIn("__getmainargs", self.pe.imports()["msvcrt.dll"])

    def test_icon_group_101_holds_a_16_colour_16x16_and_a_256_colour_32x32_image(self):
        data = next(iter(self.res[RT_GROUP_ICON][101].values()))
        _, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual((1, 2), (kind, count))
        images = set()
        for i in range(count):
            width, height, colours, _, _, bits, size, ident = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
            icon = next(iter(self.res[RT_ICON][ident].values()))
            self.assertEqual(size, len(icon))
            images.add((width, height, struct.unpack_from("<H", icon, 14)[0]))
        self.assertEqual({(16, 16, 4), (32, 32, 8)}, images)

    def test_version_resource_and_manifest_carry_the_project_version(self):
        major, minor, build = VERSION.split(".")
        data = next(iter(self.res[RT_VERSION][1].values()))
        fixed = struct.unpack_from("<8H", data, data.index(struct.pack("<I", 0xFEEF04BD)) + 8)
        # File version major.minor.0.build, product version major.minor.build.0, each as two
        # 32-bit numbers of which the low half comes first.
        self.assertEqual([minor, major, build, "0", minor, major, "0", build], [str(n) for n in fixed])
        text = data.decode("utf-16-le", "replace")
        for key in ("FileVersion", "ProductVersion"):
            self.assertEqual([major + "." + minor + " Build " + build],
                             re.findall(key + "\0+([^\0]*)\0", text), key)
        manifest = next(iter(self.res[RT_MANIFEST][1].values())).decode("utf-8")
        self.assertEqual([".".join((major, minor, "0", build))],
                         re.findall(r'<assemblyIdentity [^>]*version="([^"]*)"', manifest))

    def test_calls_the_system_through_its_own_table_not_a_tests(self):
        # The link map beside the template lists every object file that went into it.
        with open(TEMPLATE[: -len(".exe")] + ".map", encoding="latin-1") as f:
            linked = f.read()
        self.assertIn("libvofoundation.a(VoSystemCalls.cpp.obj)", linked)
        self.assertNotIn("SystemCallsHook", linked)

    def test_is_made_from_its_template_with_the_packed_installer(self):
        with open(PAYLOAD, "rb") as f:
            assert_made_from(self, LOADER, TEMPLATE, f.read())

    def test_manifest_requires_administrator_and_names_supported_systems(self):
        manifest = next(iter(self.res[RT_MANIFEST][1].values())).decode("utf-8")
        self.assertIn('level="requireAdministrator"', manifest)
        self.assertEqual(5, manifest.count("<supportedOS "))  # Vista, 7, 8, 8.1, 10 and 11
        self.assertIn("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", manifest)  # Windows 10 and 11


if __name__ == "__main__":
    LOADER, TEMPLATE, PAYLOAD, VERSION = sys.argv[1:5]
    del sys.argv[1:5]
    unittest.main(verbosity=2)
