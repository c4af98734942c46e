"""make_ico.py: the .ico it writes reads back as the maps drew it, and a faulty
map is refused with a message that says where.

    /usr/bin/python3 -m unittest discover -s tools/icon
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_ico  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
MAPS = [os.path.join(ROOT, "resources", "icon", f"quillbox-{n}.txt") for n in (32, 16)]

# As the file holds them: blue, green, red.
CLASSIC = [(0, 0, 0), (0, 0, 0x80), (0, 0x80, 0), (0, 0x80, 0x80), (0x80, 0, 0), (0x80, 0, 0x80), (0x80, 0x80, 0),
           (0xC0, 0xC0, 0xC0), (0x80, 0x80, 0x80), (0, 0, 0xFF), (0, 0xFF, 0), (0, 0xFF, 0xFF), (0xFF, 0, 0),
           (0xFF, 0, 0xFF), (0xFF, 0xFF, 0), (0xFF, 0xFF, 0xFF)]

# Symmetric in no direction, 6 wide so that its rows need padding.
SMALL = "size 6x3\nlegend\n. transparent\nK black\nY yellow\nw white\npixels\n.KYYw.\nK....Y\nwYK.K.\n"
SMALL_PIXELS = [[None, 0, 11, 11, 15, None], [0, None, None, None, None, 11], [15, 11, 0, None, 0, None]]


def read_ico(data):
    """Reads an .ico as Windows does: per image, its header fields and its pixels
    (top row first; a palette index, or None where the mask is set)."""
    assert struct.unpack_from("<HHH", data)[:2] == (0, 1), "not an icon file"
    images = []
    for i in range(struct.unpack_from("<H", data, 4)[0]):
        width, height, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        body = data[offset:offset + size]
        header = struct.unpack_from("<IiiHHII", body)
        palette = [tuple(body[40 + 4 * p:43 + 4 * p]) for p in range(16)]
        xor_stride, and_stride = (width * 4 + 31) // 32 * 4, (width + 31) // 32 * 4
        xor_at = 40 + 64
        and_at = xor_at + xor_stride * height
        assert len(body) == size == and_at + and_stride * height, "sizes do not match the bitmaps"
        rows = []
        for y in reversed(range(height)):  # bottom-up
            row = []
            for x in range(width):
                index = body[xor_at + y * xor_stride + x // 2] >> (0 if x % 2 else 4) & 15
                masked = body[and_at + y * and_stride + x // 8] & (0x80 >> x % 8)
                assert not (masked and index), "a transparent pixel not black in the colour bitmap"
                row.append(None if masked else index)
            rows.append(row)
        images.append(dict(entry=(width, height, colours, planes, bits), header=header, palette=palette, rows=rows))
    return images


class Written(unittest.TestCase):
    def check(self, image, width, height, rows):
        self.assertEqual(image["entry"], (width, height, 16, 1, 4))
        self.assertEqual(image["header"][:6], (40, width, 2 * height, 1, 4, 0))
        self.assertEqual(image["palette"], CLASSIC)
        self.assertEqual(image["rows"], rows)

    def test_a_small_map_reads_back_pixel_for_pixel(self):
        [image] = read_ico(make_ico.ico([make_ico.parse_map(SMALL, "small.txt")]))
        self.check(image, 6, 3, SMALL_PIXELS)
        self.assertEqual(image["header"][6], 3 * 4 + 3 * 4)  # biSizeImage: 3-byte rows and mask rows, padded to 4

    def test_quillbox_icon(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        out = os.path.join(folder, "quillbox.ico")
        self.assertEqual(make_ico.main([out] + MAPS), 0)
        with open(out, "rb") as f:
            images = read_ico(f.read())
        self.assertEqual([i["entry"][:2] for i in images], [(32, 32), (16, 16)])
        for image, path in zip(images, MAPS):
            with self.subTest(os.path.basename(path)):
                rows = image["rows"]
                self.check(image, len(rows), len(rows), make_ico.read_map(path).rows)
                self.assertEqual([rows[0][0], rows[0][-1], rows[-1][0], rows[-1][-1]], [None] * 4,
                                 "the corners should show what is behind the icon")
        if shutil.which("icotool"):  # Debian's icoutils, a second reader
            listing = subprocess.run(["icotool", "-l", out], capture_output=True, text=True, check=True).stdout
            self.assertEqual(listing.splitlines(), [
                f"--icon --index={i} --width={n} --height={n} --bit-depth=4 --palette-size=16"
                for i, n in ((1, 32), (2, 16))])


class Refused(unittest.TestCase):
    def test_faulty_maps(self):
        cases = [
            ("a row too narrow", SMALL.replace(".KYYw.", ".KYYw"), "bad.txt:8: row is 5 pixels wide, not 6"),
            ("a row missing", SMALL.replace("wYK.K.\n", ""), "bad.txt: 2 pixel rows, not 3"),
            ("a row too many", SMALL + "......\n", "bad.txt:11: more than 3 pixel rows"),
            ("a character not in the legend", SMALL.replace("K....Y", "K..x.Y"),
             "bad.txt:9: column 4: 'x' is not in the legend"),
            ("a colour outside the palette", SMALL.replace("w white", "w orange"),
             "bad.txt:6: 'orange' is not one of the 16 colours"),
            ("a character given twice", SMALL.replace("w white", "K white"), "bad.txt:6: 'K' is in the legend twice"),
            ("no size", SMALL.replace("size 6x3\n", ""), "'pixels' before 'size'"),
            ("a size too large", SMALL.replace("6x3", "300x3"), "bad.txt:1: width and height must be 1 to 256"),
        ]
        for name, text, message in cases:
            with self.subTest(name):
                with self.assertRaises(make_ico.MapError) as caught:
                    make_ico.parse_map(text, "bad.txt")
                self.assertIn(message, str(caught.exception))
        image = make_ico.parse_map(SMALL, "small.txt")
        with self.assertRaisesRegex(make_ico.MapError, "a second image of 6x3"):
            make_ico.ico([image, image])

    def test_the_build_stops_with_the_fault_and_no_file(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        bad = os.path.join(folder, "bad.txt")
        with open(bad, "w") as f:
            f.write(SMALL.replace("K....Y", "K..x.Y"))
        out = os.path.join(folder, "out.ico")
        result = subprocess.run([sys.executable, make_ico.__file__, out, MAPS[0], bad], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("bad.txt:9: column 4: 'x' is not in the legend", result.stderr)
        self.assertEqual(os.listdir(folder), ["bad.txt"])


if __name__ == "__main__":
    unittest.main()
