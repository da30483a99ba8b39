#!/usr/bin/env python3
"""The loader's stub (the file less its payload resource, RT_RCDATA 102) must stay within
its download budget.

  check_stub_size.py <loader.exe>            fails when the stub is over budget
  check_stub_size.py --report <loader.exe>   only prints the size
"""
import sys

from pe_file import PeFile

RT_RCDATA, PAYLOAD_ID = 10, 102
BUDGET_BYTES = 56 * 1024


def main(argv):
    report_only = "--report" in argv
    paths = [a for a in argv if a != "--report"]
    if len(paths) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    size = PeFile(paths[0]).size_without_resource(RT_RCDATA, PAYLOAD_ID)
    print("loader stub: %d bytes (budget %d, %d left)" % (size, BUDGET_BYTES, BUDGET_BYTES - size))
    if report_only or size <= BUDGET_BYTES:
        return 0
    print("the stub is %d bytes over budget: see the linker map next to the loader"
          % (size - BUDGET_BYTES), file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
