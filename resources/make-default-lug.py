#!/usr/bin/env python3
"""Builds default.lug, the built-in English language file, from default-lug.txt.

The text source is UTF-8 so that it can be reviewed and edited as text; the
language file is UTF-16LE with byte-order mark and CR LF line ends. Lines of
the source that start with "#" are notes and are not copied.

    make-default-lug.py           write default.lug beside this script
    make-default-lug.py --check   exit 1 when default.lug is not up to date
"""
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = HERE / "default-lug.txt"
TARGET = HERE / "default.lug"

MAX_LINE_CHARS = 799          # "number=text" as the language library reads it
SECTION_BUFFER_CHARS = 18000  # every line with its terminator, plus one


def fail(message):
    sys.exit(f"{SOURCE.name}: {message}")


def build():
    lines = [l for l in SOURCE.read_text(encoding="utf-8").splitlines() if not l.startswith("#")]
    if not lines or lines[0] != "[App]":
        fail('the first line must be "[App]"')
    seen = set()
    used = 1
    for number, line in enumerate(lines[1:], start=2):
        match = re.fullmatch(r"(\d+)=(.*)", line)
        if not match:
            fail(f'item {number - 1} is not "number=text": {line!r}')
        if match.group(1) in seen:
            fail(f"item number {match.group(1)} appears twice")
        seen.add(match.group(1))
        # The library counts UTF-16 units.
        units = len(line.encode("utf-16-le")) // 2
        if units > MAX_LINE_CHARS:
            fail(f"item {match.group(1)} is longer than {MAX_LINE_CHARS} characters")
        used += units + 1
    if used > SECTION_BUFFER_CHARS:
        fail(f"the section needs {used} characters, more than {SECTION_BUFFER_CHARS}")
    return b"\xff\xfe" + "".join(l + "\r\n" for l in lines).encode("utf-16-le")


def main():
    data = build()
    if sys.argv[1:] == ["--check"]:
        if not TARGET.exists() or TARGET.read_bytes() != data:
            sys.exit(f"{TARGET.name} is out of date: run {pathlib.Path(__file__).name}")
        return
    if sys.argv[1:]:
        sys.exit(__doc__)
    TARGET.write_bytes(data)


if __name__ == "__main__":
    main()
