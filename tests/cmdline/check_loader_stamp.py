#!/usr/bin/env python3
"""loader-stamp on copies of the built loader: stamping, showing, stamping again, resetting and
the refusals that leave the file as it was (Stamping); on signed loaders, against the real
signing tool, and with code pages (SignedLoader, CodePages).

  check_loader_stamp.py <loader-stamp> <loader.exe> <a program that is no loader>
                        <work folder> [test classes]

Signs copies of the loader with a throwaway self-signed certificate made with openssl."""
import os
import unittest

from host_tool_test import PeFile, ToolTest, Work, read, run, take_arguments

STAMP = LOADER = OTHER = None


def stamp(*args):
    return run(STAMP, *args)


def block_of(path):
    pe = PeFile(path)
    for name, _, _, rawptr, _ in pe.sections:
        if name == ".orvapb":
            return pe.data[rawptr:rawptr + 273]
    raise AssertionError("no parameter block in %s" % path)


class Stamping(ToolTest):
    def setUp(self):
        super().setUp()
        self.target = self.work.copy(LOADER, "loader.exe")

    def test_stamping_shows_replaces_the_whole_block_keeps_the_size_and_resets(self):
        built = read(LOADER)
        self.assertIn("sign", stamp("--help").stdout)
        steps = [
            # arguments, what --show then writes
            ([], ["command line:\n  []", "Custom-parameter text (256 characters)"]),
            (["--switch", "Lang=en", "--switch", "Silent", "--custom", "a=1&b=2"],
             ['[ /Lang "en" /Silent]', "Custom-parameter text (7 characters):\n  [a=1&b=2]"]),
            (["--switch", "X"], ["command line:\n  [ /X]", "Custom-parameter text (0 characters)"]),
            # "/CustomParams " and 257 characters and the closing quote fill the 273 exactly.
            (["--custom", "c" * 257], ["Custom-parameter text (257 characters)"]),
        ]
        for args, shown in steps:
            result = self.succeeds(STAMP, self.target, *args, "--show")
            for text in shown:
                self.assertIn(text, result.stdout, args)
            self.assertEqual(len(built), os.path.getsize(self.target), args)
        self.succeeds(STAMP, self.target, "--reset")
        self.assertEqual(built, read(self.target))

    def test_a_refusal_names_the_option_and_the_reason_and_leaves_the_file_as_it_was(self):
        loader = self.target
        self.succeeds(STAMP, loader, "--switch", "X")
        other = self.work.copy(OTHER, "other.exe")
        text = self.work.write("text.exe", b"MZ not really")
        rows = [
            # the file, the arguments, what the message holds
            (loader, ["--custom", "v" * 300], "the parameter block holds 273"),
            (loader, ["--custom", "c" * 258], "the parameter block holds 273"),
            (loader, ["--switch", 'Name=say "hi"'],
             '--switch Name=say "hi": the value holds a double quote'),
            (loader, ["--custom", 'a="1"'],
             '--custom a="1": the custom-parameter text holds a double quote'),
            (loader, ["--switch", "My Name=1"], "--switch My Name=1: the name holds a blank"),
            (loader, ["--switch", "CustomParams=a=1"], "use --custom"),
            (loader, ["--switch", "=value"], "--switch =value: the switch has no name"),
            (loader, ["--switch", "Name=Zo\u00eb"],
             "--switch Name=Zo\u00eb: the value holds text outside printable ASCII"),
            (loader, ["--custom", "n=\u65e5"], "--codepage 1252"),
            (loader, ["--codepage", "1252", "--custom", "n=\u65e5"],
             "--custom n=\u65e5: the custom-parameter text holds a character that code page "
             "1252 cannot represent"),
            (loader, ["--codepage", "932", "--switch", "Dir=\u8868"],
             "in code page 932, in the byte of a backslash"),
            # A backslash before the closing quote would make the installer swallow the
            # switches after it.
            (loader, ["--switch", "Dir=C:\\App\\"],
             "--switch Dir=C:\\App\\: the value ends in a backslash"),
            (other, ["--switch", "X"], "not a loader"),
            (text, ["--show"], "not a Windows executable"),
        ]
        for path, args, reason in rows:
            before = read(path)
            result = stamp(path, *args)
            self.assertEqual(1, result.returncode, args)
            self.assertIn(reason, result.stderr, args)
            self.assertIn("the file is left as it was", result.stderr, args)
            self.assertEqual(before, read(path), args)


def sign(source, target):
    result = run("osslsigncode", "sign", "-h", "sha256", "-certs", SignedLoader.cert,
                 "-key", SignedLoader.key, "-in", source, "-out", target)
    assert result.returncode == 0, result.stdout + result.stderr


