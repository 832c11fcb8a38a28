#!/usr/bin/python3
"""The process manifest of the setup image (resource type 24, id 1): its
declaration and every element and attribute, with nothing more.

Usage: manifest_test.py IMAGE
"""
import re
import sys
import unittest
import xml.etree.ElementTree as ET

import imagelib

IMAGE = sys.argv[1] if __name__ == "__main__" else None

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"

# (tag, attributes, children) of the whole document.
EXPECTED = (ASM_V1 + "assembly", {"manifestVersion": "1.0"}, [
    (ASM_V3 + "trustInfo", {}, [
        (ASM_V3 + "security", {}, [
            (ASM_V3 + "requestedPrivileges", {}, [
                (ASM_V3 + "requestedExecutionLevel", {"level": "asInvoker", "uiAccess": "false"}, []),
            ]),
        ]),
    ]),
    (ASM_V1 + "dependency", {}, [
        (ASM_V1 + "dependentAssembly", {}, [
            (ASM_V1 + "assemblyIdentity", {
                "type": "win32",
                "name": "Microsoft.Windows.Common-Controls",
                "version": "6.0.0.0",
                "processorArchitecture": "amd64",
                "publicKeyToken": "6595b64144ccf1df",
                "language": "*",
            }, []),
        ]),
    ]),
])


def shape(element):
    return (element.tag, dict(element.attrib), [shape(child) for child in element])


class Manifest(unittest.TestCase):
    def setUp(self):
        self.raw = imagelib.resource(IMAGE, 24, 1)

    def test_declaration(self):
        text = self.raw.decode("utf-8")  # strict: the document is UTF-8
        declaration = re.match(r"<\?xml([^?]*)\?>", text)
        self.assertIsNotNone(declaration, "no XML declaration at the start")
        attributes = dict(re.findall(r'(\w+)="([^"]*)"', declaration.group(1)))
        self.assertEqual(attributes, {"version": "1.0", "encoding": "UTF-8", "standalone": "yes"})

    def test_elements_and_nothing_more(self):
        root = ET.fromstring(self.raw)
        self.assertEqual(shape(root), EXPECTED)


if __name__ == "__main__":
    imagelib.main()
