#!/usr/bin/python3
"""Draws the launcher's bitmaps and icon into ui/images/.

The C++ build embeds the committed output as resources and never runs this
script, so rerun it and commit the results whenever a picture changes.
Output is byte-for-byte reproducible: no metadata, fixed encoder settings.

    /usr/bin/python3 tools/make_images.py [output_dir]
"""

import os
import sys

from PIL import Image, ImageDraw, ImageFont

# Supersampling factor for shapes; downscaling gives smooth edges.
SS = 4

FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

# The window and the start button cut away every pixel that is exactly
# #FFFFFF, so surfaces meant to stay visible use this almost-white instead.
PAPER = (0xFF, 0xFD, 0xFD)
WHITE = (0xFF, 0xFF, 0xFF)
BAR = (0x33, 0x33, 0x33)
INK = (0x33, 0x33, 0x33)
ORANGE = (0xF6, 0xAA, 0x16)
ORANGE_DEEP = (0xF6, 0x75, 0x16)
RED = (0xC0, 0x00, 0x00)
RING = (0xE4, 0xE0, 0xE0)
PLATE = (0xEC, 0xEC, 0xEC)

BACKGROUND_SIZE = (600, 370)
BANNER_SIZE = (601, 142)
BAR_HEIGHT = 80
EMBLEM_CENTRE = (70, 52)
EMBLEM_RADIUS = 36
# Behind the minimise and close buttons (at 544..590, 6..26 of the window,
# the banner sitting at -3, -12), so their dark glyphs show on the dark bar.
BUTTON_PLATE = (540, 13, 598, 43)
BUTTON_PLATE_RADIUS = 6
BUTTON_SIZE = (20, 20)
START_SIZE = (140, 40)
START_RADIUS = 8
CAPTION = "开始游戏"
ICON_SIZE = 128


def rgba(colour, alpha=255):
    return tuple(colour) + (alpha,)


def downscale(img, size):
    # Area averaging: the art is flat colour with hard edges, where a
    # windowed-sinc filter would ring (visible halos, flat fills drifting
    # off their exact colour next to edges).
    return img.resize(size, Image.Resampling.BOX)


def supersampled(size, fill):
    """A canvas SS times larger than `size`, for drawing smooth shapes."""
    return Image.new("RGBA", (size[0] * SS, size[1] * SS), fill)


def draw_headset(draw, cx, cy, width, colour, hole):
    """Our emblem: a stylised VR headset seen from the front.

    Coordinates are in the caller's canvas units; `hole` fills the two
    lens windows and the nose arch so the emblem reads on any backdrop.
    """
    h = width * 0.56
    left, top = cx - width / 2, cy - h / 2
    right, bottom = cx + width / 2, cy + h / 2
    # Strap stubs on both sides.
    strap_h = h * 0.30
    draw.rounded_rectangle(
        (left - width * 0.08, cy - strap_h / 2, right + width * 0.08, cy + strap_h / 2),
        radius=strap_h / 2, fill=colour)
    draw.rounded_rectangle((left, top, right, bottom), radius=h * 0.38, fill=colour)
    # Two wide lens windows.
    lens_w, lens_h = width * 0.33, h * 0.40
    lens_y = cy - h * 0.10
    gap = width * 0.08
    for sign in (-1, 1):
        lx = cx + sign * (gap / 2 + lens_w / 2)
        draw.rounded_rectangle(
            (lx - lens_w / 2, lens_y - lens_h / 2, lx + lens_w / 2, lens_y + lens_h / 2),
            radius=lens_h / 2, fill=hole)
    # Nose arch cut up from the bottom edge.
    nose_w, nose_h = width * 0.24, h * 0.30
    draw.ellipse((cx - nose_w / 2, bottom - nose_h, cx + nose_w / 2, bottom + nose_h),
                 fill=hole)


def make_background():
    w, h = BACKGROUND_SIZE
    img = Image.new("RGBA", (w, h), rgba(PAPER))
    draw = ImageDraw.Draw(img)
    # A faint rule above the bottom edge; it only gets darker than PAPER.
    y = h - 34
    for x in range(24, w - 24):
        # Fade the ends so the line has no hard stop.
        fade = min(1.0, (x - 24) / 80.0, (w - 25 - x) / 80.0)
        shade = round(14 * fade)
        draw.point((x, y), fill=rgba((PAPER[0] - shade, PAPER[1] - shade, PAPER[2] - shade)))
    return img


def draw_badge(draw, cx, cy, r, ring):
    """Almost-white disc with the orange headset inside, on a supersampled canvas."""
    if ring is not None:
        draw.ellipse((cx - r, cy - r, cx + r, cy + r), fill=rgba(ring))
        r -= 1.5 * SS
    draw.ellipse((cx - r, cy - r, cx + r, cy + r), fill=rgba(PAPER))
    draw_headset(draw, cx, cy, r * 1.4, rgba(ORANGE), rgba(PAPER))


