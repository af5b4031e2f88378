#!/usr/bin/env python3
"""Prints every failure number the programs can raise: the numbers declared in the one header
that lists them (src/store/jet/failure.h), the data-access engine's and the runtime's.
    failure_numbers.py SOURCE_DIR/src
"""
import pathlib
import re
import sys

CONSTANT = re.compile(r"inline\s+constexpr\s+std::int32_t\s+k\w+\s*=\s*(\d+)\s*;")


def main(source: pathlib.Path) -> None:
    header = (source / "store/jet/failure.h").read_text()
    numbers = sorted({int(n) for n in CONSTANT.findall(header)})
    print("\n".join(str(n) for n in numbers))


if __name__ == "__main__":
    main(pathlib.Path(sys.argv[1]))
