"""launcher.exe on Windows systems whose code page for programs is not 936:
a Western one (1252) and a Traditional Chinese one (950). The window shows
the same texts and looks the same as on 936, and a Game configuration file
saved as UTF-8 with a byte order mark shows the same window as its GBK
twin.

The window's texts are read by box_text.exe, which runs on 936: a text the
launcher set through the wide functions reads back as the 936 bytes it
was; one set through the ANSI functions on another code page would not.
The slideshow's pictures are taken out of the folder so that two windows
shot at slightly different moments still look the same.
"""

import glob
import os
import time

import pytest
from PIL import Image, ImageChops

import harness
import startup_support as s
from conftest import ARTIFACTS, CODE_PAGE_LOCALES

SETTLE_S = 2.0
# Share of the window's pixels two pictures of it may differ in: glyph
# edges, nothing a reader would see.
MAX_DIFFERING = 0.005


def still_folder(template, folder):
    """A copy of the demo game without slideshow pictures."""
    s.copy_game(template, folder)
    for picture in glob.glob(os.path.join(folder, "tavoro", "*.jpg")):
        os.remove(picture)
    return folder


def window_view(wine, win32_build, folder, code_page, name):
    """(texts of the window's controls, picture of the window) of a launcher
    on `folder` started on `code_page`; the launcher is closed afterwards."""
    s.park_pointer(wine)
    launcher = harness.Launcher(wine, str(folder), win32_build)
    launcher.start(env={"LC_ALL": CODE_PAGE_LOCALES[code_page]})
    try:
        wid = launcher.wait_window()
        time.sleep(SETTLE_S)
        done = wine.run(os.path.join(win32_build, "box_text.exe"), "/launcher", timeout=30)
        assert done.returncode == 0, "box_text.exe found no Launch window"
        texts = done.stdout.decode("gbk").splitlines()
        x, y, w, h = wine.geometry(wid)
        screen = wine.screenshot(os.path.join(ARTIFACTS, f"code-page-{name}-screen.png"))
        picture = Image.open(screen).convert("RGB").crop((x, y, x + w, y + h))
        picture.save(os.path.join(ARTIFACTS, f"code-page-{name}.png"))
        assert launcher.close() == 0
        return texts, picture
    finally:
        launcher.kill()


def differing_share(a, b):
    assert a.size == b.size
    diff = ImageChops.difference(a, b).convert("L").point(lambda v: 255 if v > 24 else 0)
    return sum(1 for v in diff.getdata() if v) / (a.size[0] * a.size[1])


def config_values(folder):
    """{key: value} of the folder's Game configuration file (GBK)."""
    text = (folder / "tavoro" / "tavoroConfig.ini").read_bytes().decode("gbk")
    return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)


@pytest.fixture(scope="module")
def on_936(tmp_path_factory, wine, win32_build, demo_template):
    """The window on the launcher's own code page, to hold the others to."""
    folder = still_folder(demo_template, tmp_path_factory.mktemp("cp936") / "game")
    texts, picture = window_view(wine, win32_build, folder, 936, "936")
    # What a player should read there: the labels filled in from the file.
    values = config_values(folder)
    for expected in ("游戏语言:" + values["name2"], "游戏支持:" + values["url1"], values["name1"]):
        assert any(line.endswith("\t" + expected) for line in texts), (expected, texts)
    return texts, picture


@pytest.mark.parametrize("other", [1252, 950])
def test_window_reads_and_looks_as_on_936(wine, win32_build, demo_template, tmp_path, on_936,
                                          other):
    folder = still_folder(demo_template, tmp_path / "game")
    texts, picture = window_view(wine, win32_build, folder, other, str(other))
    assert texts == on_936[0]
    assert differing_share(picture, on_936[1]) < MAX_DIFFERING


def test_utf8_config_with_a_byte_order_mark_shows_its_gbk_twins_window(
        wine, win32_build, demo_template, tmp_path, on_936):
    folder = still_folder(demo_template, tmp_path / "game")
    config = folder / "tavoro" / "tavoroConfig.ini"
    config.write_bytes(config.read_bytes().decode("gbk").encode("utf-8-sig"))
    texts, picture = window_view(wine, win32_build, folder, 936, "utf8-bom")
    assert texts == on_936[0]
    assert differing_share(picture, on_936[1]) < MAX_DIFFERING
