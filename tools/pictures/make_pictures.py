#!/usr/bin/env python3
"""Writes the program's pictures other than the learner pictures into src/widgets/pictures/:

  tree_01.svg .. tree_11.svg   the subject trees' pictures, numbered as the trees use them
  admin_41.svg, admin_42.svg   the administration list's activity pictures
  logo_1.svg .. logo_8.svg     the edition logos, in edition-table order
  background_*.svg             the tiled window backgrounds
  menu_bullet.svg              the bullet of the side menu's entries
  parlanto.svg                 the program icon (also installed as the XDG icon)

Same style as the learner pictures (make_learners.py): flat colours, one dark outline
colour, SVG Tiny 1.2 shapes only. The small pictures are drawn on a 32 x 32 grid so that
their 2-unit outlines fall on whole pixels at 16 and 32 pixels.

Run from anywhere:  python3 tools/pictures/make_pictures.py
"""
import math
import os

from make_learners import OUT, WHITE, circle, path, rect, star

YELLOW, YELLOW_LIGHT = "#f2b84b", "#f9d98c"  # fixed (installed) folders
BLUE, BLUE_LIGHT = "#4a90d9", "#a9d0f5"  # the learner's own (virtual) things
GREEN, GREEN_DARK = "#52b788", "#2d6a4f"  # installed subjects
PAPER = "#fffdf6"
RED = "#e63946"


def svg(size, body, title, height=None):
    height = height or size
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
            '<title>%s</title>\n%s\n</svg>\n' % (size, height, size, height, title, body.replace("/><", "/>\n<")))


# ---- tree pictures (32 x 32) ----------------------------------------------------------

def folder_closed(back, front, emblem=""):
    return (path("M3 8 C3 6.9 3.9 6 5 6 L12 6 L15 9 L27 9 C28.1 9 29 9.9 29 11 L29 25 C29 26.1 28.1 27 27 27 "
                 "L5 27 C3.9 27 3 26.1 3 25 Z", back) +
            path("M3 13 L29 13 L29 25 C29 26.1 28.1 27 27 27 L5 27 C3.9 27 3 26.1 3 25 Z", front) + emblem)


def folder_open(back, front, emblem=""):
    return (path("M3 8 C3 6.9 3.9 6 5 6 L12 6 L15 9 L25 9 C26.1 9 27 9.9 27 11 L27 14 L3 27 Z", back) +
            path("M7 11 L24 11 L24 17 L7 17 Z", PAPER, True, 1.5) +
            path("M8 15 L31 15 L26.5 27 L3 27 Z", front) + emblem)


def folder_star(open_):
    return star(17, 21, 4.2, WHITE, OUT, 1.2) if not open_ else star(16.5, 21.5, 4.2, WHITE, OUT, 1.2)


def book_closed(cover, emblem=""):
    return (path("M8 4 L25 4 C26.1 4 27 4.9 27 6 L27 24 L10 24 C8.9 24 8 24.9 8 26 Z", cover) +
            path("M8 26 C8 24.9 8.9 24 10 24 L27 24 L27 28 L10 28 C8.9 28 8 27.1 8 26 Z", PAPER) +
            path("M8 26 L8 6 C8 4.9 8.9 4 10 4", None) +
            path("M20 4 L20 13 L22.5 10.5 L25 13 L25 4", RED, True, 1.5) + emblem)


def book_open(cover, pages, emblem=""):
    lines = "M6 11 L14 11 M6 15 L14 15 M6 19 L12 19 M18 11 L26 11 M18 15 L26 15 M18 19 L24 19"
    return (path("M2 9 L2 27 L13 27 C14.5 27 15.5 28 16 29 C16.5 28 17.5 27 19 27 L30 27 L30 9 Z", cover) +
            path("M4 6 C8 5 12 5.5 16 8 L16 26 C12 23.5 8 23 4 24 Z", pages) +
            path("M28 6 C24 5 20 5.5 16 8 L16 26 C20 23.5 24 23 28 24 Z", pages) +
            path(lines, None, "#8d99ae", 1.3) + emblem)


def bubble(fill, emblem=""):
    return (path("M6 5 L26 5 C28.2 5 30 6.8 30 9 L30 19 C30 21.2 28.2 23 26 23 L14 23 L7 29 L8.5 23 L6 23 "
                 "C3.8 23 2 21.2 2 19 L2 9 C2 6.8 3.8 5 6 5 Z", fill) +
            path("M8 11 L24 11 M8 16 L19 16", None, OUT, 2) + emblem)


def failed_badge():
    return circle(24, 23, 6.5, RED) + path("M21.2 20.2 L26.8 25.8 M26.8 20.2 L21.2 25.8", None, WHITE, 2.2)


