#!/usr/bin/python3
"""Draws every bitmap of Tavelo's windows, and its icon, from shapes, gradients and text.

    make_artwork.py OUTDIR           <id>.bmp and icon131.ico, for the resource script
    make_artwork.py --preview DIR    PNG copies, mock-ups of the windows and a contact sheet
    make_artwork.py --check DIR      sizes, depths and the areas the windows draw over

Needs Debian's /usr/bin/python3 with python3-pil, fonts-dejavu-core, fonts-ipafont-gothic,
and libraqm0 for the Farsi captions. Nothing here is random and no file is read but the
fonts, so the same packages give the same bytes.
"""

import argparse
import functools
import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont, features

# ---------------------------------------------------------------------------------------
# Palette. One deep blue carries every brand; the accent tells the brands apart.

NAVY = (22, 52, 96)
NAVY_DEEP = (11, 29, 58)
NAVY_SOFT = (58, 92, 140)
STEEL = (178, 190, 206)
TEAL = (0, 158, 163)
ROSE = (226, 78, 116)
ROSE_PALE = (246, 196, 210)
AMBER = (250, 168, 48)
INK = (32, 41, 51)
GREY = (236, 236, 236)  # the face every skinned control paints itself on
WHITE = (255, 255, 255)
BOARD = (247, 249, 252)
DEVICE = (60, 68, 82)
CYAN = (0, 255, 255)  # targets are ANDed onto the screen: only saturated colours survive
MAGENTA = (255, 0, 255)


class Brand:
    def __init__(self, name, accent):
        self.name, self.accent = name, accent


TAVELO = Brand("Tavelo", TEAL)
VELMARA = Brand("Velmara Presenter", ROSE)

SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
GOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

# ---------------------------------------------------------------------------------------
# Where the windows put things over the pictures. The check below holds the pictures to it.

SCREEN = (1024, 768)
NINE_POINTS = [(x, y) for x in (100, 512, 924) for y in (100, 384, 668)]
SIXTEEN_POINTS = [(x, y) for x in (40, 354, 669, 984) for y in (40, 269, 498, 728)]
TARGET_SIZE = 129
TARGET_CENTRE = 64
INSTRUCTION_BOX = (512 - 225, 384 + 80, 440, 100)  # x, y, width, height

PAGE = (500, 300)
PANEL_RIGHT = 200  # the illustration ends here; the controls' grey starts a few pixels on
PAGE_BUTTON = (265, 225, 143, 29)
# Control rectangles of each page, left-to-right then right-to-left.
PAGE_CONTROLS = {
    "model": [(215, 36, 150, 15), (215, 65, 170, 15), (216, 85, 263, 15), (215, 105, 170, 15),
              (216, 125, 263, 15), (360, 36, 95, 15), (290, 65, 170, 15), (290, 105, 170, 15)],
    "options": [(215, 36, 150, 15), (215, 65, 250, 15), (215, 95, 250, 15), (215, 125, 250, 15),
                (358, 36, 100, 15), (280, 65, 180, 15), (280, 95, 180, 15), (280, 125, 180, 15)],
    "align": [(215, 36, 150, 15), (360, 36, 95, 15), PAGE_BUTTON],
    "calibrate": [(215, 36, 250, 15), (360, 36, 95, 15), PAGE_BUTTON],
}
CONFIG = (340, 450)
CONFIG_CONTROLS = [
    (50, 32, 200, 15), (50, 52, 200, 15), (50, 68, 263, 15), (50, 82, 200, 15), (50, 98, 263, 15),
    (50, 158, 200, 15), (50, 180, 250, 15), (50, 205, 250, 15), (50, 230, 250, 15),
    (50, 305, 150, 15), (50, 325, 200, 15), (50, 345, 200, 15), (60, 365, 200, 15),
    (30, 400, 170, 15), (10, 440, 80, 25), (160, 440, 80, 25), (250, 440, 80, 25),
    (127, 32, 170, 15), (150, 52, 150, 15), (200, 82, 100, 15), (190, 158, 100, 15),
    (150, 180, 150, 15), (150, 230, 150, 15), (140, 305, 150, 15), (150, 325, 150, 15),
    (150, 345, 150, 15), (80, 365, 200, 15)]

# Arrow of each target picture: the side it comes from, as a step away from the centre.
ARROW_FROM = {152: (0, -1), 153: (-1, 1), 154: (-1, -1), 155: (1, 1),
              156: (1, -1), 157: (0, 1), 170: (-1, 0), 173: (1, 0)}

# ---------------------------------------------------------------------------------------
# Drawing helpers


def mix(a, b, t):
    """Colour a moved the fraction t toward b."""
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


@functools.lru_cache(maxsize=None)
def font(path, size):
    return ImageFont.truetype(path, size)


