#!/usr/bin/env python3
"""Writes a zip archive whose bytes depend only on the files put in it.

Entries are written in the order given, each with the same time (from
SOURCE_DATE_EPOCH, in UTC; zip cannot say anything before 1980), permissions
0644, deflated at level 9, and no extra fields: the same files make the same
archive on any machine, in any folder, at any time.

Usage: reproducible_zip.py OUTPUT.zip EPOCH NAME=FILE...
  NAME is the path inside the archive, FILE the file to read.
"""

import sys
import time
import zipfile

ZIP_EARLIEST = (1980, 1, 1, 0, 0, 0)


def entry_time(epoch):
    moment = time.gmtime(epoch)[:6]
    return max(moment, ZIP_EARLIEST)


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__.strip().splitlines()[-2])
    output, epoch, entries = argv[0], int(argv[1]), argv[2:]
    date_time = entry_time(epoch)
    names = set()
    with zipfile.ZipFile(output, "w") as archive:
        for entry in entries:
            name, separator, path = entry.partition("=")
            if not separator or not name or not path:
                sys.exit("reproducible_zip: not NAME=FILE: %r" % entry)
            if name in names:
                sys.exit("reproducible_zip: %s given twice" % name)
            names.add(name)
            with open(path, "rb") as handle:
                data = handle.read()
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 3  # Unix, whatever this machine is: the permissions below are Unix ones
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    main(sys.argv[1:])