TREE = [
    ("closed folder of installed subjects", folder_closed(YELLOW, YELLOW_LIGHT)),
    ("open folder of installed subjects", folder_open(YELLOW, YELLOW_LIGHT)),
    ("closed folder of virtual subjects", folder_closed(BLUE, BLUE_LIGHT, folder_star(False))),
    ("open folder of virtual subjects", folder_open(BLUE, BLUE_LIGHT, folder_star(True))),
    ("subject", book_closed(GREEN)),
    ("selected subject", book_open(GREEN, "#d8f3dc")),
    ("virtual subject", book_closed(BLUE, star(16, 15, 4.5, WHITE, OUT, 1.2))),
    ("selected virtual subject", book_open(BLUE, "#dbeafe", star(16, 5.5, 3.5, "#ffd166", OUT, 1.2))),
    ("phrase", bubble("#fff3c4")),
    ("phrase of a virtual subject", bubble(BLUE_LIGHT, star(25.5, 22, 4.2, WHITE, OUT, 1.2))),
    ("subject that failed its check", book_closed("#adb5bd") + failed_badge()),
]


# ---- administration: activity pictures (32 x 32) --------------------------------------

def puzzle(fill):
    d = ("M5 9 L12 9 C11 4 19 4 18 9 L25 9 L25 15 C30 14 30 22 25 21 L25 28 L18 28 C19 23 11 23 12 28 "
         "L5 28 L5 21 C10 22 10 14 5 15 Z")
    return path(d, fill)


ADMIN = [
    (41, "activity", puzzle("#90a4c8")),
    (42, "selected activity", puzzle("#f4a261") + star(26, 7, 4.5, "#ffd166", OUT, 1.2)),
]


# ---- edition logos (240 x 80) ---------------------------------------------------------

def flag(kind, x, y, w, h):
    """A flag drawn with plain rectangles and polygons inside (x, y, w, h)."""
    def bands(colours, vertical):
        out = ""
        n = len(colours)
        for i, c in enumerate(colours):
            if vertical:
                out += rect(x + i * w / n, y, w / n, h, c, False)
            else:
                out += rect(x, y + i * h / n, w, h / n, c, False)
        return out

    if kind == "Spanish":
        body = (rect(x, y, w, h / 4, "#c60b1e", False) + rect(x, y + h / 4, w, h / 2, "#ffc400", False) +
                rect(x, y + 3 * h / 4, w, h / 4, "#c60b1e", False))
    elif kind == "French":
        body = bands(["#0055a4", WHITE, "#ef4135"], True)
    elif kind == "German":
        body = bands(["#000000", "#dd0000", "#ffce00"], False)
    elif kind == "Italian":
        body = bands(["#009246", WHITE, "#ce2b37"], True)
    else:  # English: the Union Flag
        t = h / 5.0  # half width of the white diagonals

        def diagonal(x1, y1, x2, y2, half, colour):
            dx, dy = x2 - x1, y2 - y1
            length = math.hypot(dx, dy)
            nx, ny = -dy / length * half, dx / length * half
            pts = [(x1 + nx, y1 + ny), (x2 + nx, y2 + ny), (x2 - nx, y2 - ny), (x1 - nx, y1 - ny)]
            # keep the band inside the flag
            pts = [(min(max(px, x), x + w), min(max(py, y), y + h)) for px, py in pts]
            return path("M" + " L".join("%.2f %.2f" % p for p in pts) + " Z", colour, False)

        body = (rect(x, y, w, h, "#012169", False) +
                diagonal(x, y, x + w, y + h, t / 1.6, WHITE) + diagonal(x + w, y, x, y + h, t / 1.6, WHITE) +
                diagonal(x, y, x + w, y + h, t / 4, "#c8102e") + diagonal(x + w, y, x, y + h, t / 4, "#c8102e") +
                rect(x + w / 2 - h / 6, y, h / 3, h, WHITE, False) + rect(x, y + h / 3, w, h / 3, WHITE, False) +
                rect(x + w / 2 - h / 10, y, h / 5, h, "#c8102e", False) +
                rect(x, y + h / 2 - h / 10, w, h / 5, "#c8102e", False))
    return body + rect(x, y, w, h, None, True, 2)


