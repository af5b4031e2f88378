#!/usr/bin/env python3
"""Prints every failure number the programs can show, read from their sources: the first
argument of each `Failure(...)` construction, a literal or a named constant (the file's own, a
header's, or one of `failure::`).
    failure_numbers.py SOURCE_DIR/src
"""
import pathlib
import re
import sys

CONSTANT = re.compile(r"constexpr\s+std::u?int32_t\s+(k\w+)\s*=\s*(\d+)\s*;")
RAISED = re.compile(r"\bFailure\(\s*(?:static_cast<[^>]*>\(\s*)?(failure::)?(\w+)")


def main(source: pathlib.Path) -> None:
    files = {path: path.read_text(errors="replace") for path in source.rglob("*") if path.suffix in (".cpp", ".h")}
    shared = {}      # constants of headers, usable everywhere
    own = {}         # each file's own constants
    for path, text in files.items():
        constants = dict(CONSTANT.findall(text))
        own[path] = constants
        if path.suffix == ".h" and path.name != "failure.h":
            shared.update(constants)
    named = dict(CONSTANT.findall(files[source / "store/jet/failure.h"]))
    numbers = set()
    for path, text in files.items():
        for qualified, name in RAISED.findall(text):
            if name.isdigit():
                numbers.add(int(name))
            elif qualified:
                numbers.add(int(named[name]))
            elif name in own[path]:
                numbers.add(int(own[path][name]))
            elif name in shared:
                numbers.add(int(shared[name]))
    print("\n".join(str(n) for n in sorted(numbers)))


if __name__ == "__main__":
    main(pathlib.Path(sys.argv[1]))
