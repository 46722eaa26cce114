#!/usr/bin/env python3
"""Writes the forty learner pictures src/widgets/pictures/learner_01.svg .. learner_40.svg.

Learners choose one of them in the profile window; the number is
kept in the users database, so the order of the list below must never change.

Every picture is a 64 x 64 badge in the same style: a pastel disc, flat colours and one
dark outline colour. Pictures 1-15 are people, 16-20 figures, 21-40 animals. Qt Svg
renders SVG Tiny 1.2, so only plain shapes, paths, flat fills and strokes are used
(no clip paths, masks or filters).

Run from anywhere:  python3 tools/pictures/make_learners.py
"""
import math
import os

OUT = "#2b2d42"  # the outline colour of every picture
W = 2  # outline width
PINK = "#f4978e"
WHITE = "#ffffff"

SKIN = ["#fde0c5", "#f1c27d", "#e0ac69", "#c68642", "#8d5524", "#ffdbac"]
HAIR = {
    "black": "#2d2424",
    "brown": "#6b3e26",
    "blonde": "#e9c46a",
    "red": "#c0562b",
    "grey": "#b9b9c3",
    "white": "#f2f2f2",
}
BACKGROUNDS = ["#cfe8ff", "#ffe0cc", "#d8f3dc", "#fff1b6", "#e9d8ff", "#ffd6e0", "#d0f4f0", "#f0e6d2"]


def attrs(fill=None, stroke=True, width=W, extra=""):
    a = ' fill="%s"' % (fill if fill else "none")
    if stroke:
        a += ' stroke="%s" stroke-width="%s" stroke-linejoin="round" stroke-linecap="round"' % (
            OUT if stroke is True else stroke, width)
    return a + extra


def circle(cx, cy, r, fill=None, stroke=True, width=W, extra=""):
    return '<circle cx="%g" cy="%g" r="%g"%s/>' % (cx, cy, r, attrs(fill, stroke, width, extra))


def ellipse(cx, cy, rx, ry, fill=None, stroke=True, width=W, extra=""):
    return '<ellipse cx="%g" cy="%g" rx="%g" ry="%g"%s/>' % (cx, cy, rx, ry, attrs(fill, stroke, width, extra))


def path(d, fill=None, stroke=True, width=W, extra=""):
    return '<path d="%s"%s/>' % (d, attrs(fill, stroke, width, extra))


def rect(x, y, w, h, fill=None, stroke=True, width=W, rx=0, extra=""):
    return '<rect x="%g" y="%g" width="%g" height="%g" rx="%g"%s/>' % (x, y, w, h, rx, attrs(fill, stroke, width, extra))


# ---- shared parts ---------------------------------------------------------------------

def on_disc(y, r=30):
    """The two x positions where the horizontal line y meets the badge's disc."""
    dx = math.sqrt(r * r - (y - 32) ** 2)
    return 32 - dx, 32 + dx


def shoulders(colour, top=44, y=53):
    """A bust cut off by the disc: shoulders from the left edge to the right edge."""
    left, right = on_disc(y)
    d = ("M%.1f %g C%.1f %g %g %g 32 %g C%g %g %.1f %g %.1f %g A30 30 0 0 1 %.1f %g Z"
         % (left, y, left + 3, top + 2, 22, top, top, 42, top, right - 3, top + 2, right, y, left, y))
    return path(d, colour)


def neck(skin):
    return rect(28, 38, 8, 8, skin)


def eyes(y=29, dx=5.5, r=1.9, cx=32):
    return circle(cx - dx, y, r, OUT, False) + circle(cx + dx, y, r, OUT, False)


def smile(y=35, w=5, depth=4, cx=32):
    return path("M%g %g Q%g %g %g %g" % (cx - w, y, cx, y + depth, cx + w, y))


def cheeks(y=34, dx=9, cx=32):
    return circle(cx - dx, y, 2.2, PINK, False, extra=' opacity="0.6"') + circle(
        cx + dx, y, 2.2, PINK, False, extra=' opacity="0.6"')


def head(skin, cy=29, r=13):
    return circle(32, cy, r, skin)


def ears(skin, y=30, dx=13):
    return circle(32 - dx, y, 3, skin) + circle(32 + dx, y, 3, skin)


