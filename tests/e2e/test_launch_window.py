"""launcher.exe on the demo game folder: the window it shows and how it ends.

Positions below are window coordinates of the Launch window's layout. The
pixel checks look for what a user would see go wrong (a missing bar, an
unpainted button, captions not drawn, a panel that should be hidden), with
tolerances wide enough for font rendering and picture details.
"""

import os
import shutil
import time

import pytest
from PIL import Image

import harness
from conftest import ARTIFACTS

SCREEN = (1024, 768)
ORANGE = (0xF6, 0xAA, 0x16)
BLUE = (0x00, 0x88, 0xFF)

# (left, top, right, bottom), right and bottom exclusive
LINK_LABELS = {  # the five banner links, window coordinates
    "首页": (156, 0, 229, 56),
    "VR视频": (223, 0, 296, 56),
    "VR游戏": (296, 0, 369, 56),
    "VR软件": (377, 0, 450, 56),
    "VR社区": (454, 0, 527, 56),
}
START_IMAGE = (186, 319, 326, 359)
SHORTCUT_BUTTON = (32, 318, 144, 350)
NAME_LABEL = (8, 221, 168, 253)
LANGUAGE_LABEL = (12, 266, 180, 283)
SUPPORT_LABEL = (12, 288, 180, 305)
PROGRESS_BAR = (193, 235, 561, 256)
# Background away from every control (right of the help link, below the
# slideshow; left of the logo), clear of the rounded corners.
BACKGROUND_AREAS = [(480, 300, 575, 360), (4, 110, 28, 210)]

# Painting after the window is mapped: first paint and the first picture.
SETTLE_S = 2.0


def pixels(img, box):
    return list(img.crop(box).getdata())


def near(p, colour, tol):
    return all(abs(a - b) <= tol for a, b in zip(p[:3], colour))


def share(img, box, test):
    px = pixels(img, box)
    return sum(1 for p in px if test(p)) / len(px)