def verifies(path):
    return run("osslsigncode", "verify", "-in", path, "-CAfile", SignedLoader.cert).returncode == 0


class SignedLoader(ToolTest):
    @classmethod
    def setUpClass(cls):
        keys = Work(cls, "keys")
        cls.key, cls.cert = keys.path("key.pem"), keys.path("cert.pem")
        made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                   "-subj", "/CN=Throwaway test signer", "-keyout", cls.key, "-out", cls.cert)
        assert made.returncode == 0, made.stderr
        cls.unsigned, cls.signed = keys.copy(LOADER, "unsigned.exe"), keys.path("signed.exe")
        sign(cls.unsigned, cls.signed)
        assert verifies(cls.signed)

    def setUp(self):
        super().setUp()
        self.target = self.work.copy(self.signed, "loader.exe")

    def test_stamping_a_signed_file_is_refused_and_leaves_it_as_it_was(self):
        for args in (["--switch", "Lang=en"], ["--custom", "a=1"], ["--reset"], ["--clear"]):
            result = stamp(self.target, *args)
            self.assertEqual(1, result.returncode, args)
            for text in ("the file is signed, and stamping would break its signature",
                         "sign it after stamping", "--remove-signature"):
                self.assertIn(text, result.stderr, args)
            self.assertEqual(read(self.signed), read(self.target), args)
        self.assertTrue(verifies(self.target))

    def test_show_reads_a_signed_file(self):
        result = self.succeeds(STAMP, self.target, "--show")
        self.assertIn("Custom-parameter text (256 characters)", result.stdout)
        self.assertIn("Signature: signed (certificate table of ", result.stdout)

    def test_removing_the_signature_gives_back_the_file_before_signing(self):
        result = self.succeeds(STAMP, self.target, "--remove-signature")
        self.assertIn("sign it again", result.stdout)
        self.assertEqual(read(self.unsigned), read(self.target))
        self.assertIn("not signed", stamp(self.target, "--remove-signature").stdout)

    def test_removing_and_stamping_gives_a_valid_unsigned_file_to_sign_again(self):
        result = self.succeeds(STAMP, self.target, "--remove-signature", "--switch", "Lang=en",
                               "--show")
        self.assertIn("[ /Lang \"en\"]", result.stdout)
        self.assertIn("Signature: none", result.stdout)
        self.assertFalse(verifies(self.target))
        reference = self.work.copy(self.unsigned, "reference.exe")
        self.succeeds(STAMP, reference, "--switch", "Lang=en")
        self.assertEqual(read(reference), read(self.target))
        resigned = self.work.path("resigned.exe")
        sign(self.target, resigned)
        self.assertTrue(verifies(resigned))

    def test_stamping_keeps_the_header_checksum_the_signing_tool_computes(self):
        # osslsigncode recomputes the checksum when it removes a signature: after signing and
        # removing, the stamped file must come back byte for byte.
        target = self.work.copy(self.unsigned, "unsigned.exe")
        self.succeeds(STAMP, target, "--switch", "Lang=en", "--custom", "a=1")
        signed, removed = self.work.path("signed.exe"), self.work.path("removed.exe")
        sign(target, signed)
        self.succeeds("osslsigncode", "remove-signature", "-in", signed, "-out", removed)
        self.assertEqual(read(removed), read(target))

    def test_a_signature_that_other_data_follow_is_not_cut_off(self):
        before = read(self.signed) + b"appended after the signature"
        self.work.write("loader.exe", before)
        result = stamp(self.target, "--remove-signature", "--switch", "X")
        self.assertEqual(1, result.returncode)
        self.assertIn("other data follow the certificate table", result.stderr)
        self.assertEqual(before, read(self.target))


class CodePages(ToolTest):
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
            result = self.succeeds(STAMP, target, "--codepage", codepage, "--switch", text,
                                   "--show")
            self.assertEqual(entry, block_of(target)[:len(entry)], codepage)
            self.assertIn('"%s"' % shown, result.stdout, codepage)

    def test_show_without_a_code_page_escapes_what_is_not_ascii(self):
        target = self.work.copy(LOADER, "loader.exe")
        self.succeeds(STAMP, target, "--codepage", "1252", "--custom", "n=Zo\u00eb")
        self.assertIn("[n=Zo\\xEB]", stamp(target, "--show").stdout)


if __name__ == "__main__":
    STAMP, LOADER, OTHER, _ = take_arguments(4)
    unittest.main(verbosity=2)
