#!/usr/bin/env python3
"""Compiles a readable skin source into the binary ".SHE" skin format, version 1.

Usage: compile_skin.py SOURCE OUTPUT

The source holds "key = value" lines; a line whose first non-blank character is
'#' is a comment (colours are written #RRGGBB, so there are no trailing comments).
Keys:
  name               text, at most 63 bytes (optional)
  background.top     #RRGGBB (required)
  background.bottom  #RRGGBB (required)
  frame.colour       #RRGGBB (optional, with frame.width)
  frame.width        0..16 pixels (optional, with frame.colour)
"""

import re
import struct
import sys
import zlib

MAGIC = b".SHE"
VERSION = 1
TAG_NAME = 0x0001
TAG_BACKGROUND = 0x0010
TAG_FRAME = 0x0011
KEYS = {"name", "background.top", "background.bottom", "frame.colour", "frame.width"}


def fail(source, line_number, message):
    where = f"{source}:{line_number}: " if line_number else f"{source}: "
    sys.exit(f"compile_skin: {where}{message}")


def read_source(path):
    values = {}
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if "=" not in line:
                fail(path, number, "expected 'key = value'")
            key, value = (part.strip() for part in line.split("=", 1))
            if key not in KEYS:
                fail(path, number, f"unknown key '{key}'")
            if key in values:
                fail(path, number, f"'{key}' given twice")
            values[key] = (value, number)
    return values


def colour(path, values, key):
    value, number = values[key]
    if not re.fullmatch(r"#[0-9A-Fa-f]{6}", value):
        fail(path, number, f"'{key}' must be #RRGGBB, not '{value}'")
    return bytes.fromhex(value[1:])


def record(tag, payload):
    return struct.pack("<HH", tag, len(payload)) + payload


def compile_skin(path):
    values = read_source(path)
    records = []
    if "name" in values:
        name = values["name"][0].encode("utf-8")
        if not 1 <= len(name) <= 63:
            fail(path, values["name"][1], "'name' must be 1 to 63 bytes")
        records.append(record(TAG_NAME, name))
    for key in ("background.top", "background.bottom"):
        if key not in values:
            fail(path, 0, f"'{key}' is required")
    records.append(record(TAG_BACKGROUND, colour(path, values, "background.top") +
                          colour(path, values, "background.bottom")))
    if ("frame.colour" in values) != ("frame.width" in values):
        fail(path, 0, "'frame.colour' and 'frame.width' go together")
    if "frame.colour" in values:
        width_text, number = values["frame.width"]
        if not width_text.isdigit() or int(width_text) > 16:
            fail(path, number, "'frame.width' must be 0 to 16")
        records.append(record(TAG_FRAME, colour(path, values, "frame.colour") +
                              bytes([int(width_text)])))
    area = b"".join(records)
    header = MAGIC + struct.pack("<HHII", VERSION, len(records), len(area), zlib.adler32(area))
    return header + area


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = compile_skin(sys.argv[1])
    with open(sys.argv[2], "wb") as output:
        output.write(data)


if __name__ == "__main__":
    main()
