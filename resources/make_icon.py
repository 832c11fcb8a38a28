#!/usr/bin/python3
"""Draws the Lumiran product icon at every size and writes resources/lumiran.ico.

The design: a blue square with soft corners; in its lower part a translucent
pale bar holding four soft-cornered tiles, yellow, green, red and light blue,
the two middle tiles larger than the outer ones. Each size is drawn on its
own (supersampled, then reduced) and stored as a PNG image in the icon file.

Run: /usr/bin/python3 resources/make_icon.py   (or: make icon)
"""
import io
import struct
import sys
from pathlib import Path

from PIL import Image, ImageDraw

SIZES = (16, 32, 48, 64, 256)
SUPERSAMPLE = 8

BLUE = (33, 102, 214, 255)
BAR = (235, 243, 255, 150)
TILES = ((250, 196, 45, 255), (67, 181, 92, 255), (229, 72, 77, 255), (125, 200, 245, 255))


def draw(size):
    s = size * SUPERSAMPLE
    unit = s / 64.0  # the design is laid out on a 64-unit grid
    image = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    d = ImageDraw.Draw(image)
    d.rounded_rectangle((1 * unit, 1 * unit, 63 * unit, 63 * unit), radius=12 * unit, fill=BLUE)

    bar = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    ImageDraw.Draw(bar).rounded_rectangle((6 * unit, 38 * unit, 58 * unit, 57 * unit),
                                          radius=6 * unit, fill=BAR)
    image = Image.alpha_composite(image, bar)
    d = ImageDraw.Draw(image)

    # Outer tiles 9 units, middle tiles 13 units, centred on the bar.
    widths = (9, 13, 13, 9)
    gap = 2
    x = 32 - (sum(widths) + gap * 3) / 2
    centre_y = 47.5
    for width, colour in zip(widths, TILES):
        top = centre_y - width / 2
        d.rounded_rectangle((x * unit, top * unit, (x + width) * unit, (top + width) * unit),
                            radius=2.5 * unit, fill=colour)
        x += width + gap
    return image.resize((size, size), Image.LANCZOS)


def png_bytes(image):
    out = io.BytesIO()
    image.save(out, format="PNG", optimize=True)
    return out.getvalue()


def write_ico(path):
    images = [png_bytes(draw(size)) for size in SIZES]
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        dim = 0 if size == 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    Path(path).write_bytes(header + entries + b"".join(images))


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else str(Path(__file__).with_name("lumiran.ico"))
    write_ico(target)
    print(target)
