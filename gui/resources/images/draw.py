#!/usr/bin/env python3
"""Draws the program's bitmaps and icon: simple pictograms, written as
24-bit BMP files and one ICO file beside this script.

    python3 resources/images/draw.py

The files are committed; run this again after changing a picture."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
GREY = (192, 192, 192)       # the transparent colour of the toolbar and of bitmap 142
DARK = (128, 128, 128)
MID = (160, 160, 160)
LIGHT = (224, 224, 224)
NAVY = (0, 0, 128)
BLUE = (16, 64, 200)
SKY = (96, 160, 255)
SCREEN = (0, 128, 128)
TEAL = (0, 160, 160)
RED = (204, 0, 0)
DARKRED = (128, 0, 0)
GREEN = (0, 150, 0)
DARKGREEN = (0, 96, 0)
YELLOW = (255, 214, 0)
GOLD = (200, 150, 0)
BROWN = (140, 80, 20)
DOOR = (170, 100, 40)
STEEL = (64, 64, 96)
SLATE = (112, 112, 140)
MAGENTA = (255, 0, 255)     # the transparent colour of the icon


class Canvas:
    def __init__(self, width, height, background):
        self.width, self.height = width, height
        self.pixels = [[background] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def box(self, x0, y0, x1, y1, colour):
        """The outline of the rectangle, corners included."""
        self.fill(x0, y0, x1, y0, colour)
        self.fill(x0, y1, x1, y1, colour)
        self.fill(x0, y0, x0, y1, colour)
        self.fill(x1, y0, x1, y1, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            for ox in range(width):
                for oy in range(width):
                    self.put(x0 + ox - width // 2, y0 + oy - width // 2, colour)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, colour):
        """Pixels whose centres lie within r of (cx, cy); centres may be halves."""
        for y in range(self.height):
            for x in range(self.width):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def polygon(self, points, colour):
        """Even-odd fill of the polygon, sampled at pixel centres."""
        for y in range(self.height):
            sy = y + 0.5
            xs = []
            for i in range(len(points)):
                (ax, ay), (bx, by) = points[i], points[(i + 1) % len(points)]
                if (ay <= sy < by) or (by <= sy < ay):
                    xs.append(ax + (sy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                for x in range(self.width):
                    if a <= x + 0.5 < b:
                        self.put(x, y, colour)

    def glyph(self, rows, x0, y0, colour, scale=1):
        """Draws a pattern of '#' cells, each scale x scale pixels."""
        for j, row in enumerate(rows):
            for i, c in enumerate(row):
                if c == '#':
                    self.fill(x0 + i * scale, y0 + j * scale, x0 + i * scale + scale - 1,
                              y0 + j * scale + scale - 1, colour)

    def paste(self, other, x0, y0):
        for y in range(other.height):
            for x in range(other.width):
                self.put(x0 + x, y0 + y, other.pixels[y][x])


def write_bmp(canvas, name):
    row_size = (canvas.width * 3 + 3) & ~3
    data = bytearray()
    for y in reversed(range(canvas.height)):
        row = bytearray()
        for (r, g, b) in canvas.pixels[y]:
            row += bytes((b, g, r))
        row += b'\0' * (row_size - len(row))
        data += row
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(header + info + data)


def icon_image(canvas, transparent):
    """One icon image: 32-bit colour (alpha 0 where transparent) and its AND mask."""
    w, h = canvas.width, canvas.height
    xor = bytearray()
    mask = bytearray()
    mask_row = ((w + 31) // 32) * 4
    for y in reversed(range(h)):
        bits = bytearray(mask_row)
        for x in range(w):
            r, g, b = canvas.pixels[y][x]
            clear = (r, g, b) == transparent
            xor += bytes((0, 0, 0, 0)) if clear else bytes((b, g, r, 255))
            if clear:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def write_ico(canvases, transparent, name):
    images = [icon_image(c, transparent) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.width % 256, c.height % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out)


# ---- small pictures (16 x 16) ----------------------------------------------

def small_computer(c, x, y, screen=SCREEN):
    """A computer of 9 x 10 pixels with its top left corner at (x, y)."""
    c.fill(x, y, x + 8, y + 6, MID)
    c.box(x, y, x + 8, y + 6, BLACK)
    c.fill(x + 2, y + 2, x + 6, y + 4, screen)
    c.fill(x + 3, y + 7, x + 5, y + 7, DARK)
    c.fill(x + 1, y + 8, x + 7, y + 9, MID)
    c.box(x + 1, y + 8, x + 7, y + 9, BLACK)


def tree_root():
    c = Canvas(16, 16, WHITE)
    c.fill(4, 13, 12, 13, BLACK)
    c.fill(8, 10, 8, 13, BLACK)
    c.fill(2, 11, 2, 13, BLACK)
    c.fill(13, 11, 13, 13, BLACK)
    c.paste(small_piece(), 0, 5)
    c.paste(small_piece(), 9, 5)
    c.paste(small_piece(), 4, 0)
    return c


def small_piece():
    """A computer of 7 x 7 pixels for the network picture."""
    c = Canvas(7, 7, WHITE)
    c.fill(0, 0, 6, 4, MID)
    c.box(0, 0, 6, 4, BLACK)
    c.fill(2, 2, 4, 2, SCREEN)
    c.fill(1, 5, 5, 6, BLACK)
    c.fill(2, 5, 4, 5, MID)
    return c


def tree_computer():
    c = Canvas(16, 16, WHITE)
    c.fill(2, 1, 13, 10, MID)
    c.box(2, 1, 13, 10, BLACK)
    c.fill(4, 3, 11, 8, SCREEN)
    c.fill(5, 4, 7, 4, TEAL)
    c.fill(6, 11, 9, 11, DARK)
    c.fill(1, 12, 14, 14, MID)
    c.box(1, 12, 14, 14, BLACK)
    c.fill(10, 13, 12, 13, GREEN)
    return c


def tree_computer_failed():
    """The computer with a red cross over its lower right corner: its last run failed."""
    c = tree_computer()
    c.disc(11.5, 11.5, 4.6, DARKRED)
    c.disc(11.5, 11.5, 3.8, RED)
    c.line(10, 10, 13, 13, WHITE)
    c.line(10, 13, 13, 10, WHITE)
    return c


def event_information():
    c = Canvas(16, 16, GREY)
    c.disc(7.5, 7.5, 7.6, NAVY)
    c.disc(7.5, 7.5, 6.6, BLUE)
    c.fill(7, 3, 8, 4, WHITE)
    c.fill(6, 6, 8, 6, WHITE)
    c.fill(7, 7, 8, 11, WHITE)
    c.fill(6, 12, 9, 12, WHITE)
    return c


def event_warning():
    c = Canvas(16, 16, WHITE)
    c.disc(7.5, 7.5, 7.6, GOLD)
    c.disc(7.5, 7.5, 6.6, YELLOW)
    c.fill(7, 3, 8, 9, BLACK)
    c.fill(7, 11, 8, 12, BLACK)
    return c


def event_error():
    c = Canvas(16, 16, WHITE)
    octagon = [(5, 0), (11, 0), (16, 5), (16, 11), (11, 16), (5, 16), (0, 11), (0, 5)]
    c.polygon(octagon, DARKRED)
    inner = [(5.5, 1), (10.5, 1), (15, 5.5), (15, 10.5), (10.5, 15), (5.5, 15), (1, 10.5), (1, 5.5)]
    c.polygon(inner, RED)
    c.fill(3, 7, 12, 8, WHITE)
    return c


def event_audit_success():
    c = Canvas(16, 16, WHITE)
    c.disc(4.5, 7.5, 4.1, BROWN)
    c.disc(4.5, 7.5, 3.2, YELLOW)
    c.disc(4.5, 7.5, 1.1, WHITE)
    c.fill(8, 6, 15, 8, BROWN)
    c.fill(8, 7, 14, 7, YELLOW)
    c.fill(12, 9, 12, 10, BROWN)
    c.fill(14, 9, 14, 11, BROWN)
    return c


def event_audit_failure():
    c = Canvas(16, 16, WHITE)
    c.box(4, 1, 11, 8, DARK)
    c.box(5, 2, 10, 8, DARK)
    c.fill(2, 7, 13, 15, DARK)
    c.fill(3, 8, 12, 14, MID)
    c.fill(7, 10, 8, 12, BLACK)
    return c


# ---- toolbar (46 x 30 per button, grey is transparent) ----------------------

def big_computer(c, x, y):
    """A computer of 22 x 22 pixels at (x, y)."""
    c.fill(x, y, x + 21, y + 14, MID)
    c.box(x, y, x + 21, y + 14, BLACK)
    c.fill(x + 2, y + 2, x + 19, y + 12, SCREEN)
    c.fill(x + 4, y + 4, x + 9, y + 4, TEAL)
    c.fill(x + 8, y + 15, x + 13, y + 16, DARK)
    c.fill(x + 2, y + 17, x + 19, y + 21, MID)
    c.box(x + 2, y + 17, x + 19, y + 21, BLACK)
    c.fill(x + 14, y + 19, x + 17, y + 19, GREEN)


def button_add_computer():
    c = Canvas(46, 30, GREY)
    big_computer(c, 8, 4)
    c.fill(30, 14, 41, 17, DARKGREEN)
    c.fill(34, 10, 37, 21, DARKGREEN)
    c.fill(31, 15, 40, 16, GREEN)
    c.fill(35, 11, 36, 20, GREEN)
    return c


def button_delete_computer():
    c = Canvas(46, 30, GREY)
    big_computer(c, 8, 4)
    c.line(30, 10, 40, 20, RED, 3)
    c.line(40, 10, 30, 20, RED, 3)
    return c


def button_start():
    c = Canvas(46, 30, GREY)
    c.disc(22.5, 14.5, 12.6, DARKGREEN)
    c.disc(22.5, 14.5, 11.4, GREEN)
    c.polygon([(18, 7), (31, 15), (18, 23)], WHITE)
    return c


def button_quick_start():
    c = Canvas(46, 30, GREY)
    c.fill(12, 2, 31, 27, WHITE)
    c.box(12, 2, 31, 27, BLACK)
    for i, y in enumerate(range(7, 25, 4)):
        c.fill(15, y, 17, y + 1, BLUE)
        c.fill(19, y, 28 - (i % 2) * 3, y + 1, DARK)
    c.polygon([(29, 14), (38, 20), (29, 26)], GREEN)
    c.polygon([(29, 14), (38, 20), (29, 26), (30, 20)], DARKGREEN)
    c.polygon([(30, 16), (36, 20), (30, 24)], GREEN)
    return c


def button_save():
    c = Canvas(46, 30, GREY)
    c.fill(11, 3, 34, 26, NAVY)
    c.fill(12, 4, 33, 25, BLUE)
    c.fill(15, 4, 30, 12, WHITE)
    c.fill(17, 6, 28, 6, SKY)
    c.fill(17, 9, 28, 9, SKY)
    c.fill(16, 17, 29, 25, MID)
    c.fill(24, 19, 27, 24, NAVY)
    return c


def button_options():
    c = Canvas(46, 30, GREY)
    cx, cy = 22.5, 14.5
    teeth = []
    import math
    for k in range(16):
        angle = math.pi * 2 * k / 16 - math.pi / 16
        radius = 12.5 if k % 2 == 0 else 9.0
        a2 = angle + math.pi * 2 / 16
        teeth += [(cx + radius * math.cos(angle), cy + radius * math.sin(angle)),
                  (cx + radius * math.cos(a2), cy + radius * math.sin(a2))]
    c.polygon(teeth, STEEL)
    c.disc(cx, cy, 7.5, SLATE)
    c.disc(cx, cy, 3.6, GREY)
    return c


def button_help():
    c = Canvas(46, 30, GREY)
    c.disc(22.5, 14.5, 12.6, NAVY)
    c.disc(22.5, 14.5, 11.4, WHITE)
    question = [
        ".####.",
        "##..##",
        "....##",
        "...##.",
        "..##..",
        "..##..",
        "......",
        "..##..",
    ]
    c.glyph(question, 17, 6, BLUE, 2)
    return c


def button_exit():
    c = Canvas(46, 30, GREY)
    c.fill(11, 2, 27, 27, DARK)
    c.fill(13, 4, 25, 27, BLACK)
    c.polygon([(13, 4), (21, 7), (21, 30), (13, 27)], DOOR)
    c.fill(19, 16, 19, 17, YELLOW)
    c.fill(27, 13, 36, 16, GREEN)
    c.polygon([(35, 9), (42, 14.5), (35, 20)], GREEN)
    return c


def button_filter():
    """A funnel over three list rows, one of them let through."""
    c = Canvas(46, 30, GREY)
    for y in (3, 8, 13):
        c.fill(4, y, 17, y + 2, WHITE)
        c.box(4, y, 17, y + 2, DARK)
    c.fill(5, 9, 16, 9, RED)
    c.polygon([(20, 3), (41, 3), (33, 13), (33, 24), (28, 27), (28, 13)], BLUE)
    c.line(20, 3, 41, 3, NAVY)
    c.fill(6, 22, 24, 24, WHITE)
    c.box(6, 22, 24, 24, DARK)
    c.fill(7, 23, 23, 23, RED)
    return c


def button_summary():
    """A bar chart, its bars stacked in the colours of the event icons."""
    c = Canvas(46, 30, GREY)
    c.fill(8, 3, 8, 26, BLACK)
    c.fill(8, 26, 38, 26, BLACK)
    for x, parts in ((11, (4, 3, 6)), (18, (2, 6, 10)), (25, (7, 4, 3)), (32, (1, 2, 4))):
        y = 25
        for colour, height in zip((RED, YELLOW, BLUE), parts):
            c.fill(x, y - height + 1, x + 4, y, colour)
            y -= height
        c.box(x, y + 1, x + 4, 25, BLACK)
    return c


def toolbar():
    buttons = [button_add_computer(), button_delete_computer(), button_start(), button_quick_start(),
               button_save(), button_options(), button_help(), button_exit(), button_filter(), button_summary()]
    c = Canvas(46 * len(buttons), 30, GREY)
    for i, b in enumerate(buttons):
        c.paste(b, 46 * i, 0)
    return c


# ---- the program's icon -------------------------------------------------------

def program_icon_32():
    c = Canvas(32, 32, MAGENTA)
    c.fill(2, 3, 27, 21, MID)
    c.box(2, 3, 27, 21, BLACK)
    c.fill(4, 5, 25, 19, SCREEN)
    for y, mark in ((7, WHITE), (11, YELLOW), (15, RED)):
        c.fill(6, y, 7, y + 1, mark)
        c.fill(9, y, 22, y + 1, WHITE)
    c.fill(11, 22, 18, 24, DARK)
    c.fill(5, 25, 29, 29, MID)
    c.box(5, 25, 29, 29, BLACK)
    return c


def program_icon_16():
    c = Canvas(16, 16, MAGENTA)
    c.fill(1, 1, 14, 11, MID)
    c.box(1, 1, 14, 11, BLACK)
    c.fill(3, 3, 12, 9, SCREEN)
    for y, mark in ((4, YELLOW), (6, RED), (8, WHITE)):
        c.put(4, y, mark)
        c.fill(6, y, 11, y, WHITE)
    c.fill(6, 12, 9, 12, DARK)
    c.fill(2, 13, 13, 15, MID)
    c.box(2, 13, 13, 15, BLACK)
    return c


def main():
    write_bmp(tree_root(), 'tree_root.bmp')
    write_bmp(tree_computer(), 'tree_computer.bmp')
    write_bmp(tree_computer_failed(), 'tree_computer_failed.bmp')
    write_bmp(event_error(), 'event_error.bmp')
    write_bmp(event_information(), 'event_information.bmp')
    write_bmp(event_warning(), 'event_warning.bmp')
    write_bmp(event_audit_success(), 'event_audit_success.bmp')
    write_bmp(event_audit_failure(), 'event_audit_failure.bmp')
    write_bmp(toolbar(), 'toolbar.bmp')
    write_ico([program_icon_32(), program_icon_16()], MAGENTA, 'quorvin.ico')


if __name__ == '__main__':
    main()
