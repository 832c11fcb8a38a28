#!/usr/bin/python3
"""The setup image's PE headers and import table: a self-contained x64 GUI
program with ASLR and DEP, no writable code, no timestamps and no build
paths.

Usage: pe_test.py IMAGE PAYLOAD SOURCE_DIR BINARY_DIR
"""
import re
import struct
import sys
import unittest
from pathlib import Path

import imagelib

if __name__ == "__main__":
    IMAGE, PAYLOAD, SOURCE_DIR, BINARY_DIR = sys.argv[1:5]

# The services the program calls, and the C runtime that mingw-w64's static
# runtime sits on; every one ships with Windows.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll",
               "ole32.dll", "comctl32.dll", "msvcrt.dll"}

HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x20, 0x40, 0x100
SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x20000000, 0x80000000


def headers(data):
    """(TimeDateStamp, [(section name, characteristics)]) of a PE file."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise AssertionError("no PE signature")
    _machine, sections, timestamp, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    table = pe + 24 + optional_size
    found = []
    for i in range(sections):
        name, characteristics = struct.unpack_from("<8s28xI", data, table + 40 * i)
        found.append((name.rstrip(b"\0").decode(), characteristics))
    return timestamp, found


class PeHeaders(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dump = imagelib.objdump_private(IMAGE)

    def field(self, name):
        m = re.search(r"^%s\s+(\S+)" % name, self.dump, re.M)
        self.assertIsNotNone(m, name + " missing from objdump -p")
        return int(m.group(1), 16)

    def test_x64_gui_program(self):
        self.assertIn("file format pei-x86-64", self.dump)
        self.assertEqual(self.field("Magic"), 0x20B)  # PE32+
        self.assertEqual(self.field("Subsystem"), 2)  # Windows GUI

    def test_aslr_and_dep(self):
        flags = self.field("DllCharacteristics")
        for name, bit in (("HIGH_ENTROPY_VA", HIGH_ENTROPY_VA), ("DYNAMIC_BASE", DYNAMIC_BASE),
                          ("NX_COMPAT", NX_COMPAT)):
            with self.subTest(flag=name):
                self.assertTrue(flags & bit, "DllCharacteristics 0x%x" % flags)

    def test_no_section_both_writable_and_executable(self):
        _, sections = headers(Path(IMAGE).read_bytes())
        for name, characteristics in sections:
            with self.subTest(section=name):
                self.assertNotEqual(characteristics & (SCN_MEM_WRITE | SCN_MEM_EXECUTE),
                                    SCN_MEM_WRITE | SCN_MEM_EXECUTE)

    def test_no_timestamps(self):
        timestamp, _ = headers(Path(IMAGE).read_bytes())
        self.assertEqual(timestamp, 0)
        stamps = re.findall(r"Time: ([0-9a-f]+)", self.dump)
        self.assertTrue(stamps, "no resource directory in objdump -p")
        self.assertEqual(set(stamps), {"00000000"}, "resource directory timestamps")
        self.assertRegex(self.dump, r"Entry 6 0+ 0+ Debug Directory")


class Imports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.table = imagelib.imports(imagelib.objdump_private(IMAGE))

    def test_only_dlls_that_ship_with_windows(self):
        self.assertTrue(self.table, "no import table found")
        self.assertLessEqual({dll.lower() for dll in self.table}, SYSTEM_DLLS)

    def test_task_dialog_bound_by_its_version_6_ordinal(self):
        comctl32 = next(v for k, v in self.table.items() if k.lower() == "comctl32.dll")
        self.assertIn((None, 345), comctl32)  # TaskDialogIndirect
        self.assertNotIn("TaskDialogIndirect", [name for name, _ in comctl32])


class NoBuildPaths(unittest.TestCase):
    def test_no_build_or_source_path_in_the_image(self):
        # The payload is an input and may carry whatever its own build put there.
        data = Path(IMAGE).read_bytes().replace(Path(PAYLOAD).read_bytes(), b"")
        for path in (SOURCE_DIR, BINARY_DIR, "/build/", "/usr/"):
            for encoding in ("utf-8", "utf-16-le"):
                with self.subTest(path=path, encoding=encoding):
                    self.assertNotIn(path.encode(encoding), data)


if __name__ == "__main__":
    imagelib.main()
