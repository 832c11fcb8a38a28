#!/usr/bin/python3
"""The version block of the setup image, as exiftool reports it and as its
raw VS_VERSIONINFO structure holds it, for the version it was built as.

Usage: version_test.py IMAGE VERSION
"""
import json
import struct
import sys
import unittest

import imagelib

IMAGE, VERSION = sys.argv[1:3] if __name__ == "__main__" else (None, "")

STRINGS = [
    ("CompanyName", "Lumiran"),
    ("FileDescription", "Lumiran v%s Setup Installer" % VERSION),
    ("FileVersion", VERSION + ".0"),
    ("InternalName", "Lumiran-Setup"),
    ("OriginalFilename", "Lumiran-Setup-%s-x64.exe" % VERSION),
    ("ProductName", "Lumiran"),
    ("ProductVersion", VERSION + ".0"),
]


def exiftool(image):
    return json.loads(imagelib.run("exiftool", "-j", "-n", "-EXE:all", image))[0]


def text(node):
    return node.value.decode("utf-16-le").rstrip("\0")


class VersionByExiftool(unittest.TestCase):
    def test_fixed_fields(self):
        tags = exiftool(IMAGE)
        self.assertEqual(tags["FileVersionNumber"], VERSION + ".0")
        self.assertEqual(tags["ProductVersionNumber"], VERSION + ".0")
        self.assertEqual(tags["FileFlagsMask"], 0x3F)
        self.assertEqual(tags["FileFlags"], 0)
        self.assertEqual(tags["FileOS"], 0x40004)      # VOS_NT_WINDOWS32
        self.assertEqual(tags["ObjectFileType"], 1)    # VFT_APP
        self.assertEqual(tags["FileSubtype"], 0)
        self.assertEqual((tags["LanguageCode"], tags["CharacterSet"]), ("0409", "04B0"))

    def test_strings(self):
        tags = exiftool(IMAGE)
        # exiftool spells this one tag its own way
        names = {"OriginalFilename": "OriginalFileName"}
        for key, value in STRINGS:
            with self.subTest(key=key):
                self.assertEqual(str(tags.get(names.get(key, key))), value)


class VersionStructure(unittest.TestCase):
    def setUp(self):
        self.root = imagelib.version_tree(imagelib.resource(IMAGE, 16, 1))

    def test_fixed_file_info_beyond_what_exiftool_shows(self):
        self.assertEqual(self.root.key, "VS_VERSION_INFO")
        fields = struct.unpack("<13I", self.root.value)
        self.assertEqual(fields[:2], (0xFEEF04BD, 0x00010000))  # signature, structure version
        self.assertEqual(fields[11:], (0, 0))                   # file date

    def test_one_string_table_with_the_seven_strings_in_order(self):
        self.assertEqual([c.key for c in self.root.children], ["StringFileInfo", "VarFileInfo"])
        tables = self.root.children[0].children
        self.assertEqual([t.key for t in tables], ["040904b0"])
        self.assertEqual([(s.key, text(s)) for s in tables[0].children], STRINGS)
        for s in tables[0].children:
            with self.subTest(key=s.key):
                self.assertEqual(s.kind, 1, "string value not stored as text")

    def test_translation(self):
        var = self.root.children[1].children
        self.assertEqual([v.key for v in var], ["Translation"])
        self.assertEqual(var[0].value, struct.pack("<HH", 0x0409, 0x04B0))


if __name__ == "__main__":
    imagelib.main()
