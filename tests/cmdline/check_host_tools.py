#!/usr/bin/env python3
"""loader-pack and loader-stamp run as a user runs them: help and versions, exit codes, errors
that name the file and the reason on one line, loader-pack's progress, which only a terminal
gets, and loaders made from a template. The same table runs against the tools built for the
build machine and against their Windows build, started through a runner (Wine).

  check_host_tools.py <host tools folder> <loader.exe> <template.exe> <project version>
                      <work folder>

ORVA_TOOL_RUNNER, when set, names what starts the tools of the folder (Wine, for the Windows
build), and ORVA_NATIVE_TOOLS the folder of the build machine's tools to compare them with."""
import gzip
import os
import re
import struct
import unittest

from host_tool_test import HERE, PeFile, ToolTest, read, run, run_on_terminal, take_arguments
from check_loader_pe import assert_made_from  # tests/pe, on the path through host_tool_test
TOOLS = LOADER = TEMPLATE = VERSION = None
RUNNER = []  # what starts a tool: nothing for the build machine's, Wine for the Windows build


def tool(name):
    return RUNNER + [os.path.join(TOOLS, name, name + (".exe" if RUNNER else ""))]


def libdeflate_version():
    header = os.path.join(HERE, "..", "..", "third_party", "libdeflate", "libdeflate.h")
    with open(header) as f:
        return re.search(r'LIBDEFLATE_VERSION_STRING\s+"([^"]+)"', f.read()).group(1)


class HelpAndVersion(unittest.TestCase):
    def test_help_lists_every_option_and_the_exit_codes_on_standard_output(self):
        rows = [
            ("loader-pack", ["--best", "--fast", "-j, --jobs N", "--name NAME", "-q, --quiet",
                             "-h, --help", "-V, --version", "when standard error is a terminal",
                             "Exit status: 0 packed; 1 INPUT refused", "2 wrong usage",
                             "3 a file could not be read or written"]),
            ("loader-stamp", ["--switch NAME[=VALUE]", "--custom TEXT", "--codepage CP",
                              "--reset", "--clear", "--remove-signature", "--show", "-h, --help",
                              "-V, --version", "Exit status: 0 done; 1 refused", "2 wrong usage",
                              "3 the file\ncould not be read or written"]),
        ]
        for name, expected in rows:
            for option in ("--help", "-h"):
                result = run(tool(name), option)
                self.assertEqual((0, ""), (result.returncode, result.stderr), (name, option))
                self.assertTrue(result.stdout.startswith("Usage: %s " % name), result.stdout)
                for text in expected:
                    self.assertIn(text, result.stdout, name)
                self.assertLessEqual(max(map(len, result.stdout.splitlines())), 90, name)

    def test_version_names_the_project_and_the_compressor(self):
        pack = run(tool("loader-pack"), "--version")
        self.assertEqual((0, ""), (pack.returncode, pack.stderr))
        lines = pack.stdout.splitlines()
        self.assertEqual("loader-pack (Orvadesk) " + VERSION, lines[0])
        self.assertEqual("libdeflate %s, block division on at --best (level 12), off at --fast "
                         "(level 1)" % libdeflate_version(), lines[1])
        self.assertRegex(lines[2], r"^zlib \d+\.\d+")
        stamp = run(tool("loader-stamp"), "-V")
        self.assertEqual((0, "loader-stamp (Orvadesk) %s\n" % VERSION, ""),
                         (stamp.returncode, stamp.stdout, stamp.stderr))


def assert_fails(test, result, code, prefix, args):
    """Exit code code, nothing on standard output, and standard error starting with prefix."""
    test.assertEqual((code, ""), (result.returncode, result.stdout), (args, result.stderr))
    test.assertTrue(result.stderr.startswith(prefix), result.stderr)