def face(skin, smile_depth=4):
    return ears(skin) + head(skin) + eyes() + cheeks() + smile(depth=smile_depth)


def glasses(y=29, frame=OUT):
    return (circle(26.5, y, 4, WHITE, frame, 1.6, ' fill-opacity="0.35"') +
            circle(37.5, y, 4, WHITE, frame, 1.6, ' fill-opacity="0.35"') +
            path("M30.5 %g L33.5 %g" % (y, y), None, frame, 1.6))


def star(cx, cy, r, fill, stroke=True, width=1.2):
    pts = []
    for i in range(10):
        a = -math.pi / 2 + i * math.pi / 5
        rr = r if i % 2 == 0 else r * 0.45
        pts.append("%.1f %.1f" % (cx + rr * math.cos(a), cy + rr * math.sin(a)))
    return path("M" + " L".join(pts) + " Z", fill, stroke, width)


# ---- people (1-15) --------------------------------------------------------------------

def girl_ponytail():
    s, h = SKIN[0], HAIR["brown"]
    return (ellipse(47, 33, 6, 11, h) + shoulders("#ef6f6c") + neck(s) + face(s) +
            path("M19 29 C19 16 45 14 45 27 C39 24 33 20 29 19 C27 23 23 26 19 29 Z", h) +
            circle(44, 22, 2.4, "#ffb703"))


def boy_short_hair():
    s, h = SKIN[2], HAIR["black"]
    return (shoulders("#4d96ff") + neck(s) + face(s) +
            path("M19 28 C17 15 47 13 45 28 C42 23 38 21 32 22 C26 21 22 23 19 28 Z", h))


def woman_long_hair():
    s, h = SKIN[1], HAIR["blonde"]
    return (path("M17 30 C15 14 49 14 47 30 L49 49 L15 49 Z", h) + shoulders("#57cc99") + neck(s) +
            face(s) + path("M19 27 C21 17 43 15 45 27 C38 25 33 21 31 18 C28 23 24 26 19 27 Z", h))


def bearded_man():
    s, h = SKIN[3], HAIR["brown"]
    return (shoulders("#e9c46a") + neck(s) + ears(s) + head(s) +
            path("M19 30 C19 46 45 46 45 30 C42 35 38 34 32 34 C26 34 22 35 19 30 Z", h) +
            path("M27 37 Q32 35 37 37", None, "#f4e1d2", 1.6) +
            eyes() + path("M19 27 C18 15 46 15 45 27 C41 22 23 22 19 27 Z", h))


def grandma():
    s, h = SKIN[0], HAIR["grey"]
    return (shoulders("#9d4edd") + path("M27 45 L32 52 L37 45", None, WHITE, 2) + neck(s) +
            circle(32, 14, 6, h) + face(s) +
            path("M19 29 C18 17 46 17 45 29 C41 23 36 21 32 21 C28 21 23 23 19 29 Z", h) + glasses())


def grandpa():
    s, h = SKIN[1], HAIR["white"]
    return (shoulders("#2a9d8f") + neck(s) + ears(s) + head(s) +
            path("M19 31 C17 25 20 21 22 22 L22 29 Z", h) + path("M45 31 C47 25 44 21 42 22 L42 29 Z", h) +
            eyes() + cheeks() + path("M25 35 C28 32 31 33 32 34 C33 33 36 32 39 35 C36 36 33 35 32 35 "
                                     "C31 35 28 36 25 35 Z", h) +
            path("M26 18 Q28 16 30 18", None, OUT, 1.2))


def girl_pigtails():
    s, h = SKIN[4], HAIR["black"]
    return (circle(14, 30, 6, h) + circle(50, 30, 6, h) + circle(18, 24, 2.8, "#ff5d8f") +
            circle(46, 24, 2.8, "#ff5d8f") + shoulders("#ffd166") + neck(s) + face(s) +
            path("M19 29 C18 15 46 15 45 29 C43 24 38 21 32 20 C26 21 21 24 19 29 Z", h) +
            path("M32 20 L32 24", None, s, 1.5))