def text(im, xy, s, fnt, fill, anchor="la", rtl=False):
    d = ImageDraw.Draw(im)
    if rtl:
        d.text(xy, s, font=fnt, fill=fill, anchor=anchor, direction="rtl", language="fa")
    else:
        d.text(xy, s, font=fnt, fill=fill, anchor=anchor)


class Sketch:
    """A picture drawn at `ss` times its size and boxed down at the end: edges come out
    anti-aliased while flat areas keep their exact colour. Coordinates are final pixels."""

    def __init__(self, size, fill, ss=4):
        self.size, self.ss = size, ss
        self.im = Image.new("RGB", (size[0] * ss, size[1] * ss), fill)
        self.d = ImageDraw.Draw(self.im, "RGBA")

    def _pts(self, pts):
        return [(x * self.ss - 0.5, y * self.ss - 0.5) for x, y in pts]  # pixel centres

    def _box(self, x0, y0, x1, y1):
        s = self.ss
        return (round(x0 * s), round(y0 * s), round(x1 * s) - 1, round(y1 * s) - 1)

    def rect(self, box, fill=None, outline=None, width=1, radius=0):
        self.d.rounded_rectangle(self._box(*box), radius=radius * self.ss, fill=fill,
                                 outline=outline, width=round(width * self.ss))

    def ellipse(self, box, fill=None, outline=None, width=1):
        self.d.ellipse(self._box(*box), fill=fill, outline=outline, width=round(width * self.ss))

    def circle(self, cx, cy, r, fill=None, outline=None, width=1):
        self.ellipse((cx - r, cy - r, cx + r, cy + r), fill, outline, width)

    def arc(self, box, start, end, fill, width=1):
        self.d.arc(self._box(*box), start, end, fill=fill, width=round(width * self.ss))

    def line(self, pts, fill, width=1):
        self.d.line(self._pts(pts), fill=fill, width=round(width * self.ss), joint="curve")

    def polygon(self, pts, fill):
        self.d.polygon(self._pts(pts), fill=fill)

    def vgradient(self, box, top, bottom):
        x0, y0, x1, y1 = self._box(*box)
        for y in range(y0, y1 + 1):
            self.d.line([(x0, y), (x1, y)], fill=mix(top, bottom, (y - y0) / max(1, y1 - y0)))

    def done(self):
        return self.im.resize(self.size, Image.BOX)


def arrow(sk, c, away, tip, tail, shaft, head_len, head_w, fill):
    """An arrow lying on the ray from c toward `away`, its point `tip` from c."""
    n = math.hypot(*away)
    ux, uy = away[0] / n, away[1] / n
    px, py = -uy, ux
    at = lambda d, w: (c[0] + ux * d + px * w, c[1] + uy * d + py * w)
    sk.polygon([at(tip, 0), at(tip + head_len, head_w), at(tip + head_len, -head_w)], fill)
    sk.polygon([at(tip + head_len * 0.7, shaft / 2), at(tail, shaft / 2),
                at(tail, -shaft / 2), at(tip + head_len * 0.7, -shaft / 2)], fill)


def crosshair(sk, c, ring, arm, width):
    sk.circle(c[0], c[1], ring, outline=CYAN, width=width)
    sk.line([(c[0] - arm, c[1]), (c[0] + arm, c[1])], CYAN, width)
    sk.line([(c[0], c[1] - arm), (c[0], c[1] + arm)], CYAN, width)


def board(sk, box, frame=STEEL):
    sk.rect(box, fill=BOARD, outline=frame, width=2, radius=3)


def pen(sk, tip, away, length, brand, width=8):
    """An IR pen touching `tip`, its body running off toward `away`, the tip glowing."""
    n = math.hypot(*away)
    ux, uy = away[0] / n, away[1] / n
    px, py = -uy * width / 2, ux * width / 2
    at = lambda d, k=1.0: [(tip[0] + ux * d + px * k, tip[1] + uy * d + py * k),
                           (tip[0] + ux * d - px * k, tip[1] + uy * d - py * k)]
    for r, a in ((9, 50), (6, 90), (3.5, 200)):
        sk.circle(tip[0], tip[1], r, fill=AMBER + (a,))
    a, b = at(width * 1.3, 0.75)
    sk.polygon([tip, a, b], (96, 104, 116))
    e, f = at(length, 1.25)
    sk.polygon([a, e, f, b], (122, 136, 158))  # the rim: it must read on the board too
    e, f = at(length)
    a, b = at(width * 1.3 + 0.8, 0.75)
    sk.polygon([a, e, f, b], (222, 228, 236))
    g, h = at(length * 0.36)
    i, j = at(length * 0.46)
    sk.polygon([g, i, j, h], brand.accent)


