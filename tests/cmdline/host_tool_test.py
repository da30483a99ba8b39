"""What the host-tool tests share: running a program with a time limit (with its standard
error on a pseudo-terminal, too), a work folder of its own for each test, a test case that
has one and runs programs that must succeed, the PE reader of tests/pe, and taking a script's
leading arguments."""
import os
import select
import shutil
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "pe"))
from pe_file import PeFile  # noqa: E402,F401  (for the scripts that import this module)

TIME_LIMIT = 120  # seconds for any one run
WORK = None  # the script's work folder, made fresh by take_arguments


def command(args):
    """The words of a command; an argument may be a list of words (a runner and a tool)."""
    return [str(w) for a in args for w in (a if isinstance(a, list) else [a])]


def run(*args):
    return subprocess.run(command(args), capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=TIME_LIMIT)


def run_on_terminal(*args):
    """Runs a program with its standard error on a pseudo-terminal and its standard output on
    a pipe. Returns the exit code, the standard output and what the terminal received."""
    master, slave = os.openpty()
    try:
        process = subprocess.Popen(command(args), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=slave)
    finally:
        os.close(slave)
    received, chunk = b"", b"-"
    deadline = time.monotonic() + TIME_LIMIT
    try:
        while chunk:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([master], [], [], left)[0]:
                process.kill()
                raise AssertionError("%s did not end within %d s" % (args, TIME_LIMIT))
            try:
                chunk = os.read(master, 65536)
            except OSError:  # the program's side of the terminal is closed: it has ended
                chunk = b""
            received += chunk
    finally:
        os.close(master)
    output = process.stdout.read().decode()
    process.stdout.close()
    return process.wait(timeout=TIME_LIMIT), output, received.decode()


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Work:
    """A folder of its own for each test (or for a name given), made fresh."""
    def __init__(self, test, name=None):
        self.dir = os.path.join(WORK, name or test.id().rsplit(".", 1)[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def read(self, name):
        return read(self.path(name))

    def copy(self, source, name):
        shutil.copyfile(source, self.path(name))
        return self.path(name)


class ToolTest(unittest.TestCase):
    """A test with a work folder of its own."""
    def setUp(self):
        self.work = Work(self)

    def succeeds(self, *args):
        """Runs a program that must exit with 0; returns its result."""
        result = run(*args)
        self.assertEqual(0, result.returncode, (command(args), result.stdout, result.stderr))
        return result


def take_arguments(count):
    """Takes the script's first count arguments, the last of them its work folder, which is
    made fresh; what follows them is left to unittest (test names, options)."""
    global WORK
    taken = sys.argv[1:count + 1]
    del sys.argv[1:count + 1]
    WORK = taken[-1]
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    return taken