def boy_cap():
    s, h = SKIN[5], HAIR["red"]
    freckles = "".join(circle(x, 33, 0.8, "#c0562b", False) for x in (24, 26, 38, 40))
    return (shoulders("#06d6a0") + neck(s) + ears(s) + head(s) +
            path("M19 28 C19 24 45 24 45 28 C44 31 20 31 19 28 Z", h) + eyes() + smile() + freckles +
            path("M19 26 C18 12 46 12 45 26 Z", "#118ab2") + path("M40 25 L54 24 C54 27 46 28 42 28 Z", "#118ab2") +
            circle(32, 14, 1.6, "#ffd166", False))


def woman_afro():
    s, h = SKIN[4], HAIR["black"]
    return (circle(32, 24, 19, h) + shoulders("#f3722c") + neck(s) + face(s) +
            path("M20 26 C22 18 42 18 44 26 C38 23 26 23 20 26 Z", h) +
            circle(19, 35, 1.8, "#ffd166") + circle(45, 35, 1.8, "#ffd166"))


def man_glasses_tie():
    s, h = SKIN[5], HAIR["brown"]
    return (shoulders("#495867") + path("M28 44 L32 47 L36 44 L34 42 L30 42 Z", WHITE, True, 1.5) +
            path("M31 46 L33 46 L34.5 56 L32 59 L29.5 56 Z", "#e63946", True, 1.4) + neck(s) + face(s) +
            path("M19 28 C17 14 47 14 45 26 C40 20 32 19 27 21 C24 22 21 24 19 28 Z", h) + glasses())


def woman_headscarf():
    s = SKIN[2]
    scarf = "#219ebc"
    return (shoulders("#8ecae6") + path("M16 32 C14 10 50 10 48 32 C49 42 44 48 32 49 C20 48 15 42 16 32 Z", scarf) +
            path("M20 31 C20 20 44 20 44 31 C44 38 39 43 32 43 C25 43 20 38 20 31 Z", s) +
            eyes(31) + cheeks(36) + smile(37, 4.5, 3.5) + path("M22 22 C27 17 37 17 42 22", None, "#ffb703", 1.5))


def chef():
    s = SKIN[0]
    return (shoulders(WHITE) + circle(29, 49, 1.2, OUT, False) + circle(35, 49, 1.2, OUT, False) + neck(s) +
            face(s) + path("M25 36 C28 33 31 34 32 35 C33 34 36 33 39 36 C36 37 33 36 32 36 C31 36 28 37 25 36 Z",
                           HAIR["black"]) +
            path("M21 21 C15 19 15 9 22 9 C23 3 33 2 35 7 C40 3 48 8 44 13 C49 15 47 21 43 21 Z", WHITE) +
            rect(21, 17, 22, 6, WHITE, rx=1))


def astronaut():
    return (shoulders("#e5e5e5") + rect(26, 47, 12, 5, "#e63946", rx=1.5) +
            circle(32, 28, 16, "#f1f1f1") + rect(20, 20, 24, 16, "#264653", rx=8) +
            path("M24 25 Q27 22 31 23", None, WHITE, 2) + circle(38, 31, 1.5, WHITE, False) +
            circle(15, 29, 2.5, "#e63946") + circle(49, 29, 2.5, "#e63946"))


def pirate():
    s = SKIN[2]
    dots = "".join(circle(x, y, 1.2, WHITE, False) for x, y in ((25, 18), (32, 16), (39, 18), (46, 21)))
    return (shoulders("#264653") + path("M23 46 L41 46", None, WHITE, 2) + path("M24 50 L40 50", None, WHITE, 2) +
            neck(s) + ears(s) + head(s) + circle(26.5, 29, 1.9, OUT, False) +
            path("M19 24 L45 33", None, OUT, 1.2) + ellipse(37.5, 29, 4, 3.5, OUT, False) +
            path("M26 36 Q32 39 38 35", None) + circle(44, 33, 1.6, "#ffd166") +
            path("M19 26 C18 13 46 13 45 26 Z", "#d62828") + path("M45 23 L52 18 L51 27 Z", "#d62828") + dots)


