"""Checks the generated launcher images against what the program relies on.

Run: /usr/bin/python3 -m pytest tools/test_make_images.py
"""

import io
import os
import struct
import sys
from collections import Counter

import pytest
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_images  # noqa: E402
from make_images import INK, ORANGE, ORANGE_DEEP, PAPER, RED  # noqa: E402

IMAGES = os.path.join(HERE, "..", "ui", "images")

# The window and the start button cut away exactly this colour: the program's
# rule, so stated here rather than taken from the generator.
WHITE = (0xFF, 0xFF, 0xFF)

EXPECTED_FILES = [
    "background.png", "banner.png", "close_hover.png", "close_normal.png",
    "icon.ico", "icon.png", "minimize_hover.png", "minimize_normal.png",
    "start_normal.png", "start_pressed.png",
]


def load(name):
    im = Image.open(os.path.join(IMAGES, name))
    im.load()
    return im


def pixels(im):
    return list(im.getdata())


@pytest.mark.parametrize("name,size", [
    ("background.png", (600, 370)),
    ("banner.png", (601, 142)),
    ("minimize_normal.png", (20, 20)),
    ("minimize_hover.png", (20, 20)),
    ("close_normal.png", (20, 20)),
    ("close_hover.png", (20, 20)),
    ("start_normal.png", (140, 40)),
    ("start_pressed.png", (140, 40)),
    ("icon.png", (128, 128)),
])
def test_size_and_mode(name, size):
    im = load(name)
    assert im.format == "PNG"
    assert im.mode == "RGBA"
    assert im.size == size


def test_background_is_opaque_almost_white_without_pure_white():
    px = pixels(load("background.png"))
    assert all(p[3] == 255 for p in px)
    assert not any(p[:3] == WHITE for p in px), "pure white would be cut out of the window"
    n = len(px)
    for ch in range(3):
        mean = sum(p[ch] for p in px) / n
        assert abs(mean - PAPER[ch]) <= 3, (ch, mean)
    # Decoration must stay faint.
    assert min(min(p[:3]) for p in px) >= 220


def test_banner_layout():
    im = load("banner.png")
    px = im.load()
    w, h = im.size
    bar = px[300, 10]
    assert bar[3] == 255
    assert 0x2B <= bar[0] <= 0x3A and bar[0] == bar[1] == bar[2]
    # Link texts are drawn over these areas: plain bar.
    for y in range(0, 75):
        for x in range(150, 538):
            assert px[x, y] == bar, (x, y)
    # The window buttons (window 544..590 x 6..26, banner at -3, -12) sit on
    # a light plate, so their dark glyphs show.
    for y in range(18, 38):
        for x in range(547, 593):
            assert min(px[x, y][:3]) >= 0xE0 and px[x, y][:3] != WHITE, (x, y)
    # Below the bar: almost white, never exactly white.
    below = [px[x, y] for y in range(85, h) for x in range(150, w)]
    assert all(p[3] == 255 and p[:3] != WHITE and min(p[:3]) >= 240 for p in below)
    assert not any(p[:3] == WHITE for p in pixels(im))
    # Emblem: a light disc around (70, 52) with orange inside it.
    assert min(px[70 - 28, 52 - 10][:3]) >= 240
    disc = [px[x, y][:3] for y in range(52 - 30, 52 + 30) for x in range(70 - 30, 70 + 30)]
    assert disc.count(ORANGE) > 200
    assert px[5, 52] == bar and px[135, 52] == bar


def window_button(name):
    im = load(name)
    return im, im.load()


@pytest.mark.parametrize("name", ["minimize_normal.png", "close_normal.png"])
def test_normal_faces_are_translucent_with_dark_strokes(name):
    im, px = window_button(name)
    corner = px[0, 0]
    assert corner[:3] == WHITE and 40 <= corner[3] <= 80
    assert sum(1 for p in pixels(im) if p == INK + (255,)) >= 8


@pytest.mark.parametrize("name,face", [
    ("minimize_hover.png", PAPER),
    ("close_hover.png", WHITE),
])
def test_hover_faces_are_opaque_with_red_strokes(name, face):
    im, px = window_button(name)
    assert all(p[3] == 255 for p in pixels(im))
    assert px[0, 0][:3] == face and px[19, 19][:3] == face
    assert sum(1 for p in pixels(im) if p[:3] == RED) >= 8


