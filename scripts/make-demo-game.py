#!/usr/bin/python3
"""Builds a demo game folder for the launcher: everything in it is drawn or
written here, so that the launcher can be run and tested without any real
game.

    make-demo-game.py OUT_DIR --launcher launcher.exe --game DemoGame.exe

OUT_DIR/
  launcher.exe                 copied
  Bin/DemoGame.exe             copied; the game that url2 names
  tavoro/tavoroConfig.ini      code page 936, CRLF
  tavoro/icos1.png             the game's logo
  tavoro/1_nebula.jpg ...      three slideshow pictures, 1280x720
"""

import argparse
import math
import os
import shutil
import sys

from PIL import Image, ImageDraw, ImageFilter

GAME_NAME = "星海漫游VR"
GAME_LANGUAGE = "简体中文"
GAME_DEVICES = "HTC Vive / Oculus Rift"
GAME_EXE = "\\Bin\\DemoGame.exe"

# Link targets nobody answers: 127.0.0.1 ports that are closed, and the
# reserved .invalid domain.
LINKS = {
    "Home": "http://127.0.0.1:9/home",
    "video": "http://127.0.0.1:9/video",
    "resource": "http://127.0.0.1:9/games",
    "software": "http://127.0.0.1:9/software",
    "bbs": "http://bbs.example.invalid/",
    "diy": "http://help.example.invalid/start-problems",
}

PICTURE_SIZE = (1280, 720)


def ini_text(name=GAME_NAME, language=GAME_LANGUAGE, devices=GAME_DEVICES, exe=GAME_EXE,
             instance=""):
    lines = [
        "; Demo game for the launcher",
        "[name]",
        f"name1={name}",
        f"name2={language}",
        "",
        "[url]",
        f"url1={devices}",
        f"url2={exe}",
        f"bh1={instance}",
        "",
        "[http]",
    ]
    lines += [f"{key}={value}" for key, value in LINKS.items()]
    return "\r\n".join(lines) + "\r\n"


def write_ini(path, **values):
    with open(path, "wb") as f:
        f.write(ini_text(**values).encode("gbk"))


def _vertical_gradient(size, top, bottom):
    mask = Image.linear_gradient("L").resize(size)
    return Image.composite(Image.new("RGB", size, bottom), Image.new("RGB", size, top), mask)


def draw_logo(size=256):
    """A ringed planet in a white disc, on transparency."""
    scale = 4  # drawn large, then reduced, for smooth edges
    big = size * scale
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.ellipse((0, 0, big - 1, big - 1), fill=(255, 255, 255, 255))
    c = big // 2
    r = int(big * 0.28)
    ring_back = (c - int(r * 1.9), c - int(r * 0.55), c + int(r * 1.9), c + int(r * 0.55))
    d.ellipse(ring_back, outline=(246, 170, 22, 255), width=5 * scale)
    d.ellipse((c - r, c - r, c + r, c + r), fill=(40, 70, 160, 255))
    # bands on the planet
    for i, colour in enumerate([(70, 120, 210, 255), (30, 50, 120, 255)]):
        y = c - r // 3 + i * r // 2
        d.chord((c - r, y - r // 5, c + r, y + r // 5), 0, 180, fill=colour)
    # the front half of the ring passes over the planet
    d.arc(ring_back, 0, 180, fill=(246, 170, 22, 255), width=5 * scale)
    return img.resize((size, size), Image.LANCZOS)


def draw_nebula():
    """Deep purple-red space with stars: dominant colour red/magenta."""
    img = _vertical_gradient(PICTURE_SIZE, (120, 20, 60), (40, 5, 30))
    d = ImageDraw.Draw(img)
    w, h = PICTURE_SIZE
    for k in range(300):
        x = (k * 7919) % w
        y = (k * 104729) % h
        s = 1 + k % 3
        d.ellipse((x, y, x + s, y + s), fill=(255, 240, 220))
    glow = Image.new("RGB", PICTURE_SIZE, (0, 0, 0))
    ImageDraw.Draw(glow).ellipse((w // 3, h // 4, 2 * w // 3, 3 * h // 4), fill=(200, 60, 90))
    glow = glow.filter(ImageFilter.GaussianBlur(80))
    return Image.blend(img, Image.composite(glow, img, glow.convert("L")), 0.6)


def draw_ocean():
    """Sky over a sea with wave lines: dominant colour blue."""
    w, h = PICTURE_SIZE
    img = _vertical_gradient(PICTURE_SIZE, (120, 180, 240), (10, 50, 140))
    d = ImageDraw.Draw(img)
    horizon = h * 2 // 5
    d.rectangle((0, horizon, w, h), fill=(20, 80, 170))
    for row in range(12):
        y0 = horizon + 20 + row * 28
        pts = [(x, y0 + 6 * math.sin(x / 40 + row)) for x in range(0, w + 20, 20)]
        d.line(pts, fill=(90, 150, 220), width=3)
    d.ellipse((w - 260, 60, w - 160, 160), fill=(255, 250, 220))
    return img


def draw_hills():
    """Green hills under a pale sky: dominant colour green."""
    w, h = PICTURE_SIZE
    img = _vertical_gradient(PICTURE_SIZE, (200, 230, 200), (150, 200, 150))
    d = ImageDraw.Draw(img)
    for layer, colour in enumerate([(60, 150, 60), (40, 120, 40), (20, 90, 30)]):
        base = h // 3 + layer * 110
        pts = [(x, base + 60 * math.sin(x / (180 + 40 * layer) + layer * 2)) for x in range(0, w + 40, 40)]
        d.polygon(pts + [(w, h), (0, h)], fill=colour)
    return img


PICTURES = [("1_nebula.jpg", draw_nebula), ("2_ocean.jpg", draw_ocean), ("3_hills.jpg", draw_hills)]


def make_demo_game(out_dir, launcher, game_exe):
    tavoro = os.path.join(out_dir, "tavoro")
    bin_dir = os.path.join(out_dir, "Bin")
    os.makedirs(tavoro, exist_ok=True)
    os.makedirs(bin_dir, exist_ok=True)
    if launcher:
        shutil.copy2(launcher, os.path.join(out_dir, "launcher.exe"))
    if game_exe:
        shutil.copy2(game_exe, os.path.join(bin_dir, "DemoGame.exe"))
    write_ini(os.path.join(tavoro, "tavoroConfig.ini"))
    draw_logo().save(os.path.join(tavoro, "icos1.png"))
    for name, draw in PICTURES:
        draw().save(os.path.join(tavoro, name), quality=88)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("out_dir")
    parser.add_argument("--launcher", help="launcher.exe to copy into the folder")
    parser.add_argument("--game", help="DemoGame.exe to copy into Bin/")
    args = parser.parse_args(argv)
    for path in (args.launcher, args.game):
        if path and not os.path.isfile(path):
            parser.error(f"no such file: {path}")
    make_demo_game(args.out_dir, args.launcher, args.game)
    print(args.out_dir)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