def camera_unit(sk, cx, cy, scale, brand):
    """The camera unit seen from the front: a dark case with its lens."""
    w, h = 44 * scale, 24 * scale
    sk.rect((cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2), fill=DEVICE, radius=6 * scale)
    sk.rect((cx - w / 2 + 3 * scale, cy - h / 2 + 2 * scale, cx + w / 2 - 3 * scale,
             cy - h / 2 + 4 * scale), fill=(92, 102, 118), radius=1 * scale)
    sk.circle(cx, cy + 1 * scale, 8 * scale, fill=NAVY_DEEP, outline=brand.accent,
              width=2 * scale)
    sk.circle(cx, cy + 1 * scale, 3.5 * scale, fill=(6, 12, 24))
    sk.circle(cx - 2 * scale, cy - 1 * scale, 1.3 * scale, fill=(255, 255, 255, 200))
    sk.circle(cx + 16 * scale, cy - 4 * scale, 1.6 * scale, fill=brand.accent)


def logo(sk, x, y, s, brand, field=NAVY):
    """The mark: a board with a stroke on it and a glowing pen tip, in an s-pixel tile."""
    sk.rect((x, y, x + s, y + s), fill=field, radius=s * 0.22)
    sk.rect((x + s * 0.17, y + s * 0.2, x + s * 0.83, y + s * 0.64), fill=BOARD,
            radius=s * 0.05)
    sk.line([(x + s * 0.28, y + s * 0.52), (x + s * 0.42, y + s * 0.32),
             (x + s * 0.56, y + s * 0.5), (x + s * 0.69, y + s * 0.34)], brand.accent,
            max(1.0, s * 0.07))
    sk.circle(x + s * 0.69, y + s * 0.34, s * 0.09, fill=AMBER)
    sk.line([(x + s * 0.71, y + s * 0.37), (x + s * 0.86, y + s * 0.84)], (122, 136, 158),
            max(1.0, s * 0.13))
    sk.line([(x + s * 0.715, y + s * 0.39), (x + s * 0.86, y + s * 0.84)], (222, 228, 236),
            max(1.0, s * 0.08))
    sk.rect((x + s * 0.35, y + s * 0.7, x + s * 0.65, y + s * 0.76), fill=STEEL,
            radius=s * 0.02)


# ---------------------------------------------------------------------------------------
# The pictures, one function per family. Each returns a PIL image.


def splash(brand):
    sk = Sketch((400, 250), NAVY)
    sk.vgradient((0, 0, 400, 250), (30, 64, 114), NAVY_DEEP)
    sk.circle(330, 120, 150, fill=(255, 255, 255, 8))
    sk.circle(330, 120, 105, fill=(255, 255, 255, 8))
    # Camera unit above the board, its view reaching the board's corners.
    sk.polygon([(300, 42), (222, 84), (378, 84)], brand.accent + (60,))
    board(sk, (222, 80, 378, 178), frame=(150, 166, 190))
    sk.rect((268, 178, 332, 184), fill=STEEL, radius=2)
    sk.rect((297, 38, 303, 50), fill=(92, 102, 118))
    camera_unit(sk, 300, 32, 0.72, brand)
    stroke = [(240 + 84 * t / 40, 140 - 18 * math.sin(t / 40 * 4 * math.pi) * (0.5 + t / 80)
               - 14 * t / 40) for t in range(41)]
    sk.line(stroke, brand.accent, 4)
    pen(sk, stroke[-1], (1, 1.15), 118, brand, width=10)
    sk.rect((0, 244, 400, 250), fill=brand.accent)
    im = sk.done()
    if brand is VELMARA:
        text(im, (28, 70), "Velmara", font(SANS_BOLD, 40), WHITE)
        text(im, (30, 118), "Presenter", font(SANS, 24), ROSE_PALE)
        tag_y = 158
    else:
        text(im, (26, 76), "Tavelo", font(SANS_BOLD, 48), WHITE)
        tag_y = 140
    text(im, (30, tag_y), "Interactive whiteboard", font(SANS, 13), (200, 214, 232))
    text(im, (30, tag_y + 19), "for infrared pens", font(SANS, 13), (200, 214, 232))
    return im


def calibration_background(brand, title=None):
    sk = Sketch(SCREEN, WHITE, ss=2)
    sk.vgradient((0, 0) + SCREEN, (249, 251, 253), (237, 242, 247))
    # Two pale quarter discs give the screen its colour without drawing the eye; both
    # stay light enough that the targets keep their saturation after the AND.
    sk.circle(1090, -90, 340, fill=mix(brand.accent, WHITE, 0.9))
    sk.circle(-110, 880, 320, fill=mix(NAVY, WHITE, 0.92))
    # The name sits in the gap between the bottom row's targets (x 419 to 604), centred.
    fnt = font(SANS_BOLD, 13 if brand is VELMARA else 16)
    x = 512 - (24 + fnt.getlength(brand.name)) / 2
    logo(sk, round(x), 740, 18, brand, field=NAVY_SOFT)
    im = sk.done()
    text(im, (round(x) + 24, 749), brand.name, fnt, NAVY_SOFT, anchor="lm")
    if title:  # above the middle column's top target
        text(im, (512, 18), title, font(GOTHIC, 16), NAVY_SOFT, anchor="mm")
    return im


