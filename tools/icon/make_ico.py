#!/usr/bin/python3
"""Builds Quillbox's icon file (.ico) from its text pixel maps.

    make_ico.py [--png DIR] [--scale N] OUT.ico MAP...

Each MAP is one image of the icon, drawn one character per pixel (see
resources/icon/quillbox-32.txt). A map reads, blank lines and lines starting
with '#' aside:

    size 32x32            width x height, 1 to 256 each
    legend
    . transparent         one character, then a colour name or 'transparent'
    K black
    ...
    pixels
    ....KKKK....          exactly 'height' rows of exactly 'width' characters

The colour names are those of the classic 16-colour palette (PALETTE below),
so a map has at most 16 colours; '#' cannot stand for one. The images go into
OUT.ico in the order the maps are given, each a 4-bit DIB with that palette in
its usual order and a 1-bit transparency (AND) mask. With --png, a preview of
each map, enlarged N times (8 by default), is written to DIR as <map name>.png.

Python's standard library only: it runs at build time on a fresh machine.
"""

import argparse
import os
import struct
import sys
import zlib

# The classic 16 colours in their usual order; a pixel's value is its index.
PALETTE = (
    ("black", (0x00, 0x00, 0x00)),
    ("darkred", (0x80, 0x00, 0x00)),
    ("darkgreen", (0x00, 0x80, 0x00)),
    ("olive", (0x80, 0x80, 0x00)),
    ("navy", (0x00, 0x00, 0x80)),
    ("purple", (0x80, 0x00, 0x80)),
    ("teal", (0x00, 0x80, 0x80)),
    ("silver", (0xC0, 0xC0, 0xC0)),
    ("grey", (0x80, 0x80, 0x80)),
    ("red", (0xFF, 0x00, 0x00)),
    ("green", (0x00, 0xFF, 0x00)),
    ("yellow", (0xFF, 0xFF, 0x00)),
    ("blue", (0x00, 0x00, 0xFF)),
    ("fuchsia", (0xFF, 0x00, 0xFF)),
    ("aqua", (0x00, 0xFF, 0xFF)),
    ("white", (0xFF, 0xFF, 0xFF)),
)
COLOUR_INDEX = {name: i for i, (name, _) in enumerate(PALETTE)}
TRANSPARENT = None  # a pixel's value where the map says 'transparent'


class MapError(Exception):
    """A map that cannot be made into an image; the message says where and why."""


class Image:
    def __init__(self, name, width, height, rows):
        self.name = name  # the map's file name without its extension
        self.width = width
        self.height = height
        self.rows = rows  # top row first; each a list of palette indices or TRANSPARENT


def read_map(path):
    with open(path, encoding="utf-8") as f:
        return parse_map(f.read(), path)


def parse_map(text, path="<map>"):
    size = None
    legend = {}
    rows = []
    section = None  # None, then "legend", then "pixels"

    def fail(lineno, message):
        raise MapError(f"{path}:{lineno}: {message}")

    for lineno, line in enumerate(text.splitlines(), 1):
        line = line.rstrip()
        if not line.strip() or line.startswith("#"):
            continue
        if section == "pixels":
            if len(rows) == size[1]:
                fail(lineno, f"more than {size[1]} pixel rows")
            if len(line) != size[0]:
                fail(lineno, f"row is {len(line)} pixels wide, not {size[0]}")
            row = []
            for column, char in enumerate(line, 1):
                if char not in legend:
                    fail(lineno, f"column {column}: {char!r} is not in the legend")
                row.append(legend[char])
            rows.append(row)
        elif line.startswith("size"):
            if size is not None:
                fail(lineno, "a second 'size'")
            words = line.split()
            dims = words[1].lower().split("x") if len(words) == 2 else []
            if len(dims) != 2 or not all(d.isdigit() for d in dims):
                fail(lineno, f"expected 'size WIDTHxHEIGHT', got {line!r}")
            size = int(dims[0]), int(dims[1])
            if not all(1 <= d <= 256 for d in size):
                fail(lineno, "width and height must be 1 to 256")
        elif line == "legend":
            section = "legend"
        elif line == "pixels":
            if size is None:
                fail(lineno, "'pixels' before 'size'")
            if not legend:
                fail(lineno, "'pixels' before any legend entry")
            section = "pixels"
        elif section == "legend":
            words = line.split()
            if len(words) != 2 or len(words[0]) != 1:
                fail(lineno, f"expected a legend entry 'CHARACTER COLOUR', got {line!r}")
            char, colour = words
            if char in legend:
                fail(lineno, f"{char!r} is in the legend twice")
            if colour == "transparent":
                legend[char] = TRANSPARENT
            elif colour in COLOUR_INDEX:
                legend[char] = COLOUR_INDEX[colour]
            else:
                names = ", ".join(name for name, _ in PALETTE)
                fail(lineno, f"{colour!r} is not one of the 16 colours ({names}) nor 'transparent'")
        else:
            fail(lineno, f"expected 'size', 'legend' or 'pixels', got {line!r}")

    if size is None or section != "pixels":
        raise MapError(f"{path}: needs 'size', 'legend' and 'pixels'")
    if len(rows) != size[1]:
        raise MapError(f"{path}: {len(rows)} pixel rows, not {size[1]}")
    name = os.path.splitext(os.path.basename(path))[0]
    return Image(name, size[0], size[1], rows)


