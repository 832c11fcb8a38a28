"""Checks of finished installs: a wrong verdict here would let a benchmark
time an install that did not happen, or reject a good one."""

import os
import shutil
import tempfile
import unittest

import checks

INSTALL_DIR = r"C:\users\u1\AppData\Local\Programs\Lumiran"
VERSION = "10.20.300"

USER_REG = r'''WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\User\\S-1-5-21-0-0-0-1000

[Software\\Microsoft\\Windows\\CurrentVersion\\Run] 1796800964
#time=1dd87ae153efdf8

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumiran] 1796800979
#time=1dd87ae1e2cf78a
"DisplayIcon"="C:\\users\\u1\\AppData\\Local\\Programs\\Lumiran\\Lumiran.exe,0"
"DisplayName"="Lumiran"
"DisplayVersion"="10.20.300"
"EstimatedSize"=dword:00000400
"InstallLocation"="C:\\users\\u1\\AppData\\Local\\Programs\\Lumiran"
"NoModify"=dword:00000001
"NoRepair"=dword:00000001
"Publisher"="Lumiran"
"UninstallString"="\"C:\\users\\u1\\AppData\\Local\\Programs\\Lumiran\\Lumiran-Uninstall.exe\" /uninstall"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumiran2] 1796800979
"DisplayName"="Other"
'''


class RegistryFile(unittest.TestCase):
    def test_reads_the_nine_values_as_the_installers_write_them(self):
        values = checks.read_key(USER_REG, checks.UNINSTALL_KEY)
        self.assertEqual(values, checks.expected_registration(INSTALL_DIR, VERSION))

    def test_key_paths_match_without_case_and_stop_at_the_next_key(self):
        values = checks.read_key(USER_REG, checks.UNINSTALL_KEY.upper())
        self.assertNotIn("Other", [data for _, data in values.values()])
        self.assertEqual(len(values), 9)

    def test_an_absent_key_is_none_and_an_empty_one_has_no_values(self):
        self.assertIsNone(checks.read_key(USER_REG, r"Software\Lumiran"))
        self.assertEqual(checks.read_key(USER_REG, checks.RUN_KEY), {})

    def test_escapes_and_continued_lines(self):
        text = ('[K] 0\n"a"="tab\\there \\"q\\" \\x4e2d"\n"b"=hex:01,02,\\\n  03\n')
        values = checks.read_key(text, "K")
        self.assertEqual(values["a"], ("sz", 'tab\there "q" \u4e2d'))
        self.assertEqual(values["b"], ("raw", "hex:01,02,  03"))

    def test_planted_run_value_is_seen_in_an_existing_or_a_missing_run_key(self):
        for label, text in (("existing key", USER_REG), ("no key", "WINE REGISTRY Version 2\n")):
            with self.subTest(label):
                run = checks.read_key(checks.plant_run_value(text), checks.RUN_KEY)
                self.assertEqual(run, {checks.RUN_VALUE: ("sz", checks.STALE_RUN_DATA)})
        planted = checks.plant_run_value(USER_REG)
        self.assertEqual(checks.read_key(planted, checks.UNINSTALL_KEY),
                         checks.read_key(USER_REG, checks.UNINSTALL_KEY))


class InstallState(unittest.TestCase):
    """A prefix laid out by hand as a good install leaves it, then broken in
    one way at a time."""

    def setUp(self):
        self.root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.root)
        self.payload = self._file("payload.exe", b"MZ" + os.urandom(5000))
        self.installer = self._file("setup.exe", b"MZ" + os.urandom(3000))
        self.prefix = os.path.join(self.root, "prefix")
        os.makedirs(os.path.join(self.prefix, "drive_c", "users", "Public"))
        self.layout = checks.Layout(self.prefix, "u1")
        for path in (self.layout.exe, self.layout.desktop_link, self.layout.programs_link):
            os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copyfile(self.payload, self.layout.exe)
        shutil.copyfile(self.installer, self.layout.uninstaller)
        for link in (self.layout.desktop_link, self.layout.programs_link):
            self._write(link, checks.SHELL_LINK_HEADER + b"\0" * 60)
        self._write(os.path.join(self.prefix, "user.reg"), USER_REG.encode())

    def _file(self, name, data):
        path = os.path.join(self.root, name)
        self._write(path, data)
        return path

    @staticmethod
    def _write(path, data):
        with open(path, "wb") as f:
            f.write(data)

    def _reg(self, old, new):
        path = os.path.join(self.prefix, "user.reg")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text)
        self._write(path, text.replace(old, new, 1).encode())

    def problems(self, uninstaller_source="installer"):
        source = self.installer if uninstaller_source == "installer" else uninstaller_source
        return checks.install_problems(self.prefix, self.payload, VERSION, source)

    def test_a_complete_install_has_no_problem(self):
        self.assertEqual(self.problems(), [])
        self.assertEqual(self.problems(uninstaller_source=None), [])

    def test_each_fault_is_named(self):
        with open(self.payload, "rb") as f:
            flipped = bytearray(f.read())
        flipped[-1] ^= 1
        faults = {
            "differs from the payload": lambda: self._write(self.layout.exe, bytes(flipped)),
            "Lumiran.exe has 2 bytes": lambda: self._write(self.layout.exe, b"MZ"),
            "not a copy of the installer": lambda: self._write(self.layout.uninstaller, b"MZ"),
            "Programs shortcut is missing": lambda: os.remove(self.layout.programs_link),
            "Desktop shortcut is not a shell link": lambda: self._write(self.layout.desktop_link, b"XXXXXXXXXXXX"),
            "registration NoRepair": lambda: self._reg('"NoRepair"=dword:00000001\n', ""),
            "registration InstallLocation": lambda: self._reg(r'Programs\\Lumiran"', r'Programs\\Lumiran\\"'),
            "extra value InstallDate": lambda: self._reg('"NoModify"', '"InstallDate"="20260101"\n"NoModify"'),
            "Run value Lumiran is still there": lambda: self._write(
                os.path.join(self.prefix, "user.reg"), checks.plant_run_value(USER_REG).encode()),
        }
        for expected, breaks in faults.items():
            with self.subTest(fault=expected):
                self.setUp()
                breaks()
                found = self.problems()
                self.assertEqual(len(found), 1, found)
                self.assertIn(expected, found[0])

    def test_a_registry_dump_from_a_running_session_replaces_user_reg(self):
        self._reg('"NoRepair"=dword:00000001\n', "")
        self.assertEqual(checks.install_problems(self.prefix, self.payload, VERSION, self.installer, USER_REG), [])
        dump = checks.plant_run_value(USER_REG)
        self.assertEqual(checks.install_problems(self.prefix, self.payload, VERSION, self.installer, dump),
                         ["the Run value Lumiran is still there"])

    def test_a_separate_uninstaller_need_only_be_an_executable(self):
        self._write(self.layout.uninstaller, b"PK not a program")
        self.assertEqual(self.problems(uninstaller_source=None), ["Lumiran-Uninstall.exe is not an executable"])

    def test_the_profile_is_found_beside_public(self):
        self.assertEqual(checks.profile_user(self.prefix), "u1")
        os.makedirs(os.path.join(self.prefix, "drive_c", "users", "u2"))
        with self.assertRaises(RuntimeError):
            checks.profile_user(self.prefix)


if __name__ == "__main__":
    unittest.main()
