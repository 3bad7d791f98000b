#!/usr/bin/env python3
"""Copies a program file with another file version written into its version record.

The demo bank server offers the copy as the newer program, so the self-update can be tried
without building a second program. Usage: make_newer_program.py INPUT OUTPUT a.b.c.d
"""

import os
import pathlib
import struct
import sys

VERSION_KEY = "VS_VERSION_INFO\0".encode("utf-16-le")
SIGNATURE = 0xFEEF04BD
FILE_VERSION_OFFSET = 8  # dwFileVersionMS, dwFileVersionLS after the signature and struct version


def find_fixed_record(data):
    """Offset of the fixed record of the first VS_VERSION_INFO block, or None."""
    key = data.find(VERSION_KEY)
    while key != -1:
        if key >= 6:
            block = key - 6
            record = block + ((key + len(VERSION_KEY) - block + 3) & ~3)
            if (record + 52 <= len(data)
                    and struct.unpack_from("<I", data, record)[0] == SIGNATURE):
                return record
        key = data.find(VERSION_KEY, key + 1)
    return None


def parse_version(text):
    parts = [int(part) for part in text.split(".")]
    if len(parts) != 4 or any(not 0 <= part <= 0xFFFF for part in parts):
        raise ValueError(f"not a version a.b.c.d: {text}")
    return (parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]


def file_version(data):
    """The file version "a.b.c.d" recorded in the program bytes, or None."""
    record = find_fixed_record(data)
    if record is None:
        return None
    high, low = struct.unpack_from("<II", data, record + FILE_VERSION_OFFSET)
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, target, version = pathlib.Path(argv[0]), pathlib.Path(argv[1]), argv[2]
    data = bytearray(source.read_bytes())
    record = find_fixed_record(data)
    if record is None:
        sys.stderr.write(f"make_newer_program: {source} has no version record\n")
        return 1
    struct.pack_into("<II", data, record + FILE_VERSION_OFFSET, *parse_version(version))
    target.parent.mkdir(parents=True, exist_ok=True)
    temporary = target.with_name(target.name + ".tmp")
    temporary.write_bytes(data)
    os.chmod(temporary, 0o755)
    os.replace(temporary, target)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