def luminance(p):
    return (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000


def is_white(p):
    return min(p[:3]) >= 220


def is_dark(p):
    return luminance(p) < 90


def horizontal_line(img, left, right, y):
    """True when row y from left to right is one even line that stands out
    from the rows above and below it: the edge of a frame."""
    row = pixels(img, (left, y, right, y + 1))
    mean = [sum(p[i] for p in row) / len(row) for i in range(3)]
    if any(max(abs(p[i] - mean[i]) for i in range(3)) > 12 for p in row):
        return False
    for other in (y - 1, y + 1):
        around = pixels(img, (left, other, right, other + 1))
        other_mean = [sum(p[i] for p in around) / len(around) for i in range(3)]
        if max(abs(a - b) for a, b in zip(mean, other_mean)) < 24:
            return False
    return True


# Class scope: the window is found by its class name, so no other launcher
# may run beside this one once its class is done.
@pytest.fixture(scope="class")
def shown(tmp_path_factory, wine, win32_build, demo_template):
    """One launcher on the demo folder for the look checks: its window id,
    geometry and a picture of the window."""
    folder = tmp_path_factory.mktemp("shown") / "game"
    shutil.copytree(demo_template, folder)
    launcher = harness.Launcher(wine, str(folder), win32_build).start()
    try:
        wid = launcher.wait_window()
        time.sleep(SETTLE_S)
        geometry = wine.geometry(wid)
        screen = wine.screenshot(os.path.join(ARTIFACTS, "launch-window-screen.png"))
        x, y, w, h = geometry
        window = Image.open(screen).convert("RGB").crop((x, y, x + w, y + h))
        window.save(os.path.join(ARTIFACTS, "launch-window.png"))
        yield {"wid": wid, "geometry": geometry, "image": window,
               "title": dict(wine.visible_windows())[wid]}
    finally:
        launcher.kill()


class TestShownWindow:
    def test_title(self, shown):
        assert shown["title"] == "塔沃VR游戏启动器"

    def test_size_and_centred_on_screen(self, wine, shown):
        assert wine.screen_size() == SCREEN
        x, y, w, h = shown["geometry"]
        assert (w, h) == harness.LAUNCHER_SIZE
        assert (x, y) == ((SCREEN[0] - w) // 2, (SCREEN[1] - h) // 2)

    def test_banner_is_a_dark_bar_across_the_top(self, shown):
        img = shown["image"]
        # between the emblem and the window buttons, below the captions' text
        assert share(img, (150, 30, 540, 50), is_dark) > 0.95
        # and the lower rows of the window are not dark
        assert share(img, (150, 360, 540, 366), is_dark) < 0.1

    @pytest.mark.parametrize("caption", list(LINK_LABELS))
    def test_link_caption_is_white_text_on_the_bar(self, shown, caption):
        img = shown["image"]
        box = LINK_LABELS[caption]
        white = share(img, box, is_white)
        # glyphs, not an empty bar and not a white box
        assert 0.01 < white < 0.5, f"{caption}: white share {white:.3f}"
        assert share(img, box, is_dark) > 0.4

    def test_start_button_is_orange(self, shown):
        img = shown["image"]
        assert share(img, START_IMAGE, lambda p: near(p, ORANGE, 40)) > 0.5
        # its caption is drawn in white into the image
        assert share(img, (206, 325, 306, 353), is_white) > 0.03

    def test_shortcut_button_is_blue_with_a_caption(self, shown):
        img = shown["image"]
        assert share(img, SHORTCUT_BUTTON, lambda p: near(p, BLUE, 40)) > 0.5
        assert share(img, SHORTCUT_BUTTON, is_white) > 0.02

    @pytest.mark.parametrize("box", [NAME_LABEL, LANGUAGE_LABEL, SUPPORT_LABEL],
                             ids=["name", "language", "support"])
    def test_game_labels_show_dark_text(self, shown, box):
        img = shown["image"]
        # a few short captions: some dozens of glyph pixels, not a dark box
        dark = share(img, box, is_dark)
        assert 0.005 < dark < 0.6, f"dark share {dark:.3f}"

    def test_download_panel_is_hidden(self, shown):
        img = shown["image"]
        left, top, right, bottom = PROGRESS_BAR
        for y in (top, bottom - 1):
            assert not horizontal_line(img, left + 2, right - 2, y), f"progress bar edge at y={y}"
        # the panel's white labels with black captions at y 263..287
        speed = (189, 263, 306, 287)
        assert not (share(img, speed, is_white) > 0.7 and share(img, speed, is_dark) > 0.02)

    def test_background_is_almost_white(self, shown):
        img = shown["image"]
        for box in BACKGROUND_AREAS:
            assert share(img, box, lambda p: min(p[:3]) >= 240) > 0.97, box


class TestEnding:
    def test_wm_close_ends_with_exit_code_0(self, launcher, wine):
        start = time.monotonic()
        assert launcher.close(timeout=10) == 0
        assert time.monotonic() - start < 10
        assert wine.find_window(harness.LAUNCHER_TITLE) is None


def huge_config(path):
    name = "很长的名字" * 4000  # 40000 bytes in GBK: longer than any read buffer
    junk = "".join(f"[s{i}]\r\nk{i}={'x' * 200}\r\n" for i in range(20000))
    path.write_bytes(("[name]\r\nname1=" + name + "\r\nname2=简体中文\r\n" + junk).encode("gbk"))


CONFIGS = {
    "empty": lambda p: p.write_bytes(b""),
    "huge": huge_config,
    # UTF-8 text where code page 936 is expected, a UTF-16 file, stray bytes
    "utf8": lambda p: p.write_bytes("[name]\r\nname1=星海漫游VR\r\nname2=简体中文\r\n".encode("utf-8")),
    "utf16": lambda p: p.write_bytes("[name]\r\nname1=星海漫游VR\r\n".encode("utf-16")),
    "binary": lambda p: p.write_bytes(bytes(range(256)) * 64 + b"\x81\r\n[name\r\nname1=\xff\xfe\x80"),
    "no-sections": lambda p: p.write_bytes("name1=星海漫游VR\r\nurl2=\\Bin\\DemoGame.exe\r\n".encode("gbk")),
}


class TestOddConfig:
    @pytest.mark.parametrize("kind", list(CONFIGS))
    def test_window_comes_up_and_closes_cleanly(self, start_launcher, game_folder, config_path,
                                                kind):
        CONFIGS[kind](config_path)
        launcher = start_launcher(game_folder)
        launcher.wait_window()
        assert launcher.close() == 0

    @pytest.mark.parametrize("code_page", [936, 1252], indirect=True)
    def test_missing_config_ends_cleanly(self, start_launcher, game_folder, config_path, wine):
        # Either the window comes up, or the launcher explains with a message
        # box ("提示") and ends once it is closed: never a crash.
        config_path.unlink()
        launcher = start_launcher(game_folder)
        found = harness.wait_until(
            lambda: (wine.find_window(harness.LAUNCHER_TITLE) and "window")
            or (wine.find_window("提示") and "box") or (launcher.proc.poll() is not None and "ended"),
            60, interval=0.1, what="window, message box or end")
        if found == "window":
            assert launcher.close() == 0
        elif found == "box":
            wine.x("xdotool", "key", "--window", wine.find_window("提示"), "Return")
            assert launcher.proc.wait(15) == 0
        else:
            pytest.fail(f"launcher ended with code {launcher.proc.returncode} without a word")
