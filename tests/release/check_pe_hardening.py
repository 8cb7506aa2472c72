#!/usr/bin/env python3
"""Checks that Windows executables and DLLs are hardened and carry nothing of the
machine that built them.

For every file given, from its PE headers:
  - the machine is the one asked for (--machine x86: i386 and PE32; x64: AMD64 and PE32+);
  - DYNAMIC_BASE and NX_COMPAT are set, and HIGH_ENTROPY_VA on PE32+;
  - the base relocations are kept (a random base needs them): the relocation
    directory is not empty and the file does not say its relocations are stripped;
  - no section is both writable and executable;
  - the link time stamp is 0, in the file header and in the export directory;
and from its bytes: none of the --forbid strings (folders of the build), neither
as UTF-8 nor as UTF-16LE.

Usage: check_pe_hardening.py --machine x86|x64 [--forbid TEXT]... FILE...
Prints one line per file; exits 1 when any check fails, 2 on bad usage.
Only the standard library is used.
"""

import argparse
import struct
import sys

MACHINES = {"x86": (0x014C, 0x10B), "x64": (0x8664, 0x20B)}

IMAGE_FILE_RELOCS_STRIPPED = 0x0001
HIGH_ENTROPY_VA = 0x0020
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000
EXPORT_DIRECTORY = 0
BASE_RELOCATION_DIRECTORY = 5


class PeError(Exception):
    pass


def unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise PeError("truncated at offset %#x" % offset)
    return struct.unpack_from(fmt, data, offset)


def parse(data):
    """The header fields the checks need, as a dict."""
    if data[:2] != b"MZ":
        raise PeError("no MZ header")
    (pe_offset,) = unpack("<I", data, 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise PeError("no PE signature")
    coff = pe_offset + 4
    machine, section_count, time_stamp, _, _, optional_size, characteristics = unpack(
        "<HHIIIHH", data, coff)
    optional = coff + 20
    (magic,) = unpack("<H", data, optional)
    if magic == 0x10B:
        (dll_characteristics,) = unpack("<H", data, optional + 70)
        (directory_count,) = unpack("<I", data, optional + 92)
        directories = optional + 96
    elif magic == 0x20B:
        (dll_characteristics,) = unpack("<H", data, optional + 70)
        (directory_count,) = unpack("<I", data, optional + 108)
        directories = optional + 112
    else:
        raise PeError("unknown optional header magic %#x" % magic)
    directory = [unpack("<II", data, directories + 8 * i) for i in range(min(directory_count, 16))]
    sections = []
    table = optional + optional_size
    for i in range(section_count):
        name, virtual_size, virtual_address, raw_size, raw_offset = unpack("<8sIIII", data, table + 40 * i)
        (flags,) = unpack("<I", data, table + 40 * i + 36)
        sections.append({
            "name": name.rstrip(b"\0").decode("ascii", "replace"),
            "virtual_address": virtual_address, "virtual_size": max(virtual_size, raw_size),
            "raw_offset": raw_offset, "flags": flags})
    return {"machine": machine, "magic": magic, "time_stamp": time_stamp,
            "characteristics": characteristics, "dll_characteristics": dll_characteristics,
            "directories": directory, "sections": sections}


def file_offset(headers, rva):
    for section in headers["sections"]:
        start = section["virtual_address"]
        if start <= rva < start + section["virtual_size"]:
            return section["raw_offset"] + rva - start
    raise PeError("address %#x is in no section" % rva)


def directory(headers, index):
    entries = headers["directories"]
    return entries[index] if index < len(entries) else (0, 0)


def problems(data, machine, forbidden):
    """Every failed check of one file, as sentences; empty when it passes."""
    found = []
    try:
        headers = parse(data)
    except PeError as error:
        return ["not a PE file: %s" % error]

    want_machine, want_magic = MACHINES[machine]
    if (headers["machine"], headers["magic"]) != (want_machine, want_magic):
        found.append("machine %#x with optional header %#x, not %s" %
                     (headers["machine"], headers["magic"], machine))
    flags = headers["dll_characteristics"]
    wanted = [("DYNAMIC_BASE", DYNAMIC_BASE), ("NX_COMPAT", NX_COMPAT)]
    if headers["magic"] == 0x20B:
        wanted.append(("HIGH_ENTROPY_VA", HIGH_ENTROPY_VA))
    for name, bit in wanted:
        if not flags & bit:
            found.append("%s is not set (DllCharacteristics %#06x)" % (name, flags))

    relocations_rva, relocations_size = directory(headers, BASE_RELOCATION_DIRECTORY)
    if relocations_rva == 0 or relocations_size == 0:
        found.append("no base relocations: the loader cannot move it to a random base")
    if headers["characteristics"] & IMAGE_FILE_RELOCS_STRIPPED:
        found.append("the file header says its relocations are stripped")

    for section in headers["sections"]:
        if section["flags"] & SCN_MEM_WRITE and section["flags"] & SCN_MEM_EXECUTE:
            found.append("section %s is both writable and executable" % section["name"])

    if headers["time_stamp"] != 0:
        found.append("link time stamp %#x in the file header" % headers["time_stamp"])
    export_rva, export_size = directory(headers, EXPORT_DIRECTORY)
    if export_rva and export_size:
        try:
            (export_time,) = unpack("<I", data, file_offset(headers, export_rva) + 4)
            if export_time != 0:
                found.append("time stamp %#x in the export directory" % export_time)
        except PeError as error:
            found.append("export directory unreadable: %s" % error)

    for text in forbidden:
        for encoding in ("utf-8", "utf-16-le"):
            if text.encode(encoding) in data:
                found.append("contains %r (%s)" % (text, encoding))
    return found


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--machine", required=True, choices=sorted(MACHINES))
    parser.add_argument("--forbid", action="append", default=[], metavar="TEXT")
    parser.add_argument("files", nargs="+", metavar="FILE")
    args = parser.parse_args(argv)
    # A folder ends without a slash here, so a path inside it is found as well.
    forbidden = [text.rstrip("/") for text in args.forbid if text.rstrip("/")]

    failed = False
    for path in args.files:
        try:
            with open(path, "rb") as handle:
                data = handle.read()
        except OSError as error:
            print("FAIL %s: %s" % (path, error))
            failed = True
            continue
        found = problems(data, args.machine, forbidden)
        if found:
            failed = True
            for sentence in found:
                print("FAIL %s: %s" % (path, sentence))
        else:
            print("ok   %s: %s, hardened, no time stamp, none of %d forbidden strings" %
                  (path, args.machine, len(forbidden)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
