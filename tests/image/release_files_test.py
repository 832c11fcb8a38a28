#!/usr/bin/python3
"""The notices and bill of materials beside the setup image, and the build's
script on maps with winpthreads cut out or disowned. Usage: release_files_test.py
IMAGE PAYLOAD VERSION MAP SCRIPT SCHEMA_DIR"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import warnings

import jsonschema

import imagelib

IMAGE, PAYLOAD, VERSION, MAP, SCRIPT, SCHEMA_DIR = sys.argv[1:7] if __name__ == "__main__" else [""] * 6


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def release_files(image):
    stem = os.path.splitext(image)[0]
    with open(stem + ".cdx.json") as f, open(stem + ".notices.txt") as g:
        return json.load(f), g.read()


def runtime(bom):
    return {c["name"]: c for c in bom["components"] if c["type"] == "library"}


class ReleaseFiles(unittest.TestCase):
    def setUp(self):
        self.bom, self.notices = release_files(IMAGE)

    def test_valid_against_the_cyclonedx_schema(self):
        schemas = {}
        for name in os.listdir(SCHEMA_DIR):
            if name.endswith(".schema.json"):
                with open(os.path.join(SCHEMA_DIR, name)) as f:
                    schemas["http://cyclonedx.org/schema/" + name] = json.load(f)
        schema = schemas["http://cyclonedx.org/schema/bom-1.6.SNAPSHOT.schema.json"]
        with warnings.catch_warnings():  # Debian 13's jsonschema deprecates RefResolver
            warnings.simplefilter("ignore", DeprecationWarning)
            resolver = jsonschema.RefResolver.from_schema(schema, store=schemas)
            jsonschema.Draft7Validator(schema, resolver=resolver,
                                       format_checker=jsonschema.FormatChecker()).validate(self.bom)

    def test_image_and_payload_by_hash_and_version(self):
        image = self.bom["metadata"]["component"]
        self.assertEqual((image["name"], image["version"]), (os.path.basename(IMAGE), VERSION))
        self.assertEqual(image["hashes"], [{"alg": "SHA-256", "content": sha256(IMAGE)}])
        payload = self.bom["components"][0]
        self.assertEqual(payload["hashes"], [{"alg": "SHA-256", "content": sha256(PAYLOAD)}])
        tags = json.loads(imagelib.run("exiftool", "-j", "-n", "-ProductVersionNumber", PAYLOAD))[0]
        self.assertEqual(payload.get("version"), tags.get("ProductVersionNumber"))

    def test_runtime_linked_statically_with_licences_and_notices(self):
        parts = runtime(self.bom)
        self.assertEqual(parts["winpthreads"]["licenses"], [{"license": {"id": "MIT"}}])
        self.assertEqual(parts["mingw-w64 runtime"]["licenses"], [{"license": {"id": "ZPL-2.1"}}])
        self.assertIn("libstdc++", parts)
        self.assertEqual(self.bom["dependencies"], [{"ref": self.bom["metadata"]["component"]["bom-ref"],
                                                     "dependsOn": [p["bom-ref"] for p in parts.values()]}])
        for text in ("winpthreads", "mingw-w64 runtime",
                     "The above copyright notice and this permission notice shall be included",  # MIT
                     "Redistributions in binary form must reproduce the accompanying"):  # ZPL
            self.assertIn(text, self.notices)

    def test_names_only_archives_the_map_shows_pulled_in(self):
        with open(MAP) as f:
            text = f.read()
        members = text[:text.index("\nDiscarded input sections")]
        loaded = {os.path.normpath(p) for p in re.findall(r"^LOAD (/\S+\.a)$", text, re.M)}
        pulled = loaded & {os.path.normpath(m) for m in re.findall(r"^(/\S+\.a)\(", members, re.M)}
        named = set(re.findall(r"^  (/\S+)$", self.notices, re.M))
        self.assertTrue(loaded - pulled, "every archive the link searched was pulled in")
        self.assertFalse(named & (loaded - pulled))
        self.assertTrue(named & pulled)

    def run_script(self, edit):
        work = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, work)
        image = shutil.copy(IMAGE, work)
        with open(MAP) as f, open(os.path.join(work, "map"), "w") as g:
            g.writelines(edit(line, work) for line in f)
        result = subprocess.run([sys.executable, SCRIPT, "--image", image, "--map", os.path.join(work, "map"),
                                 "--payload", IMAGE, "--version", VERSION, "--compiler", "x86_64-w64-mingw32-g++"],
                                stderr=subprocess.PIPE, universal_newlines=True, check=True)
        return release_files(image) + (result.stderr,)

    def test_a_part_the_map_shows_not_linked_is_absent(self):
        bom, notices, _ = self.run_script(lambda line, _: "" if "pthread" in line else line)
        self.assertEqual(sorted(runtime(bom)), ["libgcc", "libstdc++", "mingw-w64 runtime"])
        self.assertNotIn("winpthreads", notices[:notices.index("\n=====")])
        self.assertEqual(bom["components"][0]["version"], VERSION + ".0")  # a payload with a version block

    def test_a_toolchain_without_notices_is_named_and_warned_of(self):
        def move(line, work):
            found = re.search(r"/\S+/libpthread\.a", line)
            if found and not os.path.exists(os.path.join(work, "libpthread.a")):
                shutil.copy(found.group(), work)
            return line.replace(found.group(), os.path.join(work, "libpthread.a")) if found else line
        bom, notices, warning = self.run_script(move)
        self.assertRegex(notices, r"could not be found(.|\n)*winpthreads: /\S+/libpthread\.a")
        self.assertIn("Warning: the notices of winpthreads could not be found", warning)
        self.assertNotIn("purl", runtime(bom)["winpthreads"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
