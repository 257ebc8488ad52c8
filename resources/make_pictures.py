#!/usr/bin/env python3
"""Draws the program's pictures as XPM text files (Qt reads XPM without any plug-in), and the icon
once more as PNG files at the sizes a desktop's icon theme asks for (icons/kestrelbox-<size>.png),
and those PNG files in one icon file for the Windows executables (icons/kestrelbox.ico).

Run from anywhere: python3 resources/make_pictures.py. The output files are committed; rerun the
script only when a drawing changes. Standard library only.

Button pictures keep their ground colour in the file; the window takes the colour of the lower-left
pixel as transparent when it loads them.
"""
import math
import os
import string
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# 5 x 7 capitals, one string per row, '#' set.
GLYPHS = {
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "K": ["##  #", "## ##", "####  ", "###  ", "####  ", "## ##", "##  #"],
}


class Canvas:
    def __init__(self, w, h, ground):
        self.w, self.h = w, h
        self.px = [[ground] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, fill, outline=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                self.set(x, y, outline if (edge and outline) else fill)

    def shape(self, inside, fill):
        """Fills every pixel whose centre satisfies inside(x, y)."""
        for y in range(self.h):
            for x in range(self.w):
                if inside(x + 0.5, y + 0.5):
                    self.set(x, y, fill(x, y) if callable(fill) else fill)

    def text(self, x0, y0, word, colour, scale=1):
        for i, ch in enumerate(word):
            for row, bits in enumerate(GLYPHS[ch]):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        for dy in range(scale):
                            for dx in range(scale):
                                self.set(x0 + (i * 6 + col) * scale + dx, y0 + row * scale + dy, colour)

    def write_xpm(self, name):
        colours = sorted({c for row in self.px for c in row}, key=lambda c: (c is None, c))
        alphabet = string.ascii_letters + string.digits + "#$%&*+-.,:;=@~^"
        per = 1 if len(colours) <= len(alphabet) else 2
        codes = {}
        for i, c in enumerate(colours):
            codes[c] = alphabet[i % len(alphabet)] + (alphabet[i // len(alphabet)] if per == 2 else "")
        ident = os.path.splitext(name)[0].replace("-", "_")
        lines = [f'"{self.w} {self.h} {len(colours)} {per}",']
        for c in colours:
            value = "None" if c is None else "#%02X%02X%02X" % c
            lines.append(f'"{codes[c]} c {value}",')
        for y, row in enumerate(self.px):
            end = "," if y < self.h - 1 else ""
            lines.append('"' + "".join(codes[c] for c in row) + '"' + end)
        with open(os.path.join(HERE, name), "w", newline="\n") as f:
            f.write("/* XPM */\n")
            f.write(f"/* Drawn by make_pictures.py. */\n")
            f.write(f"static const char* {ident}[] = {{\n")
            f.write("\n".join(lines))
            f.write("\n};\n")

    def write_png(self, name):
        """8-bit RGBA; the ground None is fully transparent."""
        rows = b"".join(b"\0" + bytes(v for c in row for v in ((0, 0, 0, 0) if c is None else (*c, 255)))
                        for row in self.px)

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        path = os.path.join(HERE, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
            f.write(chunk(b"IEND", b""))


def in_polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit

    return inside


def shrunk(inside, r):
    """Points whose whole neighbourhood of radius r lies inside."""
    offsets = [(dx, dy) for dx in (-r, 0, r) for dy in (-r, 0, r)]
    return lambda x, y: all(inside(x + dx, y + dy) for dx, dy in offsets)


BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
RED = (255, 0, 0)
CYAN = (0, 255, 255)
TEAL = (0, 128, 128)
YELLOW = (255, 255, 0)
PURPLE = (128, 0, 128)
GREY = (128, 128, 128)
SILVER = (192, 192, 192)
GREEN = (0, 128, 0)
NAVY = (0, 0, 128)


ICON_SIZES = (16, 32, 48, 64, 128, 256)


def icon_at(size):
    """Red lettering on a cyan card; a yellow card behind at the top right, a purple one at the bottom left.

    Drawn on a grid of 32 units, each unit size / 32 pixels wide; a pixel takes the colour of the shape
    its centre lies in, so 32 pixels give the window's icon exactly and the other sizes the same picture.
    """
    k = size / 32
    c = Canvas(size, size, None)

    def area(x0, y0, x1, y1, colour):
        """Pixels whose centres lie in [x0, x1) x [y0, y1), in pixels."""
        for y in range(math.ceil(y0 - 0.5), math.ceil(y1 - 0.5)):
            for x in range(math.ceil(x0 - 0.5), math.ceil(x1 - 0.5)):
                c.set(x, y, colour)

    def card(x0, y0, x1, y1, fill):
        """A card over the grid cells x0..x1, y0..y1 with a black rim of one cell (at least one pixel)."""
        rim = max(1, round(k))
        area(x0 * k, y0 * k, (x1 + 1) * k, (y1 + 1) * k, BLACK)
        area(x0 * k + rim, y0 * k + rim, (x1 + 1) * k - rim, (y1 + 1) * k - rim, fill)

    card(13, 1, 30, 18, YELLOW)
    card(1, 13, 18, 30, PURPLE)
    card(6, 6, 25, 25, CYAN)
    # The letter K, each dot of the 5 x 7 glyph two grid cells square.
    for row, bits in enumerate(GLYPHS["K"]):
        for col, bit in enumerate(bits):
            if bit == "#":
                x, y = 11 + col * 2, 9 + row * 2
                area(x * k, y * k, (x + 2) * k, (y + 2) * k, RED)
    return c


def icon():
    icon_at(32).write_xpm("icon.xpm")
    for size in ICON_SIZES:
        icon_at(size).write_png(os.path.join("icons", f"kestrelbox-{size}.png"))
    write_ico(os.path.join("icons", "kestrelbox.ico"), [16, 32, 48, 256])


def write_ico(name, sizes):
    """The Windows executables' icon: the PNG files of the given sizes in one .ico (PNG entries, which
    Windows reads since Vista), small ones first, as Explorer and the task bar pick from them."""
    images = []
    for size in sizes:
        with open(os.path.join(HERE, "icons", f"kestrelbox-{size}.png"), "rb") as f:
            images.append((size, f.read()))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size  # 0 stands for 256
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


def bird(c, ox, oy, s, colour_at):
    """A kestrel in flight seen from below: body, spread wings and a fanned tail, scaled by s."""
    body = lambda x, y: ((x - ox - 30 * s) / (5 * s)) ** 2 + ((y - oy - 15 * s) / (10 * s)) ** 2 <= 1
    head = lambda x, y: (x - ox - 30 * s) ** 2 + (y - oy - 6 * s) ** 2 <= (4.2 * s) ** 2
    left_wing = in_polygon([(ox + 27 * s, oy + 11 * s), (ox + 2 * s, oy + 6 * s), (ox + 6 * s, oy + 12 * s),
                            (ox + 27 * s, oy + 18 * s)])
    right_wing = in_polygon([(ox + 33 * s, oy + 11 * s), (ox + 58 * s, oy + 6 * s), (ox + 54 * s, oy + 12 * s),
                             (ox + 33 * s, oy + 18 * s)])
    tail = in_polygon([(ox + 28 * s, oy + 22 * s), (ox + 32 * s, oy + 22 * s), (ox + 36 * s, oy + 30 * s),
                       (ox + 24 * s, oy + 30 * s)])
    for part in (left_wing, right_wing, tail, body, head):
        c.shape(part, colour_at)


def logo_small():
    """61 x 32, true colour on white (white is transparent on the button)."""
    c = Canvas(61, 32, WHITE)

    def shade(x, y):
        t = min(1.0, math.hypot(x - 30, y - 14) / 30)
        return (int(205 - 110 * t), int(95 - 55 * t), int(30 + 10 * t))

    bird(c, 0, 0, 1.0, shade)
    # Dark eye and wing tips.
    c.set(29, 5, BLACK)
    c.set(31, 5, BLACK)
    for x in range(2, 7):
        c.set(x, 6 + (x - 2) // 2, (60, 30, 20))
        c.set(60 - x, 6 + (x - 2) // 2, (60, 30, 20))
    c.write_xpm("logo61.xpm")


def logo_large():
    """64 x 64, 16 colours on light grey: the same bird over a blue sky disc."""
    c = Canvas(64, 64, SILVER)
    sky = lambda x, y: (x - 32) ** 2 + (y - 32) ** 2 <= 30 ** 2
    c.shape(sky, lambda x, y: NAVY if y < 20 else (0, 0, 255) if y < 44 else (0, 128, 255))
    bird(c, 2, 16, 1.0, lambda x, y: (128, 64, 0) if y < 28 else (255, 128, 0))
    c.set(31, 21, BLACK)
    c.set(33, 21, BLACK)
    c.write_xpm("logo64.xpm")


def exit_arrow():
    """White arrow pointing left with a cyan rim on a teal ground (teal is transparent)."""
    c = Canvas(32, 32, TEAL)
    arrow = in_polygon([(2, 16), (15, 3), (15, 10), (29, 10), (29, 22), (15, 22), (15, 29)])
    c.shape(arrow, CYAN)
    c.shape(shrunk(arrow, 1.6), WHITE)
    c.write_xpm("exit.xpm")


def stop_sign():
    """Red octagon with a white rim and the white word STOP; black corners (transparent)."""
    c = Canvas(32, 32, BLACK)
    r, cx, cy = 15.8, 16, 16
    octagon = [(cx + r * math.cos(math.radians(22.5 + 45 * k)), cy + r * math.sin(math.radians(22.5 + 45 * k)))
               for k in range(8)]
    outer = in_polygon(octagon)
    c.shape(outer, RED)
    ring = lambda x, y: outer(x, y) and not shrunk(outer, 1.8)(x, y)
    inner_ring = lambda x, y: shrunk(outer, 1.8)(x, y) and not shrunk(outer, 3.0)(x, y)
    c.shape(ring, RED)
    c.shape(inner_ring, WHITE)
    c.text(5, 13, "STOP", WHITE)
    c.write_xpm("stop.xpm")


def printer():
    """A desk printer with a sheet going in at the back and a printed sheet coming out (olive ground)."""
    ground = (128, 128, 0)
    c = Canvas(40, 40, ground)
    c.rect(11, 2, 28, 14, WHITE, BLACK)  # sheet going in
    c.rect(3, 13, 36, 27, SILVER, BLACK)  # body
    c.rect(4, 14, 35, 16, WHITE)  # light top edge
    c.rect(6, 22, 33, 24, GREY, BLACK)  # paper slot
    c.rect(29, 18, 31, 19, GREEN)  # power lamp
    c.rect(9, 23, 30, 37, WHITE, BLACK)  # printed sheet
    for y in (27, 30, 33):
        c.rect(12, y, 27 if y != 33 else 21, y, NAVY)
    c.write_xpm("printer.xpm")


if __name__ == "__main__":
    icon()
    logo_small()
    logo_large()
    exit_arrow()
    stop_sign()
    printer()