def wizard():
    s = SKIN[5]
    return (shoulders("#5a189a") + neck(s) + ears(s) + head(s, 30) + eyes(30) + cheeks(34) +
            path("M20 33 C20 52 32 56 32 56 C32 56 44 52 44 33 C40 38 24 38 20 33 Z", HAIR["white"]) +
            path("M27 36 Q32 34 37 36", None, OUT, 1.4) +
            path("M14 22 L50 22 C48 25 16 25 14 22 Z", "#7b2cbf") + path("M18 22 L34 2 L46 22 Z", "#7b2cbf") +
            star(33, 14, 3, "#ffd166", False) + star(40, 19, 1.8, "#ffd166", False))


# ---- figures (16-20) ------------------------------------------------------------------

def robot():
    return (shoulders("#8d99ae") + rect(27, 38, 10, 7, "#adb5bd") + path("M32 14 L32 8", None) +
            circle(32, 7, 2.5, "#ef476f") + rect(17, 14, 30, 25, "#ced4da", rx=5) +
            rect(21, 19, 22, 11, "#1b263b", rx=3) + circle(27, 24.5, 2.5, "#72efdd", False) +
            circle(37, 24.5, 2.5, "#72efdd", False) + rect(25, 32, 14, 4, WHITE, rx=1) +
            path("M28.5 32 L28.5 36 M32 32 L32 36 M35.5 32 L35.5 36", None, OUT, 1.2) +
            rect(13, 22, 4, 9, "#adb5bd", rx=1.5) + rect(47, 22, 4, 9, "#adb5bd", rx=1.5))


def alien():
    g = "#80ed99"
    return (shoulders("#22577a") + path("M24 16 L19 6", None) + circle(19, 6, 2.5, "#ffd166") +
            path("M40 16 L45 6", None) + circle(45, 6, 2.5, "#ffd166") + rect(28, 38, 8, 8, g) +
            path("M32 12 C18 12 16 24 18 30 C21 38 27 43 32 43 C37 43 43 38 46 30 C48 24 46 12 32 12 Z", g) +
            path("M21 25 C22 21 28 22 29 28 C27 31 22 30 21 25 Z", OUT, False) +
            path("M43 25 C42 21 36 22 35 28 C37 31 42 30 43 25 Z", OUT, False) +
            circle(24, 24.5, 1.1, WHITE, False) + circle(40, 24.5, 1.1, WHITE, False) + smile(35, 3, 2))


def ghost():
    return (path("M16 52 L16 28 C16 8 48 8 48 28 L48 52 L43 47 L38 52 L32 47 L26 52 L21 47 Z", "#fbfbff") +
            ellipse(26, 27, 2.5, 3.5, OUT, False) + ellipse(38, 27, 2.5, 3.5, OUT, False) +
            ellipse(32, 36, 3, 4, "#6c757d", False) + cheeks(32, 10))


def snowman():
    return (circle(32, 50, 12, WHITE) + circle(32, 28, 11, WHITE) + circle(32, 46, 1.3, OUT, False) +
            circle(32, 52, 1.3, OUT, False) + path("M19 38 C25 42 39 42 45 38 L45 42 C39 46 25 46 19 42 Z", "#e63946") +
            circle(28, 26, 1.6, OUT, False) + circle(36, 26, 1.6, OUT, False) +
            path("M32 29 L41 31 L32 32 Z", "#f77f00", True, 1.2) + path("M28 34 Q32 36 36 34", None, OUT, 1.6) +
            rect(24, 11, 16, 9, "#2b2d42", rx=1) + rect(20, 19, 24, 3, "#2b2d42", rx=1.5))


def sun():
    rays = ""
    for i in range(12):
        a = i * math.pi / 6
        x1, y1 = 32 + 17 * math.cos(a), 32 + 17 * math.sin(a)
        x2, y2 = 32 + 25 * math.cos(a), 32 + 25 * math.sin(a)
        rays += path("M%.1f %.1f L%.1f %.1f" % (x1, y1, x2, y2), None, "#f77f00", 3)
    return (rays + circle(32, 32, 14, "#ffd166") + eyes(30, 5, 1.9) + cheeks(35, 8) + smile(35, 5, 4))


# ---- animals (21-40) ------------------------------------------------------------------