class Errors(ToolTest):
    def test_usage_errors_exit_with_2_and_say_where_help_is(self):
        rows = [
            ("loader-pack", [], "INPUT and OUTPUT are needed"),
            ("loader-pack", ["a", "b", "c"], "only one INPUT and one OUTPUT"),
            ("loader-pack", ["--level", "a", "b"], "unknown option --level"),
            ("loader-pack", ["a", "b", "--name"], "--name needs a value (NAME)"),
            ("loader-pack", ["--quiet=yes", "a", "b"], "--quiet takes no value"),
            ("loader-pack", ["-j", "0", "a", "b"], "-j needs a whole number from 1 to 4096"),
            ("loader-pack", ["--jobs=2x", "a", "b"], "--jobs needs a whole number from 1 to 4096"),
            ("loader-stamp", [], "no loader file given"),
            ("loader-stamp", ["a.exe", "--switch"], "--switch needs a value (NAME[=VALUE])"),
            ("loader-stamp", ["a.exe", "--codepage=1"], "--codepage 1: not an ANSI code page"),
            ("loader-stamp", ["a.exe"], "nothing to do"),
        ]
        for name, args, message in rows:
            result = run(tool(name), *args)
            assert_fails(self, result, 2, "%s: %s" % (name, message), args)
            self.assertTrue(result.stderr.endswith("\nTry '%s --help'.\n" % name), result.stderr)

    def test_a_failure_names_the_file_and_the_reason_on_one_line(self):
        empty = self.work.write("empty.exe", b"")
        installer = self.work.write("installer.exe", b"MZ" + bytes(range(256)) * 64)
        odd_name = self.work.write("odd\nname.exe", b"MZ")
        not_loader = self.work.write("text.exe", b"MZ not really")
        loader = self.work.copy(LOADER, "loader.exe")
        # A name so long that no file can be made beside it, so writing fails.
        blocked = self.work.copy(LOADER, "b" * (255 - len(".exe")) + ".exe")
        folder = self.work.path("folder.exe")
        os.makedirs(folder)
        missing = self.work.path("missing.exe")
        no_folder = self.work.path("no-such-folder/out.gz")
        # Windows allows no line break in a file name.
        odd_rows = [] if RUNNER else [
            ("loader-pack", [odd_name, odd_name + ".gz"], 0, None, None),
            ("loader-stamp", [odd_name, "--show"], 1, odd_name.replace("\n", "\\x0A"),
             "not a Windows executable"),
        ]
        rows = odd_rows + [
            # tool, arguments, exit code, the file as named, the reason
            ("loader-pack", [missing, "out.gz"], 3, missing,
             "cannot read: No such file or directory"),
            ("loader-pack", [empty, self.work.path("out.gz")], 1, empty,
             "the file is empty: nothing to pack"),
            ("loader-pack", [installer, no_folder], 3, no_folder,
             "cannot write: No such file or directory"),
            ("loader-stamp", [missing, "--show"], 3, missing,
             "cannot read: No such file or directory"),
            ("loader-stamp", [folder, "--show"], 3, folder, "cannot read: Is a directory"),
            ("loader-pack", [folder, no_folder], 3, folder, "cannot read: Is a directory"),
            ("loader-stamp", [not_loader, "--switch", "X"], 1, not_loader,
             "not a Windows executable (no MZ header); the file is left as it was"),
            ("loader-stamp", [loader, "--custom", "a\nb"], 1, loader,
             "--custom a\\x0Ab: the custom-parameter text holds a control character"),
            # Past 260 characters a path is not even read under Wine.
            ("loader-stamp", [blocked, "--switch", "X"], 3, blocked,
             "cannot read" if RUNNER else "cannot write: File name too long; the file is left"),
        ]
        for name, args, code, file, reason in rows:
            result = run(tool(name), *args)
            if code == 0:
                # A name with a line break stays on one line of the closing output.
                self.assertEqual(0, result.returncode, (args, result.stderr))
                self.assertEqual(1, result.stdout.count("\n"), result.stdout)
                self.assertIn("odd\\x0Aname.exe", result.stdout)
                continue
            assert_fails(self, result, code, "%s: %s: %s" % (name, file, reason), args)
            self.assertEqual(1, result.stderr.count("\n"), result.stderr)
        # Nothing half-written is left behind, and the stamped files are as they were.
        self.assertFalse(os.path.exists(os.path.dirname(no_folder)))
        for path in (loader, blocked):
            self.assertEqual(read(LOADER), read(path))
        self.assertEqual(sorted(os.listdir(self.work.dir)),
                         sorted(["empty.exe", "folder.exe", "installer.exe", "odd\nname.exe",
                                 "text.exe", "loader.exe", os.path.basename(blocked)] +
                                ([] if RUNNER else ["odd\nname.exe.gz"])))


