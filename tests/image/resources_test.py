#!/usr/bin/python3
"""The setup image carries exactly its five icons, the icon group, the
payload, the version block and the manifest, each tagged 0x0409.

Usage: resources_test.py IMAGE
"""
import sys
import unittest

import imagelib

IMAGE = sys.argv[1] if __name__ == "__main__" else None
EN_US = "1033"  # 0x0409

EXPECTED = sorted([("3", str(i), EN_US) for i in range(1, 6)] + [
    ("14", "101", EN_US),  # IDI_APPICON
    ("10", "201", EN_US),  # IDR_PAYLOAD
    ("16", "1", EN_US),    # version block
    ("24", "1", EN_US),    # process manifest
])


class Resources(unittest.TestCase):
    def test_exactly_the_expected_resources(self):
        found = imagelib.resources(IMAGE)
        self.assertEqual(len(found), len(set(found)), "a resource listed twice")
        self.assertEqual(sorted(found), EXPECTED)


if __name__ == "__main__":
    imagelib.main()
