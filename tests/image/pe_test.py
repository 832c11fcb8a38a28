#!/usr/bin/python3
"""The setup image's PE headers and import table: a self-contained x64 GUI
program with ASLR and DEP, no writable code, delay-load address tables
apart from the code, no timestamps and no build paths.

Usage: pe_test.py IMAGE PAYLOAD SOURCE_DIR BINARY_DIR
"""
import collections
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
               "ole32.dll", "comctl32.dll", "wtsapi32.dll", "msvcrt.dll"}

HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x20, 0x40, 0x100
SCN_MEM_EXECUTE, SCN_MEM_WRITE = 0x20000000, 0x80000000


Section = collections.namedtuple("Section", "name flags rva size header")


def headers(data):
    """(TimeDateStamp, [Section]) of a PE file; header is the offset of its header."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise AssertionError("no PE signature")
    _machine, sections, timestamp, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    table = pe + 24 + optional_size
    found = []
    for i in range(sections):
        name, size, rva, raw_size, characteristics = struct.unpack_from("<8sIII16xI", data, table + 40 * i)
        found.append(Section(name.rstrip(b"\0").decode(), characteristics, rva, max(size, raw_size),
                             table + 40 * i))
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
        for section in sections:
            with self.subTest(section=section.name):
                self.assertNotEqual(section.flags & (SCN_MEM_WRITE | SCN_MEM_EXECUTE),
                                    SCN_MEM_WRITE | SCN_MEM_EXECUTE)

    def test_no_timestamps(self):
        timestamp, _ = headers(Path(IMAGE).read_bytes())
        self.assertEqual(timestamp, 0)
        stamps = re.findall(r"Time: ([0-9a-f]+)", self.dump)
        self.assertTrue(stamps, "no resource directory in objdump -p")
        self.assertEqual(set(stamps), {"00000000"}, "resource directory timestamps")
        self.assertRegex(self.dump, r"Entry 6 0+ 0+ Debug Directory")


def delay_imports(data):
    """{dll: (address table RVA, [(name or None, ordinal or None)])} from the
    delay-load descriptors.

    GNU ld leaves the delay-import data directory empty, so the descriptors
    (version-2 ImgDelayDescr records, attribute 1, RVAs) are found by
    scanning the image for records whose fields all land in it consistently.
    """
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections_count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional_size
    sections = [struct.unpack_from("<8xIIII", data, table + 40 * i) for i in range(sections_count)]

    def offset(rva):
        for size, address, raw_size, raw in sections:
            if address <= rva < address + max(size, raw_size) and rva - address < raw_size:
                return raw + rva - address
        return None

    def c_string(rva):
        at = offset(rva)
        if at is None:
            return None
        end = data.find(b"\0", at, at + 64)
        text = data[at:end]
        return text.decode() if end > at and re.fullmatch(rb"[A-Za-z0-9_.]+", text) else None

    found = {}
    for at in range(0, len(data) - 32, 4):
        attrs, name_rva, module_rva, iat_rva, int_rva = struct.unpack_from("<5I", data, at)
        if attrs != 1 or not (name_rva and module_rva and iat_rva and int_rva):
            continue
        dll = c_string(name_rva)
        thunks = offset(int_rva)
        if not dll or not dll.lower().endswith(".dll") or thunks is None:
            continue
        entries = []
        while True:
            (thunk,) = struct.unpack_from("<Q", data, thunks + 8 * len(entries))
            if thunk == 0:
                break
            if thunk >> 63:
                entries.append((None, thunk & 0xFFFF))
            else:
                name_at = offset(thunk)
                entries.append((c_string(thunk + 2) if name_at is not None else "?", None))
        found[dll] = (iat_rva, entries)
    return found


def section_of(sections, rva):
    return next(s for s in sections if s.rva <= rva < s.rva + s.size)


class Imports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.table = imagelib.imports(imagelib.objdump_private(IMAGE))
        cls.delayed = delay_imports(Path(IMAGE).read_bytes())

    def test_only_dlls_that_ship_with_windows(self):
        self.assertTrue(self.table, "no import table found")
        self.assertLessEqual({dll.lower() for dll in self.table}, SYSTEM_DLLS)
        self.assertLessEqual({dll.lower() for dll in self.delayed}, SYSTEM_DLLS)

    def test_only_kernel32_and_the_c_runtime_load_before_the_entry_point(self):
        # Everything else is delay-loaded, after the DLL search is restricted.
        self.assertEqual({dll.lower() for dll in self.table}, {"kernel32.dll", "msvcrt.dll"})
        self.assertEqual({dll.lower() for dll in self.delayed},
                         {"advapi32.dll", "comctl32.dll", "ole32.dll", "shell32.dll", "user32.dll", "wtsapi32.dll"})

    def test_starts_on_a_windows_without_set_default_dll_directories(self):
        # Windows 7 without its 2011 loader update lacks them: looked up at run time.
        names = [name for entries in self.table.values() for name, _ in entries]
        for missing in ("SetDefaultDllDirectories", "AddDllDirectory"):
            self.assertNotIn(missing, names)
        self.assertIn("SetDllDirectoryW", names)

    def test_no_delay_loaded_function_takes_a_floating_point_argument(self):
        # 2.40's dlltool stubs keep no xmm register. Each takes no float or double (345: TaskDialogIndirect).
        known = {"RegCloseKey", "RegCreateKeyExW", "RegDeleteTreeW", "RegDeleteValueW", "RegSetValueExW", 345,
                 "InitCommonControlsEx", "SHGetKnownFolderPath", "ShellExecuteW", "FindWindowW", "IsWindow",
                 "GetWindowThreadProcessId", "MessageBoxW", "PostMessageW", "CoCreateInstance", "CoInitializeEx",
                 "CoTaskMemFree", "CoUninitialize", "OpenProcessToken", "GetTokenInformation",
                 "ConvertSidToStringSidW", "ConvertStringSidToSidW", "LookupAccountSidW",
                 "WTSQuerySessionInformationW", "WTSFreeMemory"}
        called = {name or ordinal for _, entries in self.delayed.values() for name, ordinal in entries}
        self.assertEqual(called - known, set(), "not checked for floating-point arguments")

    def test_task_dialog_bound_by_its_version_6_ordinal(self):
        comctl32 = next(v for k, (_, v) in self.delayed.items() if k.lower() == "comctl32.dll")
        self.assertIn((None, 345), comctl32)  # TaskDialogIndirect
        self.assertIn(("InitCommonControlsEx", None), comctl32)
        self.assertNotIn("TaskDialogIndirect", [name for name, _ in comctl32])
        self.assertNotIn(b"TaskDialogIndirect", Path(IMAGE).read_bytes())


class DelayLoadTables(unittest.TestCase):
    def test_every_table_lies_in_one_section_without_code(self):
        # The helper makes an entry's page writable, and so not executable,
        # for its write: a page of code there would crash.
        data = Path(IMAGE).read_bytes()
        sections = headers(data)[1]
        for dll, (iat, entries) in delay_imports(data).items():
            with self.subTest(dll=dll):
                home = section_of(sections, iat)
                self.assertEqual(home, section_of(sections, iat + 8 * len(entries)))
                self.assertFalse(home.flags & SCN_MEM_EXECUTE, "in the code section " + home.name)


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
