#!/usr/bin/python3
"""IDR_PAYLOAD in the setup image is the suite executable, byte for byte.

Usage: payload_test.py IMAGE PAYLOAD
"""
import re
import sys
import unittest
from pathlib import Path

import imagelib

if __name__ == "__main__":
    IMAGE, PAYLOAD = sys.argv[1:3]


class Payload(unittest.TestCase):
    def test_resource_is_the_suite_file_byte_for_byte(self):
        embedded = imagelib.resource(IMAGE, 10, 201)
        expected = Path(PAYLOAD).read_bytes()
        self.assertEqual(len(embedded), len(expected))
        self.assertTrue(embedded == expected, "IDR_PAYLOAD differs from " + PAYLOAD)

    def test_payload_is_an_x64_gui_program(self):
        dump = imagelib.objdump_private(PAYLOAD)
        self.assertIn("file format pei-x86-64", dump)
        self.assertRegex(dump, re.compile(r"^Subsystem\s+00000002", re.M))


if __name__ == "__main__":
    imagelib.main()
