#!/usr/bin/env python3
"""Prints the version resource of a Windows executable, one NAME=VALUE a line: the fixed part's
FileVersion and ProductVersion (a.b.c.d) and every string of its StringFileInfo table.
    version_resource.py PROGRAM.exe
Exit status 1 when the file has no version resource.
"""
import struct
import sys

SIGNATURE = 0xFEEF04BD


def utf16(text: str) -> bytes:
    return text.encode("utf-16-le")


def string_at(data: bytes, offset: int) -> tuple[str, int]:
    """The zero-terminated UTF-16 string at offset, and the offset after its terminator."""
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def aligned(offset: int) -> int:
    return (offset + 3) & ~3


def strings(data: bytes, start: int, end: int) -> dict[str, str]:
    """The String entries (wLength, wValueLength, wType, key, padding, value) of one table."""
    found = {}
    offset = start
    while offset + 6 < end:
        length, value_length, _ = struct.unpack_from("<HHH", data, offset)
        if length == 0:
            break
        key, after_key = string_at(data, offset + 6)
        value = ""
        if value_length:
            value, _ = string_at(data, aligned(after_key))
        found[key] = value
        offset = aligned(offset + length)
    return found


def main(path: str) -> int:
    data = open(path, "rb").read()
    key = data.find(utf16("VS_VERSION_INFO\0"))
    if key < 0:
        print(f"{path}: no version resource", file=sys.stderr)
        return 1
    block = key - 6
    block_length = struct.unpack_from("<H", data, block)[0]
    fixed = aligned(key + len(utf16("VS_VERSION_INFO\0")))
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, fixed)
    if signature != SIGNATURE:
        print(f"{path}: the version resource has no fixed part", file=sys.stderr)
        return 1
    dotted = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    print(f"FixedFileVersion={dotted(file_ms, file_ls)}")
    print(f"FixedProductVersion={dotted(product_ms, product_ls)}")
    table = data.find(utf16("StringFileInfo\0"), block, block + block_length)
    if table >= 0:
        # StringFileInfo > StringTable (its key is the language, 8 characters) > String...
        string_table = aligned(table + len(utf16("StringFileInfo\0")))
        table_length = struct.unpack_from("<H", data, string_table)[0]
        _, first = string_at(data, string_table + 6)
        for name, value in strings(data, aligned(first), string_table + table_length).items():
            print(f"{name}={value}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