def target(away):
    sk = Sketch((TARGET_SIZE, TARGET_SIZE), WHITE)
    c = (TARGET_CENTRE + 0.5, TARGET_CENTRE + 0.5)  # the middle of pixel (64, 64)
    crosshair(sk, c, ring=15, arm=24, width=3)
    arrow(sk, c, away, tip=29, tail=61, shaft=7, head_len=18, head_w=11, fill=MAGENTA)
    return sk.done()


def scene_setup(sk, brand):
    """Model and mounting: a ceiling projector lighting a 9-point and a 16-point board,
    and the computer the driver starts with."""
    sk.line([(16, 24), (184, 24)], (120, 146, 184), 2)
    sk.rect((98, 24, 102, 36), fill=STEEL)
    sk.polygon([(92, 54), (108, 54), (190, 100), (10, 100)], (255, 255, 255, 30))
    sk.rect((70, 34, 130, 54), fill=(214, 222, 232), radius=5)
    sk.circle(114, 44, 6, fill=NAVY_DEEP, outline=brand.accent, width=2)
    for i in range(3):
        sk.rect((78 + 6 * i, 40, 81 + 6 * i, 48), fill=STEEL, radius=1)
    for box, n in (((14, 98, 96, 160), 3), ((104, 98, 186, 160), 4)):
        board(sk, box)
        x0, y0, x1, y1 = box
        for i in range(n):
            for j in range(n):
                x = x0 + 12 + (x1 - x0 - 24) * i / (n - 1)
                y = y0 + 11 + (y1 - y0 - 22) * j / (n - 1)
                sk.circle(x, y, 3, fill=brand.accent)
    # The computer, with a start symbol on its screen.
    sk.rect((66, 190, 134, 232), fill=(214, 222, 232), radius=3)
    sk.rect((71, 195, 129, 227), fill=NAVY_DEEP, radius=1)
    sk.rect((54, 232, 146, 238), fill=STEEL, radius=2)
    sk.arc((88, 199, 112, 223), 300, 240, brand.accent, 3)
    sk.line([(100, 198), (100, 210)], brand.accent, 3)


def scene_align(sk, brand):
    """Alignment: the camera unit below the board, the whole board inside its view."""
    sk.polygon([(100, 206), (18, 138), (18, 26), (182, 26), (182, 138)], brand.accent + (56,))
    board(sk, (26, 34, 174, 130))
    sk.rect((36, 43, 164, 121), outline=INK, width=5)
    for cx, cy, sx, sy in ((18, 26, 1, 1), (182, 26, -1, 1), (18, 138, 1, -1), (182, 138, -1, -1)):
        sk.line([(cx, cy + 14 * sy), (cx, cy), (cx + 14 * sx, cy)], AMBER, 3)
    sk.rect((96, 218, 104, 246), fill=STEEL)
    sk.rect((76, 244, 124, 250), fill=STEEL, radius=2)
    camera_unit(sk, 100, 210, 1.0, brand)


def scene_calibrate(sk, brand):
    """Calibration: the pen held on the fourth of nine targets, three taken already."""
    board(sk, (16, 26, 184, 176))
    points = [(x, y) for x in (40, 100, 160) for y in (50, 101, 152)]
    for k, (x, y) in enumerate(points):
        if k < 3:
            sk.circle(x, y, 5, fill=brand.accent)
        elif k > 3:
            sk.circle(x, y, 3, fill=(206, 214, 226))
    crosshair(sk, points[3], ring=8, arm=13, width=2)
    arrow(sk, points[3], (0, 1), tip=16, tail=40, shaft=4, head_len=10, head_w=6, fill=MAGENTA)
    pen(sk, points[3], (1, 0.62), 100, brand, width=10)
    for k in range(9):  # how far the sequence has come
        x = 100 + (k - 4) * 16
        fill = brand.accent if k < 3 else AMBER if k == 3 else (88, 116, 156)
        sk.rect((x - 5, 206, x + 5, 216), fill=fill, radius=2)


SCENES = {"setup": scene_setup, "align": scene_align, "calibrate": scene_calibrate}


