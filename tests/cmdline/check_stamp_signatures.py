#!/usr/bin/env python3
"""loader-stamp on signed loaders and with code pages, against the real signing tool.

  check_stamp_signatures.py <loader-stamp> <loader.exe> <work folder>

Signs copies of the loader with a throwaway self-signed certificate made with openssl."""
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pe"))
from pe_file import PeFile  # noqa: E402

STAMP = LOADER = WORK = None


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True)


def stamp(*args):
    return run(STAMP, *args)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def block_of(path):
    pe = PeFile(path)
    for name, _, _, rawptr, _ in pe.sections:
        if name == ".orvapb":
            return pe.data[rawptr:rawptr + 273]
    raise AssertionError("no parameter block in %s" % path)


class Work:
    """Files in the work folder, made fresh for each test."""
    def __init__(self, test):
        self.dir = os.path.join(WORK, test.id().rsplit(".", 1)[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)

    def copy(self, source, name):
        path = os.path.join(self.dir, name)
        shutil.copyfile(source, path)
        return path

    def path(self, name):
        return os.path.join(self.dir, name)


def sign(source, target):
    result = run("osslsigncode", "sign", "-h", "sha256", "-certs", SignedLoader.cert,
                 "-key", SignedLoader.key, "-in", source, "-out", target)
    assert result.returncode == 0, result.stdout + result.stderr


def verifies(path):
    return run("osslsigncode", "verify", "-in", path, "-CAfile", SignedLoader.cert).returncode == 0


class SignedLoader(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        keys = os.path.join(WORK, "keys")
        os.makedirs(keys, exist_ok=True)
        cls.key, cls.cert = os.path.join(keys, "key.pem"), os.path.join(keys, "cert.pem")
        made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                   "-subj", "/CN=Throwaway test signer", "-keyout", cls.key, "-out", cls.cert)
        assert made.returncode == 0, made.stderr
        cls.unsigned = os.path.join(keys, "unsigned.exe")
        cls.signed = os.path.join(keys, "signed.exe")
        shutil.copyfile(LOADER, cls.unsigned)
        sign(cls.unsigned, cls.signed)
        assert verifies(cls.signed)

    def setUp(self):
        self.work = Work(self)

    def test_stamping_a_signed_file_is_refused_and_leaves_it_as_it_was(self):
        target = self.work.copy(self.signed, "loader.exe")
        for args in (["--switch", "Lang=en"], ["--custom", "a=1"], ["--reset"], ["--clear"]):
            result = stamp(target, *args)
            self.assertEqual(1, result.returncode, args)
            self.assertIn("the file is signed, and stamping would break its signature", result.stderr)
            self.assertIn("sign it after stamping", result.stderr)
            self.assertIn("--remove-signature", result.stderr)
            self.assertEqual(read(self.signed), read(target), args)
        self.assertTrue(verifies(target))

    def test_show_reads_a_signed_file(self):
        result = stamp(self.work.copy(self.signed, "loader.exe"), "--show")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("Custom-parameter text (256 characters)", result.stdout)
        self.assertIn("Signature: signed (certificate table of ", result.stdout)

    def test_removing_the_signature_gives_back_the_file_before_signing(self):
        target = self.work.copy(self.signed, "loader.exe")
        result = stamp(target, "--remove-signature")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("sign it again", result.stdout)
        self.assertEqual(read(self.unsigned), read(target))
        self.assertIn("not signed", stamp(target, "--remove-signature").stdout)

    def test_removing_and_stamping_gives_a_valid_unsigned_file_to_sign_again(self):
        target = self.work.copy(self.signed, "loader.exe")
        result = stamp(target, "--remove-signature", "--switch", "Lang=en", "--show")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertIn("[ /Lang \"en\"]", result.stdout)
        self.assertIn("Signature: none", result.stdout)
        self.assertFalse(verifies(target))
        reference = self.work.copy(self.unsigned, "reference.exe")
        self.assertEqual(0, stamp(reference, "--switch", "Lang=en").returncode)
        self.assertEqual(read(reference), read(target))
        resigned = self.work.path("resigned.exe")
        sign(target, resigned)
        self.assertTrue(verifies(resigned))

    def test_stamping_keeps_the_header_checksum_the_signing_tool_computes(self):
        # osslsigncode recomputes the checksum when it removes a signature: after signing and
        # removing, the stamped file must come back byte for byte.
        target = self.work.copy(self.unsigned, "loader.exe")
        self.assertEqual(0, stamp(target, "--switch", "Lang=en", "--custom", "a=1").returncode)
        signed, removed = self.work.path("signed.exe"), self.work.path("removed.exe")
        sign(target, signed)
        result = run("osslsigncode", "remove-signature", "-in", signed, "-out", removed)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertEqual(read(removed), read(target))

    def test_a_signature_that_other_data_follow_is_not_cut_off(self):
        target = self.work.copy(self.signed, "loader.exe")
        with open(target, "ab") as f:
            f.write(b"appended after the signature")
        before = read(target)
        result = stamp(target, "--remove-signature", "--switch", "X")
        self.assertEqual(1, result.returncode)
        self.assertIn("other data follow the certificate table", result.stderr)
        self.assertEqual(before, read(target))


class CodePages(unittest.TestCase):
    def setUp(self):
        self.work = Work(self)

    def test_texts_are_converted_into_the_named_code_page(self):
        rows = [
            # code page, --switch text, the block's entry, how --show writes the value
            ("1252", "Name=Zo\u00eb", b'"/Name Zo\xeb"', "Zo\u00eb"),
            ("1251", "City=\u041c\u043e\u0441\u043a\u0432\u0430",
             b'"/City \xcc\xee\xf1\xea\xe2\xe0"', "\u041c\u043e\u0441\u043a\u0432\u0430"),
            ("932", "Dir=C:\\\u8868x", b'"/Dir C:\\\x95\\x"', "C:\\\u8868x"),
            ("65001", "Name=Zo\u00eb", b'"/Name Zo\xc3\xab"', "Zo\u00eb"),
        ]
        for codepage, text, entry, shown in rows:
            target = self.work.copy(LOADER, "loader-%s.exe" % codepage)
            result = stamp(target, "--codepage", codepage, "--switch", text, "--show")
            self.assertEqual(0, result.returncode, result.stderr)
            self.assertEqual(entry, block_of(target)[:len(entry)], codepage)
            self.assertIn('"%s"' % shown, result.stdout, codepage)

    def test_show_without_a_code_page_escapes_what_is_not_ascii(self):
        target = self.work.copy(LOADER, "loader.exe")
        self.assertEqual(0, stamp(target, "--codepage", "1252", "--custom", "n=Zo\u00eb").returncode)
        result = stamp(target, "--show")
        self.assertIn("[n=Zo\\xEB]", result.stdout)


if __name__ == "__main__":
    STAMP, LOADER, WORK = sys.argv[1:4]
    del sys.argv[1:4]
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    unittest.main(verbosity=2)