def dib(image):
    """The image as an .ico stores it: BITMAPINFOHEADER, palette, XOR and AND bitmaps."""
    xor_stride = (image.width * 4 + 31) // 32 * 4
    and_stride = (image.width + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(image.rows):  # bottom-up
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        nibbles += [0] * (xor_stride * 2 - len(nibbles))
        xor += bytes(hi << 4 | lo for hi, lo in zip(nibbles[0::2], nibbles[1::2]))
        bits = bytearray(and_stride)
        for x, p in enumerate(row):
            if p is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack(
        "<IiiHHIIiiII",
        40,  # biSize
        image.width,
        image.height * 2,  # XOR and AND bitmaps one above the other
        1,  # biPlanes
        4,  # biBitCount
        0,  # BI_RGB
        len(xor) + len(mask),
        0, 0,  # pixels per metre
        0, 0,  # all 16 palette entries used, all important
    )
    palette = b"".join(bytes((b, g, r, 0)) for _, (r, g, b) in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def ico(images):
    sizes = [(i.width, i.height) for i in images]
    for i, size in enumerate(sizes):
        if size in sizes[:i]:
            raise MapError(f"{images[i].name}: a second image of {size[0]}x{size[1]}")
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))  # ICONDIR: an icon, not a cursor
    offset = len(out) + 16 * len(images)
    bodies = [dib(i) for i in images]
    for image, body in zip(images, bodies):
        out += struct.pack(
            "<BBBBHHII",
            image.width % 256,  # 256 is written as 0
            image.height % 256,
            16,  # colours
            0,
            1,  # planes
            4,  # bits per pixel
            len(body),
            offset,
        )
        offset += len(body)
    for body in bodies:
        out += body
    return bytes(out)


def png(image, scale):
    """An RGBA PNG of the image, each pixel a scale x scale square."""
    lines = bytearray()
    for row in image.rows:
        line = bytearray()
        for p in row:
            pixel = bytes((0, 0, 0, 0)) if p is TRANSPARENT else bytes(PALETTE[p][1]) + b"\xff"
            line += pixel * scale
        lines += (b"\x00" + bytes(line)) * scale  # filter type 0 on each line

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", image.width * scale, image.height * scale, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(lines), 9)) + chunk(b"IEND", b""))


def write_file(path, data):
    """Writes through a temporary file, so a failed build leaves no partial file behind."""
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    temp = path + ".tmp"
    with open(temp, "wb") as f:
        f.write(data)
    os.replace(temp, path)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Builds Quillbox's .ico from its text pixel maps.")
    parser.add_argument("--png", metavar="DIR", help="also write an enlarged PNG preview of each map to DIR")
    parser.add_argument("--scale", type=int, default=8, help="enlargement of the previews (default 8)")
    parser.add_argument("out", metavar="OUT.ico")
    parser.add_argument("maps", metavar="MAP", nargs="+")
    args = parser.parse_args(argv)
    try:
        images = [read_map(path) for path in args.maps]
        data = ico(images)
    except (MapError, OSError) as e:
        print(f"make_ico.py: {e}", file=sys.stderr)
        return 1
    write_file(args.out, data)
    if args.png:
        for image in images:
            write_file(os.path.join(args.png, image.name + ".png"), png(image, max(1, args.scale)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
