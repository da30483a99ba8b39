#!/usr/bin/env python3
"""Checks that the product's includes point down its layers.

The layers, bottom to top (cmake/OrvaLayers.cmake checks the links the same way):

    zlib        third_party/zlib/
    foundation  VoFoundation/
    rules       rules/                the loader's platform-free rules, bounded text
    loaderlog   loaderlog/            the loader log, file operations
    registry    VoUtil/VoRegistry/    foundation only
    box         loader/CannotStartBox.*   the loader's one message box
    payload     payload/
    steps       loader/               the main sequence and its steps
    entry       loader/WinMain.cpp, loader/Startup.*

Every quoted include of a product file must name a file of the tree, found either from the
source root or beside the including file, in a layer that the including file's layer may use.
Prints each violation and exits 1 when there is any; exits 0 otherwise.

    check_layers.py <source root>

It first checks itself on a made-up tree with an upward, a sideways and a missing include.
"""
import os
import re
import sys

# (layer, path prefix relative to the source root); the first match wins.
LAYER_OF_PATH = [
    ("entry", "loader/WinMain.cpp"),
    ("entry", "loader/Startup."),
    ("zlib", "third_party/zlib/"),
    ("foundation", "VoFoundation/"),
    ("rules", "rules/"),
    ("loaderlog", "loaderlog/"),
    ("registry", "VoUtil/VoRegistry/"),
    ("box", "loader/CannotStartBox."),
    ("payload", "payload/"),
    ("steps", "loader/"),
]

# What each layer may include besides itself.
MAY_USE = {
    "zlib": set(),
    "foundation": set(),
    "rules": {"foundation"},
    "loaderlog": {"foundation", "rules"},
    "registry": {"foundation"},
    "box": {"foundation", "rules", "loaderlog"},
    "payload": {"zlib", "foundation", "rules", "loaderlog", "box"},
    "steps": {"zlib", "foundation", "rules", "loaderlog", "registry", "box", "payload"},
    "entry": {"zlib", "foundation", "rules", "loaderlog", "registry", "box", "payload", "steps"},
}

SOURCE_ENDINGS = (".c", ".cpp", ".h")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def layer_of(path):
    for layer, prefix in LAYER_OF_PATH:
        if path == prefix or path.startswith(prefix):
            return layer
    return None


def product_files(root):
    for layer, prefix in LAYER_OF_PATH:
        top = os.path.join(root, prefix)
        if os.path.isfile(top):
            yield prefix
            continue
        for folder, _, names in os.walk(top):
            for name in sorted(names):
                if name.endswith(SOURCE_ENDINGS):
                    yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


def resolve(root, including, name):
    """The included file relative to the root: from the root (or its template <name>.in, which
    the configure step writes out), else beside the includer."""
    if os.path.isfile(os.path.join(root, name)) or os.path.isfile(os.path.join(root, name + ".in")):
        return os.path.normpath(name).replace(os.sep, "/")
    beside = os.path.join(os.path.dirname(including), name)
    if os.path.isfile(os.path.join(root, beside)):
        return os.path.normpath(beside).replace(os.sep, "/")
    return None


def violations(root):
    found = []
    # loader/WinMain.cpp and loader/Startup.* come again under loader/: each file once.
    for path in dict.fromkeys(product_files(root)):
        layer = layer_of(path)
        with open(os.path.join(root, path), encoding="latin-1") as source:
            text = source.read()
        for name in INCLUDE.findall(text):
            target = resolve(root, path, name)
            if target is None:
                # zlib's own headers are found through its folder; nothing else may be missing.
                if layer != "zlib":
                    found.append(f"{path}: includes \"{name}\", which is no file of the tree")
                continue
            used = layer_of(target)
            if used is None:
                found.append(f"{path} ({layer}): includes {target}, which belongs to no layer")
            elif used != layer and used not in MAY_USE[layer]:
                found.append(f"{path} ({layer}): includes {target} ({used}), a layer above "
                             f"or beside it")
    return found


def self_test():
    """The check itself: an upward include and a sideways one are found, a downward one is not."""
    import tempfile
    with tempfile.TemporaryDirectory() as root:
        files = {
            "VoFoundation/VoLow.h": '#pragma once\n#include "loaderlog/Log.h"\n',
            "loaderlog/Log.h": '#pragma once\n#include "VoFoundation/VoOk.h"\n',
            "VoFoundation/VoOk.h": "#pragma once\n",
            "VoUtil/VoRegistry/Key.cpp": '#include "loaderlog/Log.h"\n#include "Key.h"\n',
            "VoUtil/VoRegistry/Key.h": "#pragma once\n",
            "payload/P.cpp": '#include "loader/Step.h"\n',
            "loader/Step.h": '#include "payload/Missing.h"\n',
        }
        for name, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(root, name), "w") as out:
                out.write(text)
        found = violations(root)
        expected = [
            "VoFoundation/VoLow.h (foundation): includes loaderlog/Log.h",
            "VoUtil/VoRegistry/Key.cpp (registry): includes loaderlog/Log.h",
            "payload/P.cpp (payload): includes loader/Step.h",
            "loader/Step.h: includes \"payload/Missing.h\"",
        ]
        missed = [e for e in expected if not any(f.startswith(e) for f in found)]
        if missed or len(found) != len(expected):
            print("self-test failed; found:\n  " + "\n  ".join(found))
            return False
    return True


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    if not self_test():
        return 1
    found = violations(argv[1])
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layer order")
        return 1
    print("every product include points down the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