def logo(studied, name):
    emblem = (path("M14 8 L70 8 C74.4 8 78 11.6 78 16 L78 54 C78 58.4 74.4 62 70 62 L32 62 L18 74 L21 62 L14 62 "
                   "C9.6 62 6 58.4 6 54 L6 16 C6 11.6 9.6 8 14 8 Z", WHITE) + flag(studied, 18, 17, 48, 32))
    words = ('<text x="88" y="40" font-family="DejaVu Sans, Verdana, sans-serif" font-size="29" '
             'font-weight="bold" fill="#264653">Parlanto</text>'
             '<text x="90" y="65" font-family="DejaVu Sans, Verdana, sans-serif" font-size="19" '
             'fill="#2a9d8f">%s</text>' % name)
    return emblem + words


# (studied language, name of the language as the learner's edition writes it): table order.
LOGOS = [
    ("Spanish", "Spanish"), ("French", "French"), ("German", "German"), ("Italian", "Italian"),
    ("English", "Inglés"), ("French", "Francés"), ("German", "Alemán"), ("Italian", "Italiano"),
]


# ---- backgrounds (128 x 128 tiles), menu bullet, program icon -------------------------

def dots(colour, step=32, r=2.2):
    out = ""
    for row in range(128 // step):
        for col in range(128 // step):
            out += circle(col * step + step / 4, row * step + step / 4, r, colour, False)
            out += circle(col * step + 3 * step / 4, row * step + 3 * step / 4, r * 0.6, colour, False)
    return out


def tiny_bubbles(colour):
    out = ""
    for cx, cy in ((40, 40), (104, 104)):
        out += path("M%g %g l12 0 c2 0 3 1 3 3 l0 5 c0 2 -1 3 -3 3 l-7 0 l-4 3 l0.5 -3 l-1.5 0 "
                    "c-2 0 -3 -1 -3 -3 l0 -5 c0 -2 1 -3 3 -3 z" % (cx - 6, cy - 5), colour, False)
    return out


def background(base, accent):
    return rect(0, 0, 128, 128, base, False) + dots(accent) + tiny_bubbles(accent)


BACKGROUNDS = [
    ("main", "main window", background("#f6f1e7", "#ebe2cf")),
    ("splash", "splash window", background("#e6f4f1", "#d3ebe6")),
    ("login", "login window", background("#edf2fb", "#dce5f6")),
    ("message", "message window", background("#fff8e1", "#f5e9bf")),
    ("menu", "side menu", background("#1f4e5f", "#25596b")),
]

BULLET = (circle(8, 8, 6.5, "#ffd166", OUT, 1.5) + path("M6.5 5 L10 8 L6.5 11", None, OUT, 1.8))

PROGRAM_ICON = (
    path("M26 12 L82 12 C92 12 100 20 100 30 L100 68 C100 78 92 86 82 86 L44 86 L22 108 L26 86 "
         "C16 86 8 78 8 68 L8 30 C8 20 16 12 26 12 Z", "#2a9d8f", True, 5) +
    path("M34 30 L56 30 C65 30 71 36 71 44 C71 52 65 58 56 58 L46 58 L46 72 L34 72 Z "
         "M46 40 L46 48 L55 48 C58 48 59.5 46.5 59.5 44 C59.5 41.5 58 40 55 40 Z",
         WHITE, True, 3, ' fill-rule="evenodd"') +
    path("M80 58 L112 58 C117.5 58 122 62.5 122 68 L122 92 C122 97.5 117.5 102 112 102 L110 102 L112 118 "
         "L96 102 L80 102 C74.5 102 70 97.5 70 92 L70 68 C70 62.5 74.5 58 80 58 Z", "#f4a261", True, 5) +
    circle(83, 80, 4.5, WHITE, False) + circle(96, 80, 4.5, WHITE, False) + circle(109, 80, 4.5, WHITE, False))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = os.path.normpath(os.path.join(here, "..", "..", "src", "widgets", "pictures"))

    def write(name, text):
        with open(os.path.join(out_dir, name), "w", encoding="utf-8") as f:
            f.write(text)

    for number, (title, body) in enumerate(TREE, start=1):
        write("tree_%02d.svg" % number, svg(32, body, "Tree picture %d: %s" % (number, title)))
    for number, title, body in ADMIN:
        write("admin_%d.svg" % number, svg(32, body, "Administration picture %d: %s" % (number, title)))
    for row, (studied, name) in enumerate(LOGOS, start=1):
        write("logo_%d.svg" % row, svg(240, logo(studied, name), "Edition logo %d: Parlanto %s" % (row, name), 80))
    for name, title, body in BACKGROUNDS:
        write("background_%s.svg" % name, svg(128, body, "Background of the %s" % title))
    write("menu_bullet.svg", svg(16, BULLET, "Bullet of the side menu"))
    write("parlanto.svg", svg(128, PROGRAM_ICON, "Parlanto"))
    print("wrote the pictures to %s" % out_dir)


if __name__ == "__main__":
    main()
