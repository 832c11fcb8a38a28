#!/usr/bin/python3
"""Draws the Lumiran product icon at every size and writes resources/lumiran.ico.

The design: a blue square with soft corners; in its lower part a translucent
pale bar holding four soft-cornered tiles, yellow, green, red and light blue,
the two middle tiles larger than the outer ones.

The design is laid out on a 64-unit grid; 64 and 256 pixels are that grid
scaled. At 16, 32 and 48 pixels a scaled grid puts tile edges between pixels
and the tiles blur into each other, so those sizes place every edge on a
whole pixel by hand (the same elements, in the same proportions as far as
whole pixels allow). Each size is drawn supersampled, reduced, and stored as
an RGBA PNG image in the icon file.

Run: /usr/bin/python3 resources/make_icon.py [OUTPUT.ico]   (or: make icon)
"""
import io
import struct
import sys
from pathlib import Path

from PIL import Image, ImageDraw

SIZES = (16, 32, 48, 64, 256)
SUPERSAMPLE = 16

BLUE = (33, 102, 214, 255)
BAR = (235, 243, 255, 90)  # over BLUE this reads as a pale band that lets the blue through
TILES = ((250, 196, 45, 255), (67, 181, 92, 255), (229, 72, 77, 255), (150, 220, 255, 255))


def grid_layout(size):
    """The design on its 64-unit grid, scaled to size pixels."""
    u = size / 64.0
    tiles = []
    x = 7
    for width in (9, 13, 13, 9):  # outer, middle, middle, outer; gaps of 2
        top = 47.5 - width / 2  # centred on the bar
        tiles.append((x * u, top * u, (x + width) * u, (top + width) * u))
        x += width + 2
    return {"square": (u, u, 63 * u, 63 * u), "square_radius": 12 * u,
            "bar": (6 * u, 38 * u, 58 * u, 57 * u), "bar_radius": 6 * u,
            "tiles": tiles, "tile_radius": 2.5 * u}


# The small sizes, in pixels. At 16 the tiles (2, 3, 3, 2 wide, 1 apart) cannot
# be centred on whole pixels, so the row sits one pixel to the right.
PIXEL_LAYOUTS = {
    16: {"square": (0, 0, 16, 16), "square_radius": 3,
         "bar": (1, 9, 15, 15), "bar_radius": 1.5,
         "tiles": ((2, 11, 4, 13), (5, 10, 8, 13), (9, 10, 12, 13), (13, 11, 15, 13)),
         "tile_radius": 0.5},
    32: {"square": (0, 0, 32, 32), "square_radius": 6,
         "bar": (2, 19, 30, 29), "bar_radius": 3,
         "tiles": ((3, 22, 7, 26), (9, 21, 15, 27), (17, 21, 23, 27), (25, 22, 29, 26)),
         "tile_radius": 1.25},
    48: {"square": (1, 1, 47, 47), "square_radius": 9,
         "bar": (4, 28, 44, 42), "bar_radius": 4.5,
         "tiles": ((5, 32, 11, 38), (13, 30, 23, 40), (25, 30, 35, 40), (37, 32, 43, 38)),
         "tile_radius": 1.9},
}


def draw(size):
    layout = PIXEL_LAYOUTS.get(size) or grid_layout(size)
    s = size * SUPERSAMPLE

    def scaled(box):
        return [v * SUPERSAMPLE for v in box]

    image = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    ImageDraw.Draw(image).rounded_rectangle(
        scaled(layout["square"]), radius=layout["square_radius"] * SUPERSAMPLE, fill=BLUE)

    bar = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    ImageDraw.Draw(bar).rounded_rectangle(
        scaled(layout["bar"]), radius=layout["bar_radius"] * SUPERSAMPLE, fill=BAR)
    image = Image.alpha_composite(image, bar)

    d = ImageDraw.Draw(image)
    for box, colour in zip(layout["tiles"], TILES):
        d.rounded_rectangle(scaled(box), radius=layout["tile_radius"] * SUPERSAMPLE, fill=colour)
    # A box filter averages each pixel's own samples only, so whole-pixel
    # edges stay sharp.
    return image.resize((size, size), Image.BOX)


def png_bytes(image):
    # RGBA, 8 bits a channel, not interlaced, no ancillary chunks.
    out = io.BytesIO()
    image.save(out, format="PNG", optimize=True)
    return out.getvalue()


def ico_bytes():
    images = [png_bytes(draw(size)) for size in SIZES]
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        dim = 0 if size == 256 else size  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return header + entries + b"".join(images)


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else str(Path(__file__).with_name("lumiran.ico"))
    Path(target).write_bytes(ico_bytes())
    print(target)
