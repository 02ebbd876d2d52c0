#!/usr/bin/env python3
"""Builds the language files the driver ships from their UTF-8 sources.

Each resources/language/src/<CODE>.txt is an INI text in UTF-8 ('#' starts a comment line)
holding the six sections and 58 keys in their fixed order. The matching
resources/language/<CODE>.lng is written as UTF-16LE with a byte-order mark and CRLF line
ends, which the system's profile reader takes in any system code page.

    tools/make_language_files.py           write every .lng file
    tools/make_language_files.py --check   fail when a .lng file is missing or out of date
"""

import argparse
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCE_DIR = ROOT / "resources" / "language" / "src"
OUTPUT_DIR = ROOT / "resources" / "language"

SECTIONS = [
    ("TRAY ICON MENU", "T", 7),
    ("START WIZARD", "W", 16),
    ("CONFIGURATION", "C", 10),
    ("CALIBRATION WINDOW", "CW", 3),
    ("MESSAGEBOX", "M", 12),
    ("CALIBRATION REPORT", "CR", 10),
]

# The reader hands over at most this many characters of a text.
MAX_TEXT_CHARS = 1023


class SourceError(Exception):
    pass


def expected_keys():
    return [(name, [f"{prefix}{n}" for n in range(1, count + 1)]) for name, prefix, count in SECTIONS]


def check_text(where, text):
    if text != text.strip():
        raise SourceError(f"{where}: blanks around the text would be lost when it is read")
    if len(text) >= 2 and text[0] in "\"'" and text[-1] == text[0]:
        raise SourceError(f"{where}: the reader would remove the surrounding quotes")
    if any(ord(c) < 0x20 for c in text):
        raise SourceError(f"{where}: control characters do not survive a profile line")
    if len(text) > MAX_TEXT_CHARS:
        raise SourceError(f"{where}: longer than {MAX_TEXT_CHARS} characters")


def parse_source(path):
    """Returns [(section, [(key, text), ...]), ...] in file order, checked against the layout."""
    sections = []
    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), start=1):
        where = f"{path.name}:{number}"
        line = raw.rstrip("\r")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        if line.startswith("["):
            if not line.endswith("]"):
                raise SourceError(f"{where}: unterminated section header")
            sections.append((line[1:-1], []))
            continue
        if "=" not in line:
            raise SourceError(f"{where}: expected KEY=text")
        if not sections:
            raise SourceError(f"{where}: key before the first section")
        key, text = line.split("=", 1)
        check_text(where, text)
        sections[-1][1].append((key, text))

    found = [(name, [key for key, _ in entries]) for name, entries in sections]
    if found != expected_keys():
        raise SourceError(
            f"{path.name}: sections and keys must be exactly, in order: "
            + "; ".join(f"[{name}] {', '.join(keys)}" for name, keys in expected_keys())
        )
    return sections


def render(sections):
    lines = []
    for index, (name, entries) in enumerate(sections):
        if index:
            lines.append("")
        lines.append(f"[{name}]")
        lines.extend(f"{key}={text}" for key, text in entries)
    return "\ufeff" + "\r\n".join(lines) + "\r\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="only verify the .lng files")
    args = parser.parse_args()

    sources = sorted(SOURCE_DIR.glob("*.txt"))
    if not sources:
        print(f"no sources in {SOURCE_DIR}", file=sys.stderr)
        return 1
    stale = []
    for source in sources:
        try:
            data = render(parse_source(source)).encode("utf-16-le")
        except SourceError as error:
            print(error, file=sys.stderr)
            return 1
        target = OUTPUT_DIR / (source.stem + ".lng")
        if args.check:
            if not target.exists() or target.read_bytes() != data:
                stale.append(target.name)
        else:
            target.write_bytes(data)
    if stale:
        print("out of date: " + ", ".join(stale) + " (run tools/make_language_files.py)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