def wizard_page(scene, brand, caption=None, rtl=False):
    sk = Sketch(PAGE, GREY)
    sk.vgradient((0, 0, PANEL_RIGHT, PAGE[1]), (28, 62, 110), NAVY_DEEP)
    sk.rect((PANEL_RIGHT, 0, PANEL_RIGHT + 3, PAGE[1]), fill=brand.accent)
    SCENES[scene](sk, brand)
    im = sk.done()
    if caption:
        fnt = font(SANS_BOLD, 15 if rtl else 13)
        text(im, (PANEL_RIGHT // 2, 276), caption, fnt, WHITE, anchor="mm", rtl=rtl)
    return im


def config_background():
    w, h = CONFIG
    sk = Sketch(CONFIG, GREY)
    sk.vgradient((0, 0, w, 24), (30, 64, 114), NAVY)
    sk.rect((0, 24, w, 26), fill=TEAL)
    logo(sk, w - 28, 3, 18, TAVELO, field=NAVY_SOFT)
    for y in (136, 276):  # between the groups of controls, clear of every rectangle
        sk.rect((50, y, 313, y + 1), fill=(214, 219, 226))
    # One small sign beside each group: the point grid, the mounting, the update server.
    for i in range(3):
        for j in range(3):
            sk.circle(18 + 8 * i, 50 + 8 * j, 2.2, fill=NAVY_SOFT)
    sk.rect((12, 158, 40, 160), fill=NAVY_SOFT)
    sk.rect((25, 160, 27, 166), fill=NAVY_SOFT)
    sk.rect((16, 166, 36, 176), fill=NAVY_SOFT, radius=3)
    sk.circle(31, 171, 3, fill=GREY)
    sk.circle(26, 322, 11, outline=NAVY_SOFT, width=2)
    sk.ellipse((21, 311, 31, 333), outline=NAVY_SOFT, width=2)
    sk.line([(15, 322), (37, 322)], NAVY_SOFT, 2)
    sk.line([(30, 340), (30, 352)], TEAL, 2)
    sk.polygon([(25, 347), (35, 347), (30, 354)], TEAL)
    return sk.done()


def button(label, backdrop, pressed, size=(143, 29), cjk=False):
    """A push button's face; the pressed one darker, its label a pixel down and right."""
    w, h = size
    sk = Sketch(size, backdrop)
    sk.rect((0, 0, w, h), fill=NAVY_DEEP, radius=5)
    face = Sketch(size, NAVY)
    if pressed:
        face.vgradient((0, 0, w, h), (16, 38, 72), (28, 60, 106))
    else:
        face.vgradient((0, 0, w, h), (50, 92, 150), NAVY)
    inside = Image.new("L", sk.im.size, 0)
    ImageDraw.Draw(inside).rounded_rectangle(sk._box(1, 1, w - 1, h - 1), radius=4 * sk.ss,
                                             fill=255)
    sk.im.paste(face.im, (0, 0), inside)
    if pressed:
        sk.rect((2, 1, w - 2, 3), fill=(0, 0, 0, 70), radius=1)
    else:
        sk.rect((5, 1, w - 5, 2), fill=(255, 255, 255, 46))
    im = sk.done()
    x, y = w // 2 + pressed, h // 2 + pressed
    if cjk:  # the Gothic has no bold face: twice, a pixel apart, matches the Latin labels
        for dx in (0, 1):
            text(im, (x - 1 + dx, y), label, font(GOTHIC, 15), WHITE, anchor="mm")
    else:
        text(im, (x, y), label, font(SANS_BOLD, 12), WHITE, anchor="mm")
    return im


# At 16 x 16 anti-aliased shapes blur, so the small icon is laid out pixel by pixel.
ICON_16 = [
    ".nNNNNNNNNNNNNn.",
    "nNNNNNNNNNNNNNNn",
    "NNWWWWWWWWWWWWNN",
    "NNWWWWWWWWWWWWNN",
    "NNWWWWWWWWWAAWNN",
    "NNWWWWTWWWTAAWNN",
    "NNWWWTWTWTWWppNN",
    "NNWWTWWWTWWWWppN",
    "NNWTWWWWWWWWWWpp",
    "NNWWWWWWWWWWWWNN",
    "NNWWWWWWWWWWWWNN",
    "NNNNNNNNNNNNNNNN",
    "NNNNNSSSSSSNNNNN",
    "NNNNNNNNNNNNNNNN",
    "nNNNNNNNNNNNNNNn",
    ".nNNNNNNNNNNNNn.",
]
ICON_16_COLOURS = {".": (0, 0, 0, 0), "n": NAVY + (110,), "N": NAVY + (255,),
                   "W": BOARD + (255,), "T": TEAL + (255,), "A": AMBER + (255,),
                   "p": (150, 162, 182, 255), "S": STEEL + (255,)}


def icon_image(s):
    if s == 16:
        im = Image.new("RGBA", (16, 16))
        im.putdata([ICON_16_COLOURS[ch] for row in ICON_16 for ch in row])
        return im
    sk = Sketch((s, s), (0, 0, 0), ss=8)
    sk.im = Image.new("RGBA", sk.im.size, (0, 0, 0, 0))
    sk.d = ImageDraw.Draw(sk.im, "RGBA")
    logo(sk, 0, 0, s, TAVELO)
    return sk.done()


# ---------------------------------------------------------------------------------------
# The whole set: id -> (picture, bits per pixel)


def artwork():
    fa = features.check("raqm")
    if not fa:
        print("make_artwork: no libraqm, Farsi captions left out", file=sys.stderr)
    farsi = lambda s: s if fa else None
    pics = {
        189: (splash(TAVELO), 24),
        213: (splash(VELMARA), 24),
        159: (calibration_background(TAVELO), 24),
        203: (calibration_background(TAVELO, title="キャリブレーション"), 24),
        212: (calibration_background(VELMARA), 24),
        176: (wizard_page("align", TAVELO), 24),
        178: (wizard_page("calibrate", TAVELO), 24),
        179: (wizard_page("setup", TAVELO), 24),
        209: (wizard_page("align", VELMARA, "Velmara Presenter"), 8),
        210: (wizard_page("calibrate", VELMARA, "Velmara Presenter"), 8),
        211: (wizard_page("setup", VELMARA, "Velmara Presenter"), 8),
        216: (wizard_page("setup", TAVELO, farsi("راه‌اندازی"), rtl=True), 24),
        217: (wizard_page("align", TAVELO, farsi("تنظیم جهت دوربین"), rtl=True), 24),
        218: (wizard_page("calibrate", TAVELO, farsi("کالیبراسیون"), rtl=True), 24),
        180: (config_background(), 8),
        183: (button("Start Calibration", GREY, False), 24),
        182: (button("Start Calibration", GREY, True), 24),
        200: (button("Start Alignment", GREY, False), 24),
        199: (button("Start Alignment", GREY, True), 24),
        205: (button("開始", GREY, False, cjk=True), 24),
        206: (button("開始", GREY, True, cjk=True), 24),
        188: (button("OK", WHITE, False, size=(93, 29)), 24),
        185: (button("OK", WHITE, True, size=(93, 29)), 24),
    }
    for pid, away in ARROW_FROM.items():
        pics[pid] = (target(away), 24)
    return pics


def palettised(im):
    """8-bit copy whose palette holds the picture's commonest colours exactly (the page's
    grey among them, so the areas under the controls stay the grey they paint with) and a
    median cut of the rest for the anti-aliased edges."""
    counts = sorted(im.getcolors(im.width * im.height), reverse=True)
    fixed = [v for n, c in counts[:32] for v in c]
    rest = im.quantize(224, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = Image.new("P", (1, 1))
    pal.putpalette(fixed + rest.getpalette()[:224 * 3])
    return im.quantize(palette=pal, dither=Image.Dither.NONE)


def write_ico(path, images):
    """An icon file of 32-bit images with alpha, stored as DIBs (not PNG) so that every
    Windows version and windres take it."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for im in images:
        w, h = im.size
        rows_up = im.transpose(Image.FLIP_TOP_BOTTOM)  # DIB rows run bottom-up
        px = rows_up.tobytes("raw", "BGRA")
        alpha = rows_up.getchannel("A").tobytes()
        mask_row = ((w + 31) // 32) * 4
        mask = bytearray(mask_row * h)  # set bits: transparent, for readers without alpha
        for y in range(h):
            for x in range(w):
                if alpha[y * w + x] == 0:
                    mask[y * mask_row + x // 8] |= 0x80 >> (x % 8)
        blob = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(px) + len(mask),
                           0, 0, 0, 0) + px + bytes(mask)
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs))


ICON_SIZES = (16, 32, 48)


def generate(outdir):
    os.makedirs(outdir, exist_ok=True)
    for pid, (im, bits) in sorted(artwork().items()):
        (palettised(im) if bits == 8 else im).save(os.path.join(outdir, f"{pid}.bmp"))
    write_ico(os.path.join(outdir, "icon131.ico"), [icon_image(s) for s in ICON_SIZES])


# ---------------------------------------------------------------------------------------
# Preview: what a reviewer looks at


def and_onto(screen, pic, centre):
    """The calibration window's drawing: the target picture ANDed onto the background."""
    x, y = centre[0] - TARGET_CENTRE, centre[1] - TARGET_CENTRE
    box = (x, y, x + TARGET_SIZE, y + TARGET_SIZE)
    under = screen.crop(box)
    screen.paste(Image.frombytes("RGB", under.size, bytes(
        a & b for a, b in zip(under.tobytes(), pic.tobytes()))), box)


def outline(im, rects, colour):
    d = ImageDraw.Draw(im)
    for x, y, w, h in rects:
        d.rectangle((x, y, x + w - 1, y + h - 1), outline=colour)


def preview(outdir):
    os.makedirs(outdir, exist_ok=True)
    pics = {pid: (palettised(im).convert("RGB") if bits == 8 else im)
            for pid, (im, bits) in artwork().items()}
    for pid, im in pics.items():
        im.save(os.path.join(outdir, f"{pid}.png"))
    icons = [icon_image(s) for s in ICON_SIZES]
    for im in icons:
        im.save(os.path.join(outdir, f"icon131-{im.width}.png"))
        im.resize((im.width * 8,) * 2, Image.NEAREST).save(
            os.path.join(outdir, f"icon131-{im.width}-x8.png"))

    # The calibration window with every target of a layout shown at once, and the place of
    # the instruction text; the wizard pages and the configuration dialog with the
    # rectangles of their controls (red) and the bitmap button where the page puts it.
    order9 = [155, 173, 156, 157, 157, 152, 153, 170, 154]
    order16 = [155, 157, 157, 153, 173, 157, 157, 170, 156, 152, 152, 154, 156, 152, 152, 154]
    sixteen_at = [SIXTEEN_POINTS[4 * (k % 4) + k // 4] for k in range(16)]  # row-major index
    for bg in (159, 203, 212):
        for name, order, places in (("nine", order9, NINE_POINTS), ("sixteen", order16, sixteen_at)):
            screen = pics[bg].copy()
            for pid, c in zip(order, places):
                and_onto(screen, pics[pid], c)
            outline(screen, [INSTRUCTION_BOX], (200, 0, 0))
            screen.save(os.path.join(outdir, f"mock-calibration-{bg}-{name}.png"))
    for pid, kinds in ((176, ["align"]), (178, ["calibrate"]), (179, ["model", "options"]),
                       (209, ["align"]), (210, ["calibrate"]), (211, ["model"]),
                       (216, ["model", "options"]), (217, ["align"]), (218, ["calibrate"])):
        page = pics[pid].copy()
        if kinds[0] in ("align", "calibrate"):
            up = 183 if kinds[0] == "calibrate" else 200
            page.paste(pics[up], PAGE_BUTTON[:2])
        outline(page, [r for k in kinds for r in PAGE_CONTROLS[k]], (220, 0, 0))
        page.save(os.path.join(outdir, f"mock-page-{pid}.png"))
    dialog = Image.new("RGB", (340, 480), WHITE)
    dialog.paste(pics[180], (0, 0))
    outline(dialog, CONFIG_CONTROLS, (220, 0, 0))
    dialog.save(os.path.join(outdir, "mock-config-180.png"))

    # One contact sheet of everything the program embeds, a family to a row, big pictures
    # at half size.
    rows = [[189, 213], [159, 203, 212], sorted(ARROW_FROM), [179, 176, 178, 211, 209, 210],
            [216, 217, 218], [180, 183, 182, 200, 199, 205, 206, 188, 185]]
    half = lambda im: im if im.width < 600 else im.resize((im.width // 2, im.height // 2), Image.BOX)
    rows = [[(str(pid), half(pics[pid])) for pid in row] for row in rows]
    rows[-1] += [(f"icon {im.width}", im) for im in icons]
    sheet_w, pad, y, placed = 1600, 16, 16, []
    for row in rows:
        x, row_h = pad, 0
        for label, im in row:
            if x + im.width > sheet_w - pad:
                x, y, row_h = pad, y + row_h + 20 + pad, 0
            placed.append((label, im, x, y))
            x, row_h = x + max(im.width, 56) + pad, max(row_h, im.height)
        y += row_h + 20 + pad
    sheet = Image.new("RGB", (sheet_w, y), (200, 204, 210))
    for label, im, x, y in placed:
        sheet.paste(im.convert("RGBA"), (x, y), im.convert("RGBA"))
        text(sheet, (x, y + im.height + 4), label, font(SANS, 12), INK)
    sheet.save(os.path.join(outdir, "contact-sheet.png"))
    return os.path.join(outdir, "contact-sheet.png")


# ---------------------------------------------------------------------------------------
# Check: what the resource script and the windows rely on

EXPECTED = {**{pid: ((400, 250), 24) for pid in (189, 213)},
            **{pid: (SCREEN, 24) for pid in (159, 203, 212)},
            **{pid: ((TARGET_SIZE, TARGET_SIZE), 24) for pid in (152, 153, 154, 155, 156, 157, 170, 173)},
            **{pid: (PAGE, 24) for pid in (176, 178, 179, 216, 217, 218)},
            **{pid: (PAGE, 8) for pid in (209, 210, 211)},
            180: (CONFIG, 8),
            **{pid: ((143, 29), 24) for pid in (183, 182, 200, 199, 205, 206)},
            **{pid: ((93, 29), 24) for pid in (188, 185)}}
PAGE_KINDS = {176: ["align"], 209: ["align"], 217: ["align"],
              178: ["calibrate"], 210: ["calibrate"], 218: ["calibrate"],
              179: ["model", "options"], 216: ["model", "options"], 211: ["model"]}
# Written apart from ARROW_FROM, as the calibration window's table names them.
ARROW_SIDE = {152: "above", 153: "lower left", 154: "upper left", 155: "lower right",
              156: "upper right", 157: "below", 170: "left", 173: "right"}
SIDES = {"above": (0, -1), "below": (0, 1), "left": (-1, 0), "right": (1, 0),
         "upper left": (-1, -1), "upper right": (1, -1), "lower left": (-1, 1),
         "lower right": (1, 1)}


def bmp_header(path):
    with open(path, "rb") as f:
        head = f.read(54)
    magic, = struct.unpack_from("<2s", head)
    size, w, h, planes, bits, compression = struct.unpack_from("<IiiHHI", head, 14)
    return magic, size, w, h, planes, bits, compression


def check(outdir):
    faults = []
    fault = faults.append
    for pid, ((w, h), bits) in sorted(EXPECTED.items()):
        path = os.path.join(outdir, f"{pid}.bmp")
        if not os.path.exists(path):
            fault(f"{pid}.bmp missing")
            continue
        got = bmp_header(path)
        if got != (b"BM", 40, w, h, 1, bits, 0):
            fault(f"{pid}.bmp: header {got}, want a {w} x {h} bottom-up {bits}-bit BI_RGB DIB")
            continue
        im = Image.open(path).convert("RGB")
        if pid in ARROW_SIDE:
            c = TARGET_CENTRE
            if im.getpixel((c, c)) != CYAN:
                fault(f"{pid}: centre {im.getpixel((c, c))} is not cyan")
            px = im.getpixel  # both arms, and the ring, must be mirror images about (64, 64)
            if any(px((c - m, c + d)) != px((c + m, c + d)) or px((c + d, c - m)) != px((c + d, c + m))
                   for d in range(-20, 21) for m in range(1, 5)):
                fault(f"{pid}: cross-hair not centred on ({c}, {c})")
            for corner in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
                if im.getpixel(corner) != WHITE:
                    fault(f"{pid}: corner {corner} is not white")
            sx, sy = SIDES[ARROW_SIDE[pid]]
            d = 45 / math.hypot(sx, sy)
            if im.getpixel((round(c + sx * d), round(c + sy * d))) != MAGENTA:
                fault(f"{pid}: no magenta arrow from the {ARROW_SIDE[pid]}")
        if pid in (159, 203, 212):
            # Light under every target square: the AND must leave cyan and magenta vivid.
            for cx, cy in NINE_POINTS + SIXTEEN_POINTS:
                box = (max(0, cx - 64), max(0, cy - 64), min(w, cx + 65), min(h, cy + 65))
                if min(lo for lo, hi in im.crop(box).getextrema()) < 224:
                    fault(f"{pid}: too dark under the target at ({cx}, {cy})")
            x, y, bw, bh = INSTRUCTION_BOX
            ext = im.crop((x, y, x + bw, y + bh)).getextrema()
            if min(lo for lo, hi in ext) < 224 or max(hi - lo for lo, hi in ext) > 8:
                fault(f"{pid}: the instruction text's area is not light and plain")
        rects = [r for k in PAGE_KINDS.get(pid, []) for r in PAGE_CONTROLS[k]]
        rects += CONFIG_CONTROLS if pid == 180 else []
        for x, y, rw, rh in rects:
            area = im.crop((x, y, x + rw, min(h, y + rh)))
            if area.getcolors(1) != [(area.width * area.height, GREY)]:
                fault(f"{pid}: control area {(x, y, rw, rh)} is not flat grey")
    ico = os.path.join(outdir, "icon131.ico")
    try:
        with open(ico, "rb") as f:
            data = f.read()
        _, kind, n = struct.unpack_from("<HHH", data)
        found = sorted((e[0] or 256, e[5]) for e in
                       (struct.unpack_from("<BBBBHHII", data, 6 + 16 * i) for i in range(n)))
        if kind != 1 or found != [(s, 32) for s in ICON_SIZES]:
            fault(f"icon131.ico holds {found}, want 32-bit images of {ICON_SIZES}")
    except (OSError, struct.error) as e:
        fault(f"icon131.ico unreadable: {e}")
    for f in faults:
        print("FAULT:", f)
    print(f"artwork check: {len(EXPECTED) + 1} files, {len(faults)} faults")
    return not faults


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("outdir", nargs="?")
    ap.add_argument("--preview", metavar="DIR")
    ap.add_argument("--check", metavar="DIR")
    args = ap.parse_args()
    if args.check:
        return 0 if check(args.check) else 1
    if args.preview:
        print(preview(args.preview))
        return 0
    if not args.outdir:
        ap.error("give an output folder, --preview DIR or --check DIR")
    generate(args.outdir)
    return 0


if __name__ == "__main__":
    sys.exit(main())