def animal_eyes(y=31, dx=6, r=2.1, cx=32):
    return (circle(cx - dx, y, r, OUT, False) + circle(cx + dx, y, r, OUT, False) +
            circle(cx - dx + 0.7, y - 0.7, 0.7, WHITE, False) + circle(cx + dx + 0.7, y - 0.7, 0.7, WHITE, False))


def cat():
    c = "#f4a261"
    return (path("M17 26 L18 10 L28 18 Z", c) + path("M47 26 L46 10 L36 18 Z", c) +
            path("M20 22 L20 14 L25 18 Z", PINK, False) + path("M44 22 L44 14 L39 18 Z", PINK, False) +
            ellipse(32, 32, 16, 14, c) + path("M27 19 L28 23 M32 18 L32 22 M37 19 L36 23", None, "#c46f2b", 1.6) +
            animal_eyes(30) + path("M30 35 L34 35 L32 37 Z", PINK, True, 1) +
            path("M32 37 Q29 40 27 38 M32 37 Q35 40 37 38", None, OUT, 1.4) +
            path("M14 34 L24 35 M14 38 L24 37 M50 34 L40 35 M50 38 L40 37", None, OUT, 1))


def dog():
    c, e = "#e9c9a0", "#8c5a3c"
    return (ellipse(32, 32, 15, 14, c) + path("M19 22 C12 22 11 36 15 40 C19 40 21 32 21 26 Z", e) +
            path("M45 22 C52 22 53 36 49 40 C45 40 43 32 43 26 Z", e) + circle(38, 27, 4.5, e, False) +
            animal_eyes(29) + ellipse(32, 38, 7, 5, WHITE) + ellipse(32, 35.5, 3, 2.2, OUT, False) +
            path("M32 38 L32 40 M29 41 Q32 43 35 41", None, OUT, 1.4) + path("M30 43 C30 47 34 47 34 43 Z", "#ef476f", True, 1))


def fox():
    c = "#f3722c"
    return (path("M17 27 L16 9 L28 19 Z", c) + path("M47 27 L48 9 L36 19 Z", c) +
            path("M19 21 L19 14 L24 18 Z", OUT, False) + path("M45 21 L45 14 L40 18 Z", OUT, False) +
            path("M15 26 C17 18 47 18 49 26 C47 36 38 46 32 48 C26 46 17 36 15 26 Z", c) +
            path("M18 30 C24 32 29 36 32 48 C35 36 40 32 46 30 C43 38 38 45 32 48 C26 45 21 38 18 30 Z", WHITE, False) +
            path("M15 26 C17 18 47 18 49 26 C47 36 38 46 32 48 C26 46 17 36 15 26 Z") +
            animal_eyes(29, 7) + ellipse(32, 44, 2.6, 2, OUT, False))


def owl():
    c = "#8d6346"
    return (path("M18 18 L22 24 L16 26 Z", c) + path("M46 18 L42 24 L48 26 Z", c) +
            ellipse(32, 35, 16, 18, c) + ellipse(32, 44, 9, 8, "#e6ccb2", False) +
            path("M27 41 Q29 43 31 41 M33 41 Q35 43 37 41 M28 46 Q30 48 32 46 M32 46 Q34 48 36 46", None, "#8d6346", 1.2) +
            circle(25, 29, 6.5, WHITE) + circle(39, 29, 6.5, WHITE) + circle(25, 29, 3, "#f8961e", False) +
            circle(39, 29, 3, "#f8961e", False) + circle(25, 29, 1.6, OUT, False) + circle(39, 29, 1.6, OUT, False) +
            path("M30 33 L34 33 L32 37 Z", "#f8961e", True, 1.2))


def bear():
    c = "#9c6644"
    return (circle(19, 19, 6, c) + circle(45, 19, 6, c) + circle(19, 19, 3, "#ddb892", False) +
            circle(45, 19, 3, "#ddb892", False) + circle(32, 32, 15, c) + animal_eyes(28) +
            ellipse(32, 37, 7, 5.5, "#ddb892") + ellipse(32, 35, 2.8, 2, OUT, False) +
            path("M32 37 L32 39 M29 40 Q32 42 35 40", None, OUT, 1.4))