class Template(ToolTest):
    def setUp(self):
        super().setUp()
        self.installer = self.work.write("Setup.exe", b"MZ" + bytes(range(256)) * 512)

    def test_a_loader_made_from_the_template_carries_the_installer_and_keeps_its_block(self):
        stamped = self.work.copy(TEMPLATE, "stamped-template.exe")
        self.succeeds(tool("loader-stamp"), stamped, "--switch", "Lang=en")
        packed, made, remade = (self.work.path(n) for n in ("Setup.gz", "made.exe", "remade.exe"))
        for args in ([self.installer, packed], ["--into", stamped, self.installer, made],
                     ["--packed", "--into", stamped, packed, remade]):
            level = [] if "--packed" in args else ["--fast"]
            result = run(tool("loader-pack"), "-q", *level, *args)
            self.assertEqual((0, "", ""), (result.returncode, result.stdout, result.stderr), args)
        # One packing, made into a loader directly or from the packed file: the same bytes.
        self.assertEqual(self.work.read("made.exe"), self.work.read("remade.exe"))
        assert_made_from(self, made, stamped, self.work.read("Setup.gz"))
        self.assertIn('[ /Lang "en"]', run(tool("loader-stamp"), made, "--show").stdout)
        if RUNNER:  # the same bytes as the build machine's tool makes; nothing but system DLLs
            native = self.work.path("native.exe")
            pack = os.path.join(os.environ["ORVA_NATIVE_TOOLS"], "loader-pack", "loader-pack")
            self.succeeds(pack, "-q", "--fast", "--into", stamped, self.installer, native)
            self.assertEqual(self.work.read("made.exe"), self.work.read("native.exe"))
            for name in ("loader-pack", "loader-stamp"):
                self.assertLessEqual({d.lower() for d in PeFile(tool(name)[-1]).imports()},
                                     {"kernel32.dll", "msvcrt.dll"}, name)

    def test_what_is_no_loader_template_is_refused_and_nothing_is_written(self):
        image = bytearray(read(TEMPLATE))
        trailing = self.work.write("trailing.exe", image + b"more")
        # A program that is no loader: the template less its parameter block's section.
        other = self.work.write("other.exe", image.replace(b".orvapb", b".data2", 1))
        # A certificate table of 8 bytes at the end, named by its directory entry.
        struct.pack_into("<II", image, PeFile(TEMPLATE).directories_at + 4 * 8, len(image), 8)
        signed = self.work.write("signed.exe", image + bytes(8))
        out = self.work.path("out.exe")
        rows = [
            # arguments, exit code, the file named, the reason
            (["--into", other, self.installer, out], 1, other, "no .orvapb section: not a loader"),
            (["--into", self.installer, self.installer, out], 1, self.installer,
             "not a Windows executable"),
            (["--into", signed, self.installer, out], 1, signed, "it is signed"),
            (["--into", trailing, self.installer, out], 1, trailing, "data follow its last section"),
            (["--into", self.work.path("none.exe"), self.installer, out], 3,
             self.work.path("none.exe"), "cannot read: No such file or directory"),
            (["--packed", "--into", TEMPLATE, self.installer, out], 1, self.installer,
             "not a packed payload (no gzip member)"),
            (["--packed", self.installer, out], 2, None, "--packed goes with --into TEMPLATE"),
            (["--packed", "--fast", "--into", TEMPLATE, self.installer, out], 2, None,
             "--packed takes INPUT as packed"),
        ]
        for args, code, file, reason in rows:
            prefix = "loader-pack: " + (file + ": " if file else "") + reason
            assert_fails(self, run(tool("loader-pack"), *args), code, prefix, args)
            self.assertFalse(os.path.exists(out))


