#!/usr/bin/python3
"""Copies a UTF-8 source file to DESTINATION converted to GB18030.

    copy-as-gb18030.py SOURCE DESTINATION

iconv does the conversion, as it does for GCC's -fexec-charset. The copy is
refused when a two-byte character ends in the byte of "\\": clang would read
that byte as an escape inside a literal, or as a line continuation at the
end of a comment, and the copy would no longer mean what the source says.
"""

import os
import subprocess
import sys

BACKSLASH = 0x5C


def first_backslash_trail(data):
    """Offset of the first two-byte character ending in 0x5C, else None."""
    i = 0
    while i < len(data):
        if data[i] < 0x80:
            i += 1
        elif i + 1 < len(data) and 0x30 <= data[i + 1] <= 0x39:
            i += 4  # four-byte sequence: its second and fourth bytes are digits
        elif i + 1 < len(data) and data[i + 1] == BACKSLASH:
            return i
        else:
            i += 2
    return None


def main():
    source, destination = sys.argv[1:]
    converted = subprocess.run(["iconv", "-f", "UTF-8", "-t", "GB18030", source],
                               check=True, stdout=subprocess.PIPE).stdout
    at = first_backslash_trail(converted)
    if at is not None:
        line = converted.count(b"\n", 0, at) + 1
        sys.exit(f"{source}:{line}: this character ends in a backslash byte in GB18030; "
                 "write it as \\x escapes")
    os.makedirs(os.path.dirname(destination), exist_ok=True)
    with open(destination, "wb") as out:
        out.write(converted)


if __name__ == "__main__":
    main()
