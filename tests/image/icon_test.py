#!/usr/bin/python3
"""The product icon in the setup image: the group directory, the five PNG
images, the artwork at every size, and that the committed icon file is what
its generator draws and what the stand-in suite shows first.

Usage: icon_test.py IMAGE SUITE ICON_FILE GENERATOR
"""
import io
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from PIL import Image

import imagelib

if __name__ == "__main__":
    IMAGE, SUITE, ICON_FILE, GENERATOR = sys.argv[1:5]

SIZES = (16, 32, 48, 64, 256)
PNG_RGBA = 6

# Rough colours of the design; a pixel counts as the nearest one within reach.
PALETTE = {
    "yellow": (250, 200, 40), "green": (60, 180, 90), "red": (230, 70, 75),
    "light blue": (150, 215, 255), "blue": (35, 100, 215), "bar": (90, 145, 225),
}
TILES = ["yellow", "green", "red", "light blue"]


def icon_images(image):
    """The PNG bytes of RT_ICON 1 to 5."""
    return [imagelib.resource(image, 3, i) for i in range(1, 6)]


def ico_images(path):
    """The image bytes of an .ico file, in directory order."""
    data = Path(path).read_bytes()
    _, _, count = struct.unpack_from("<HHH", data, 0)
    images = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        images.append(data[offset:offset + size])
    return images


def nearest(pixel):
    r, g, b, a = pixel
    if a < 200:
        return None
    name, dist = min(((n, sum((x - y) ** 2 for x, y in zip((r, g, b), c))) for n, c in PALETTE.items()),
                     key=lambda t: t[1])
    return name if dist < 50 ** 2 else None


def tile_runs(png, row):
    """The colour runs across one pixel row, as [(name, width)], edge pixels dropped."""
    picture = Image.open(io.BytesIO(png)).convert("RGBA")
    runs = []
    for x in range(picture.width):
        name = nearest(picture.getpixel((x, row)))
        if runs and runs[-1][0] == name:
            runs[-1][1] += 1
        else:
            runs.append([name, 1])
    return [(n, w) for n, w in runs if n in TILES]


class IconGroup(unittest.TestCase):
    def test_directory_lists_images_one_to_five_ascending(self):
        reserved, kind, entries = imagelib.icon_group(imagelib.resource(IMAGE, 14, 101))
        self.assertEqual((reserved, kind, len(entries)), (0, 1, 5))
        self.assertEqual([e["id"] for e in entries], [1, 2, 3, 4, 5])
        self.assertEqual([(e["width"], e["height"]) for e in entries],
                         [(16, 16), (32, 32), (48, 48), (64, 64), (0, 0)])  # 0 means 256
        for e in entries:
            with self.subTest(id=e["id"]):
                self.assertEqual((e["colours"], e["reserved"], e["planes"], e["bpp"]), (0, 0, 1, 32))

    def test_directory_sizes_match_the_images(self):
        _, _, entries = imagelib.icon_group(imagelib.resource(IMAGE, 14, 101))
        images = icon_images(IMAGE)
        self.assertEqual([e["bytes"] for e in entries], [len(png) for png in images])


class IconImages(unittest.TestCase):
    def test_each_image_is_an_rgba_png_of_its_size(self):
        for size, png in zip(SIZES, icon_images(IMAGE)):
            with self.subTest(size=size):
                self.assertEqual(imagelib.png_header(png), (size, size, 8, PNG_RGBA, 0))
                decoded = Image.open(io.BytesIO(png))
                decoded.load()
                self.assertEqual((decoded.mode, decoded.size), ("RGBA", (size, size)))

    def test_artwork_at_every_size(self):
        for size, png in zip(SIZES, icon_images(IMAGE)):
            with self.subTest(size=size):
                picture = Image.open(io.BytesIO(png)).convert("RGBA")
                self.assertLess(picture.getpixel((0, 0))[3], 128, "corner not soft")
                self.assertEqual(nearest(picture.getpixel((size // 2, size // 4))), "blue")
                row = int(size * 0.74)  # through all four tiles
                self.assertEqual(nearest(picture.getpixel((size // 2, int(size * 0.62)))), "bar")
                self.assertEqual(nearest(picture.getpixel((size // 2, row))), "bar", "no gap mid-row")
                runs = tile_runs(png, row)
                self.assertEqual([n for n, _ in runs], TILES, runs)
                outer = max(runs[0][1], runs[3][1])
                self.assertGreater(min(runs[1][1], runs[2][1]), outer, runs)


class IconSources(unittest.TestCase):
    def test_image_carries_the_committed_icon_file(self):
        self.assertEqual(icon_images(IMAGE), ico_images(ICON_FILE))

    def test_generator_redraws_the_committed_icon_file(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = Path(tmp, "lumiran.ico")
            subprocess.run([sys.executable, GENERATOR, str(out)], check=True, stdout=subprocess.DEVNULL)
            self.assertTrue(out.read_bytes() == Path(ICON_FILE).read_bytes(),
                            "resources/lumiran.ico is not what make_icon.py draws: run make icon")

    def test_stand_in_suite_shows_the_product_icon_first(self):
        groups = sorted(int(n) for t, n, _ in imagelib.resources(SUITE) if t == "14")
        self.assertTrue(groups, "the suite has no icon group")
        _, _, entries = imagelib.icon_group(imagelib.resource(SUITE, 14, groups[0]))
        suite_images = [imagelib.resource(SUITE, 3, e["id"]) for e in entries]
        self.assertEqual(suite_images, icon_images(IMAGE))


if __name__ == "__main__":
    imagelib.main()