class Progress(ToolTest):
    LINE = re.compile(r"^loader-pack: (\d+) % of 8\.0 MiB(, [\d.]+ MiB/s(, \d+:\d\d left)?)?$")

    def setUp(self):
        super().setUp()
        # Three chunks at --best: two of 4 MiB, each a second or two of work, and one byte.
        self.data = bytes(8 * 1024 * 1024 + 1)
        self.input = self.work.write("big.exe", self.data)
        self.packed = self.work.path("big.gz")

    def assert_closing_line(self, output):
        match = re.fullmatch(r"loader-pack: (.+): (\d+) bytes -> (.+): (\d+) bytes "
                             r"\((\d+\.\d\d) % of the input\) in (\d+\.\d\d) s\n", output)
        self.assertIsNotNone(match, output)
        self.assertEqual((self.input, len(self.data), self.packed, os.path.getsize(self.packed)),
                         (match.group(1), int(match.group(2)), match.group(3),
                          int(match.group(4))))
        self.assertAlmostEqual(100.0 * os.path.getsize(self.packed) / len(self.data),
                               float(match.group(5)), places=2)
        self.assertEqual(self.data, gzip.decompress(read(self.packed)))

    def test_a_terminal_sees_the_share_packed_and_the_rate_then_a_clean_line(self):
        code, output, terminal = run_on_terminal(tool("loader-pack"), self.input, self.packed)
        self.assertEqual(0, code, terminal)
        self.assert_closing_line(output.replace("\r\n", "\n"))
        if RUNNER:
            # Wine draws the program's console on the terminal with its own control sequences:
            # the progress reaches it, not byte for byte.
            drawn = re.sub(r"\x1b\[[?0-9;]*[A-Za-z]|\s", "", terminal)
            self.assertIn("loader-pack:0%of8.0MiB", drawn, repr(terminal))
            return
        # Each update writes over the line before; the last one leaves it blank.
        self.assertTrue(terminal.startswith("\r") and terminal.endswith("\r"), repr(terminal))
        updates = terminal[1:-1].split("\r")
        self.assertEqual("", updates[-1].strip(), repr(terminal))
        matches = [self.LINE.match(update.rstrip(" ")) for update in updates[:-1]]
        self.assertTrue(all(matches), repr(updates))
        shares = [int(match.group(1)) for match in matches]
        self.assertEqual(0, shares[0], shares)
        self.assertEqual(sorted(shares), shares)
        self.assertTrue(any(0 < share < 100 for share in shares), shares)
        self.assertTrue(any("MiB/s" in update and "left" in update for update in updates))

    def test_nothing_but_the_closing_line_without_a_terminal_and_nothing_with_quiet(self):
        result = self.succeeds(tool("loader-pack"), "--fast", self.input, self.packed)
        self.assertEqual("", result.stderr)
        self.assert_closing_line(result.stdout)
        os.remove(self.packed)
        for quiet in ("--quiet", "-q"):
            self.assertEqual((0, "", ""), run_on_terminal(tool("loader-pack"), quiet, "--fast",
                                                          self.input, self.packed))
            self.assertEqual(self.data, gzip.decompress(read(self.packed)))


if __name__ == "__main__":
    TOOLS, LOADER, TEMPLATE, VERSION, _ = take_arguments(5)
    RUNNER = [os.environ["ORVA_TOOL_RUNNER"]] if os.environ.get("ORVA_TOOL_RUNNER") else []
    unittest.main(verbosity=2)
