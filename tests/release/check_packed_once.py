#!/usr/bin/env python3
"""Each distinct payload is packed once per build tree, whatever the number of targets that
carry it; block division (--best) only for the payload of the loader that ships and the
benchmark's stand-ins for it, the fast plain level (--fast) for every other one.

  check_packed_once.py <ninja> <build folder> <packed payload allowed --best>...

Reads the commands that building the tree's default targets runs."""
import collections
import shlex
import subprocess
import sys


def packings(ninja, build):
    commands = subprocess.run([ninja, "-C", build, "-t", "commands"], check=True,
                              capture_output=True, text=True).stdout
    found = []
    for line in commands.splitlines():
        for command in line.split("&&"):
            words = shlex.split(command)
            # A loader made from its template takes a packing as it is (--packed).
            if words and words[0].endswith("/loader-pack/loader-pack") and "--packed" not in words:
                level = [w for w in words[1:] if w in ("--best", "--fast")]
                files = [w for w in words[1:] if not w.startswith("--")]
                found.append((level[-1] if level else "--best", files[0], files[1]))
    return found


def main(ninja, build, *best):
    found = packings(ninja, build)
    problems = []
    if not found:
        problems.append("no packing command at all")
    for what, column in (("payload", 1), ("packed file", 2)):
        counts = collections.Counter(p[column] for p in found)
        problems += ["%s %s is packed %d times" % (what, f, n) for f, n in counts.items() if n > 1]
    for level, payload, packed in found:
        print("%s %s -> %s" % (level, payload, packed))
        expected = "--best" if packed in best else "--fast"
        if level != expected:
            problems.append("%s is packed %s, not %s" % (payload, level, expected))
    if not any(packed in best for _, _, packed in found):
        problems.append("the shipped loader's payload is not among the packings")
    for problem in problems:
        print("FAILED: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