def rabbit():
    c = "#f1f1f1"
    return (ellipse(25, 16, 4.5, 12, c) + ellipse(39, 16, 4.5, 12, c) + ellipse(25, 17, 2, 8, PINK, False) +
            ellipse(39, 17, 2, 8, PINK, False) + circle(32, 36, 14, c) + animal_eyes(34, 5.5) +
            path("M30 39 L34 39 L32 41 Z", PINK, True, 1) + path("M32 41 L32 43", None, OUT, 1.2) +
            rect(30, 43, 4, 3, WHITE, True, 1) + cheeks(40, 9))


def panda():
    return (circle(19, 20, 6, OUT, False) + circle(45, 20, 6, OUT, False) + circle(32, 33, 15, WHITE) +
            ellipse(25.5, 31, 4.5, 5.5, OUT, False, extra=' transform="rotate(-25 25.5 31)"') +
            ellipse(38.5, 31, 4.5, 5.5, OUT, False, extra=' transform="rotate(25 38.5 31)"') +
            circle(26, 30.5, 1.5, WHITE, False) + circle(38, 30.5, 1.5, WHITE, False) +
            ellipse(32, 38, 2.8, 2, OUT, False) + path("M29 41 Q32 43 35 41", None, OUT, 1.4))


def penguin():
    return (path("M32 10 C16 10 15 28 15 40 C15 52 22 56 32 56 C42 56 49 52 49 40 C49 28 48 10 32 10 Z", "#1d3557") +
            path("M32 20 C24 20 21 28 22 38 C22 48 26 53 32 53 C38 53 42 48 42 38 C43 28 40 20 32 20 Z", WHITE, False) +
            path("M32 20 C27 20 24 24 23 28 C27 26 30 27 32 29 C34 27 37 26 41 28 C40 24 37 20 32 20 Z", "#1d3557", False) +
            animal_eyes(30, 5) + path("M28 34 L36 34 L32 39 Z", "#f8961e", True, 1.2) +
            ellipse(24, 55, 5, 2.2, "#f8961e", True, 1.2) + ellipse(40, 55, 5, 2.2, "#f8961e", True, 1.2))


def frog():
    c = "#52b788"
    return (circle(23, 20, 7, c) + circle(41, 20, 7, c) + ellipse(32, 36, 18, 14, c) +
            circle(23, 20, 4, WHITE) + circle(41, 20, 4, WHITE) + circle(23, 21, 2, OUT, False) +
            circle(41, 21, 2, OUT, False) + path("M20 36 Q32 46 44 36", None) + cheeks(38, 14) +
            circle(29, 30, 0.9, OUT, False) + circle(35, 30, 0.9, OUT, False))


def lion():
    mane = ""
    for i in range(14):
        a = i * 2 * math.pi / 14
        mane += circle(32 + 17 * math.cos(a), 32 + 17 * math.sin(a), 7, "#bc6c25", False)
    return (mane + circle(32, 32, 19, "#bc6c25", False) + circle(32, 32, 19) + circle(32, 33, 13.5, "#f6bd60") +
            circle(22, 22, 3.5, "#f6bd60") + circle(42, 22, 3.5, "#f6bd60") + circle(32, 33, 13.5) +
            animal_eyes(30, 5, 1.9) + path("M29 35 L35 35 L32 38 Z", "#6f1d1b", True, 1) +
            path("M32 38 Q29 41 27 39 M32 38 Q35 41 37 39", None, OUT, 1.4))


def mouse():
    c = "#adb5bd"
    return (circle(18, 22, 9, c) + circle(46, 22, 9, c) + circle(18, 22, 5.5, PINK, False) +
            circle(46, 22, 5.5, PINK, False) + path("M32 50 C20 50 17 40 18 34 C19 26 25 22 32 22 "
                                                   "C39 22 45 26 46 34 C47 40 44 50 32 50 Z", c) +
            animal_eyes(33, 6) + circle(32, 42, 2.6, "#ef476f") +
            path("M16 42 L27 42 M17 46 L27 44 M48 42 L37 42 M47 46 L37 44", None, OUT, 1))