def make_banner():
    w, h = BANNER_SIZE
    base = Image.new("RGBA", (w, h), rgba(PAPER))
    ImageDraw.Draw(base).rectangle((0, 0, w - 1, BAR_HEIGHT - 1), fill=rgba(BAR))
    # Only the badge's bounding box is supersampled, so the bar and the
    # areas the program draws on stay exactly flat.
    pad = 4
    box = (EMBLEM_CENTRE[0] - EMBLEM_RADIUS - pad, EMBLEM_CENTRE[1] - EMBLEM_RADIUS - pad,
           EMBLEM_CENTRE[0] + EMBLEM_RADIUS + pad, EMBLEM_CENTRE[1] + EMBLEM_RADIUS + pad)
    size = (box[2] - box[0], box[3] - box[1])
    local_centre = (EMBLEM_CENTRE[0] - box[0], EMBLEM_CENTRE[1] - box[1])
    big = supersampled(size, rgba(PAPER))
    ImageDraw.Draw(big).rectangle(
        (0, 0, big.width - 1, (BAR_HEIGHT - box[1]) * SS - 1), fill=rgba(BAR))
    # The ring keeps the disc visible where it hangs below the bar.
    draw_badge(ImageDraw.Draw(big), local_centre[0] * SS, local_centre[1] * SS,
               EMBLEM_RADIUS * SS, RING)
    base.paste(downscale(big, size), box[:2])
    x0, y0, x1, y1 = BUTTON_PLATE
    plate = supersampled((x1 - x0, y1 - y0), rgba(BAR))
    ImageDraw.Draw(plate).rounded_rectangle(
        (0, 0, plate.width - 1, plate.height - 1), radius=BUTTON_PLATE_RADIUS * SS,
        fill=rgba(PLATE))
    base.paste(downscale(plate, (x1 - x0, y1 - y0)), (x0, y0))
    return base


def window_button(glyph, face, face_alpha, ink):
    big = supersampled(BUTTON_SIZE, rgba(face, face_alpha))
    draw = ImageDraw.Draw(big)
    stroke = 2 * SS
    if glyph == "minus":
        y = 10 * SS
        draw.rectangle((5 * SS, y - stroke // 2, 15 * SS - 1, y + stroke // 2 - 1), fill=rgba(ink))
    else:
        lo, hi = 5.5 * SS, 14.5 * SS
        draw.line((lo, lo, hi, hi), fill=rgba(ink), width=stroke)
        draw.line((lo, hi, hi, lo), fill=rgba(ink), width=stroke)
    return downscale(big, BUTTON_SIZE)


def start_button(fill):
    w, h = START_SIZE
    big = supersampled(START_SIZE, (0, 0, 0, 0))
    ImageDraw.Draw(big).rounded_rectangle(
        (0, 0, w * SS - 1, h * SS - 1), radius=START_RADIUS * SS, fill=rgba(fill))
    img = downscale(big, START_SIZE)
    # The caption is rendered at final size so FreeType's coverage leaves a
    # core of exactly-white pixels; the program relies on that.
    font = ImageFont.truetype(FONT_PATH, 18)
    draw = ImageDraw.Draw(img)
    draw.text((w / 2, h / 2), CAPTION, font=font, fill=rgba(WHITE),
              anchor="mm", stroke_width=0)
    return img


def make_icon():
    n = ICON_SIZE
    big = supersampled((n, n), (0, 0, 0, 0))
    draw = ImageDraw.Draw(big)
    m = 4 * SS
    draw.rounded_rectangle((m, m, n * SS - m - 1, n * SS - m - 1), radius=24 * SS, fill=rgba(BAR))
    draw_badge(draw, n * SS / 2, n * SS / 2, 44 * SS, None)
    return downscale(big, (n, n))


def save_png(img, path):
    # No pnginfo and fixed settings keep the bytes identical between runs.
    img.save(path, format="PNG", optimize=False, compress_level=9)


def generate(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    images = {
        "background.png": make_background(),
        "banner.png": make_banner(),
        "minimize_normal.png": window_button("minus", WHITE, 60, INK),
        "minimize_hover.png": window_button("minus", PAPER, 255, RED),
        "close_normal.png": window_button("cross", WHITE, 60, INK),
        "close_hover.png": window_button("cross", WHITE, 255, RED),
        "start_normal.png": start_button(ORANGE),
        "start_pressed.png": start_button(ORANGE_DEEP),
    }
    icon = make_icon()
    images["icon.png"] = icon
    for name, img in images.items():
        save_png(img, os.path.join(out_dir, name))
    icon.save(os.path.join(out_dir, "icon.ico"), format="ICO", sizes=[(ICON_SIZE, ICON_SIZE)])
    return sorted(list(images) + ["icon.ico"])


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "ui", "images")
    for name in generate(out_dir):
        print(os.path.join(out_dir, name))


if __name__ == "__main__":
    main(sys.argv)