@pytest.mark.parametrize("name", ["minimize_normal.png", "minimize_hover.png"])
def test_minimize_glyph_is_a_horizontal_bar(name):
    im, px = window_button(name)
    face = px[0, 0]
    assert px[10, 9] != face and px[10, 10] != face
    assert px[6, 10] != face and px[14, 10] != face
    # Nothing above or below the bar, so it cannot be a cross.
    for y in list(range(0, 7)) + list(range(13, 20)):
        assert all(px[x, y] == face for x in range(20)), y


@pytest.mark.parametrize("name", ["close_normal.png", "close_hover.png"])
def test_close_glyph_is_a_diagonal_cross(name):
    im, px = window_button(name)
    face = px[0, 0]
    for x, y in [(6, 6), (13, 13), (13, 6), (6, 13), (10, 10)]:
        assert px[x, y] != face, (x, y)
    # Off the diagonals stays bare.
    for x, y in [(10, 4), (10, 16), (4, 10), (16, 10)]:
        assert px[x, y] == face, (x, y)


@pytest.mark.parametrize("name,fill", [
    ("start_normal.png", ORANGE),
    ("start_pressed.png", ORANGE_DEEP),
])
def test_start_button_faces(name, fill):
    im = load(name)
    px = im.load()
    w, h = im.size
    for x, y in [(0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)]:
        assert px[x, y][3] == 0, (x, y)
    # Straight edges are solid, only the rounded corners are cut.
    for x, y in [(w // 2, 0), (w // 2, h - 1), (0, h // 2), (w - 1, h // 2)]:
        assert px[x, y] == fill + (255,), (x, y)
    opaque = Counter(p[:3] for p in pixels(im) if p[3] == 255)
    assert opaque.most_common(1)[0][0] == fill
    # The caption's core is exactly white; the program punches it out.
    centre = [px[x, y] for y in range(10, 30) for x in range(30, 110)]
    white = sum(1 for p in centre if p == WHITE + (255,))
    assert white >= 40
    assert not any(p[:3] == WHITE for y in range(h) for x in list(range(0, 20)) + list(range(w - 20, w))
                   for p in [px[x, y]]), "caption must stay centred"


def read_icondir(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    entries = []
    for i in range(count):
        w, h, colours, _, planes, bits, size, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        entries.append(dict(w=w or 256, h=h or 256, bits=bits, size=size, offset=offset))
    return reserved, kind, entries


def test_icon_holds_one_128px_32bpp_image():
    with open(os.path.join(IMAGES, "icon.ico"), "rb") as f:
        data = f.read()
    reserved, kind, entries = read_icondir(data)
    assert (reserved, kind) == (0, 1)
    assert len(entries) == 1
    e = entries[0]
    assert (e["w"], e["h"], e["bits"]) == (128, 128, 32)
    assert e["offset"] + e["size"] == len(data)
    # The entry must decode to the same picture as icon.png.
    ico = Image.open(io.BytesIO(data))
    ico.load()
    assert ico.size == (128, 128)
    assert list(ico.convert("RGBA").getdata()) == pixels(load("icon.png"))


def test_icon_has_transparent_corners_and_the_emblem():
    im = load("icon.png")
    px = im.load()
    assert px[0, 0][3] == 0 and px[127, 127][3] == 0
    assert px[64, 10][3] == 255
    assert sum(1 for p in pixels(im) if p == ORANGE + (255,)) > 500


def test_generator_writes_exactly_the_committed_files(tmp_path):
    written = make_images.generate(str(tmp_path))
    assert written == EXPECTED_FILES
    assert sorted(os.listdir(tmp_path)) == EXPECTED_FILES


def test_committed_images_match_the_generator(tmp_path):
    first, second = tmp_path / "a", tmp_path / "b"
    make_images.generate(str(first))
    make_images.generate(str(second))
    for name in EXPECTED_FILES:
        produced = (first / name).read_bytes()
        assert produced == (second / name).read_bytes(), name + " differs between runs"
        with open(os.path.join(IMAGES, name), "rb") as f:
            assert f.read() == produced, name + " was not produced by tools/make_images.py"