def pig():
    c = "#ffafcc"
    return (path("M18 24 L17 12 L27 19 Z", c) + path("M46 24 L47 12 L37 19 Z", c) + circle(32, 33, 15, c) +
            animal_eyes(28, 6, 1.9) + ellipse(32, 37, 7, 5, "#ff8fab") + ellipse(29.5, 37, 1.3, 2, OUT, False) +
            ellipse(34.5, 37, 1.3, 2, OUT, False) + path("M28 44 Q32 46 36 44", None, OUT, 1.4))


def koala():
    c = "#a8a8b3"
    return (circle(17, 25, 9, c) + circle(47, 25, 9, c) + circle(17, 25, 5, "#e7e7ee", False) +
            circle(47, 25, 5, "#e7e7ee", False) + ellipse(32, 34, 15, 14, c) + animal_eyes(31, 7, 1.9) +
            ellipse(32, 36, 4.5, 6, "#3d3d4e") + path("M29 44 Q32 46 35 44", None, OUT, 1.4))


def chick():
    y = "#ffd60a"
    return (path("M30 14 C28 8 33 8 32 13 C33 8 38 10 34 15", "#ffd60a", True, 1.5) +
            circle(32, 35, 17, y) + path("M14 38 C9 34 11 30 16 31", y, True, 1.6) +
            path("M50 38 C55 34 53 30 48 31", y, True, 1.6) + animal_eyes(31, 6, 2.1) +
            path("M28 36 L36 36 L32 41 Z", "#f77f00", True, 1.2) + cheeks(38, 10) +
            path("M26 52 L26 56 M38 52 L38 56", None, "#f77f00", 2))


def fish():
    c = "#4cc9f0"
    return (path("M44 32 L56 22 L55 42 Z", "#4361ee") +
            path("M10 32 C14 20 36 16 46 32 C36 48 14 44 10 32 Z", c) +
            path("M27 21 C30 16 36 17 38 24", "#4361ee", True, 1.5) +
            path("M30 26 Q34 32 30 38 M35 26 Q39 32 35 38", None, "#4361ee", 1.4) +
            circle(19, 30, 3, WHITE) + circle(19.5, 30, 1.6, OUT, False) + path("M11 34 Q13 35 15 34", None, OUT, 1.3) +
            circle(14, 21, 2, WHITE, True, 1.2) + circle(18, 15, 1.4, WHITE, True, 1.2))


def elephant():
    c = "#a2b3c9"
    return (ellipse(16, 30, 9, 12, c) + ellipse(48, 30, 9, 12, c) + ellipse(16, 30, 5, 8, "#f4c2c2", False) +
            ellipse(48, 30, 5, 8, "#f4c2c2", False) + circle(32, 28, 13, c) +
            path("M28 36 C28 44 27 50 23 52 C22 55 27 56 29 53 C33 50 36 44 36 36 Z", c) +
            path("M26 37 C24 41 22 42 20 42 M38 37 C40 41 42 42 44 42", None, OUT, 1.6) +
            animal_eyes(27, 6, 1.9) + path("M28 45 L32 45 M28 49 L31 48", None, OUT, 1))


def tiger():
    c = "#f8961e"
    stripes = ("M32 17 L32 22 M27 18 L28 22 M37 18 L36 22 M17 30 L22 31 M17 35 L22 34 "
               "M47 30 L42 31 M47 35 L42 34")
    return (circle(20, 19, 5.5, c) + circle(44, 19, 5.5, c) + circle(20, 19, 2.5, OUT, False) +
            circle(44, 19, 2.5, OUT, False) + circle(32, 32, 15, c) + path(stripes, None, OUT, 2) +
            ellipse(27, 39, 5.5, 4.5, WHITE, False) + ellipse(37, 39, 5.5, 4.5, WHITE, False) +
            animal_eyes(29, 6) + path("M29.5 35 L34.5 35 L32 38 Z", "#ef476f", True, 1) +
            path("M32 38 Q30 41 28 40 M32 38 Q34 41 36 40", None, OUT, 1.3))


