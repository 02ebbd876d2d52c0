#!/usr/bin/env python3
"""Fails when a Windows executable imports a DLL that Windows might load from the program's
own folder.

The driver runs elevated. A DLL it imports by name is looked for in its own folder first,
unless Windows always takes that DLL from the system folder (the KnownDLLs) or the program's
manifest binds it to a side-by-side assembly. Anything else must be loaded at run time by
full path (platform/win32/SystemLibraries.h). Both the ordinary and the delay-load import
tables are read, for 32-bit and 64-bit executables alike.

usage: check_imports.py <exe>...
"""
import struct
import sys

# Windows 7 and later take these from the system folder whatever the program's folder holds.
KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll",
    "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll",
    "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "wldap32.dll", "ws2_32.dll",
}
# Bound by the manifest (resources/Tavelo.manifest) to the Common-Controls 6 assembly, which
# the loader takes from the side-by-side store before it looks in any folder.
MANIFEST_BOUND = {"comctl32.dll"}
ALLOWED = KNOWN_DLLS | MANIFEST_BOUND


def read_imports(data):
    """The names of the DLLs in the import and delay-import tables."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    sections = []
    for i in range(sections_count):
        header = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from(
            "<IIII", data, header + 8)
        sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(rva):
        for address, size, raw in sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError("address outside every section: 0x%x" % rva)

    def name_at(rva):
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii").lower()

    names = []
    # Directory 1: imports, 20-byte entries with the name at +12. Directory 13: delay imports,
    # 32-byte entries with the name at +4.
    for index, entry_size, name_field in ((1, 20, 12), (13, 32, 4)):
        rva, size = struct.unpack_from("<II", data, directories + 8 * index)
        if rva == 0 or size == 0:
            continue
        at = offset(rva)
        while True:
            entry = data[at:at + entry_size]
            if len(entry) < entry_size or entry == b"\0" * entry_size:
                break
            names.append(name_at(struct.unpack_from("<I", entry, name_field)[0]))
            at += entry_size
    return names


def main(paths):
    failed = False
    for path in paths:
        with open(path, "rb") as file:
            names = read_imports(file.read())
        refused = sorted(set(name for name in names if name not in ALLOWED))
        print("%s imports: %s" % (path, " ".join(names)))
        if refused:
            print("%s: DLLs that may be loaded from the program's folder: %s" %
                  (path, " ".join(refused)))
            failed = True
        if not names:
            print("%s: no import table found" % path)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1:]))