def monkey():
    c, f = "#7f5539", "#e6ccb2"
    return (circle(16, 30, 6, c) + circle(48, 30, 6, c) + circle(16, 30, 3, f, False) + circle(48, 30, 3, f, False) +
            circle(32, 30, 15, c) + path("M32 46 C22 46 19 40 20 34 C20 28 24 24 28 25 C30 26 31 27 32 27 "
                                         "C33 27 34 26 36 25 C40 24 44 28 44 34 C45 40 42 46 32 46 Z", f) +
            animal_eyes(31, 5, 2) + circle(30, 37, 0.9, OUT, False) + circle(34, 37, 0.9, OUT, False) +
            path("M27 40 Q32 44 37 40", None, OUT, 1.5))


def cow():
    c = WHITE
    return (path("M19 19 C14 16 13 12 14 10 C16 13 19 14 22 15 Z", "#e9d8a6") +
            path("M45 19 C50 16 51 12 50 10 C48 13 45 14 42 15 Z", "#e9d8a6") +
            ellipse(15, 26, 6, 3.5, c) + ellipse(49, 26, 6, 3.5, c) +
            path("M32 14 C21 14 19 22 20 30 C21 36 23 40 24 42 L40 42 C41 40 43 36 44 30 C45 22 43 14 32 14 Z", c) +
            path("M35 15 C40 14 43 18 42 24 C38 24 35 20 35 15 Z", OUT, False) + path("M21 27 C24 26 26 30 24 33 C22 33 21 30 21 27 Z", OUT, False) +
            animal_eyes(28, 6, 1.9) + ellipse(32, 44, 11, 7.5, "#ffafcc") +
            ellipse(28, 44, 1.6, 2.2, OUT, False) + ellipse(36, 44, 1.6, 2.2, OUT, False))


def sheep():
    wool = ""
    for i in range(11):
        a = i * 2 * math.pi / 11
        wool += circle(32 + 13 * math.cos(a), 29 + 12 * math.sin(a), 6, "#f8f9fa", True, 1.6)
    return (wool + circle(32, 29, 12, "#f8f9fa", False) + ellipse(17, 32, 6, 3, "#3d3d4e") +
            ellipse(47, 32, 6, 3, "#3d3d4e") + ellipse(32, 35, 9, 11, "#3d3d4e") +
            circle(28, 33, 2.2, WHITE, False) + circle(36, 33, 2.2, WHITE, False) +
            circle(28, 33, 1.2, OUT, False) + circle(36, 33, 1.2, OUT, False) +
            path("M29 42 Q32 44 35 42", None, WHITE, 1.4) +
            circle(27, 22, 4, "#f8f9fa", True, 1.6) + circle(32, 21, 4.5, "#f8f9fa", True, 1.6) +
            circle(37, 22, 4, "#f8f9fa", True, 1.6))


# The order is the learner picture number: never reorder, only append.
LEARNERS = [
    girl_ponytail, boy_short_hair, woman_long_hair, bearded_man, grandma,
    grandpa, girl_pigtails, boy_cap, woman_afro, man_glasses_tie,
    woman_headscarf, chef, astronaut, pirate, wizard,
    robot, alien, ghost, snowman, sun,
    cat, dog, fox, owl, bear, rabbit, panda, penguin, frog, lion,
    mouse, pig, koala, chick, fish, elephant, tiger, monkey, cow, sheep,
]


def badge(number, body, title):
    bg = BACKGROUNDS[(number - 1) % len(BACKGROUNDS)]
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">\n'
            '<title>Learner picture %d: %s</title>\n'
            '<circle cx="32" cy="32" r="30" fill="%s"/>\n%s\n'
            '<circle cx="32" cy="32" r="30" fill="none" stroke="%s" stroke-width="2"/>\n</svg>\n'
            % (number, title, bg, body.replace("/><", "/>\n<"), OUT))


def main():
    assert len(LEARNERS) == 40
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = os.path.normpath(os.path.join(here, "..", "..", "src", "widgets", "pictures"))
    for number, draw in enumerate(LEARNERS, start=1):
        name = os.path.join(out_dir, "learner_%02d.svg" % number)
        with open(name, "w", encoding="utf-8") as f:
            f.write(badge(number, draw(), draw.__name__.replace("_", " ")))
    print("wrote %d learner pictures to %s" % (len(LEARNERS), out_dir))


if __name__ == "__main__":
    main()
