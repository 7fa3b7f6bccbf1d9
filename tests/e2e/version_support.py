"""Support for the end-to-end tests of the version check: version pages,
and driving the start button and the update question of launcher-e2e.exe,
which asks a server on loopback (http_server) for its page.
"""

import os
import time

from PIL import Image

import harness
import http_server as hs
from conftest import ARTIFACTS

VERSION_URL = f"http://127.0.0.1:{hs.PORT}{hs.VERSION_PATH}"
# Nothing is published here: the download gets a 404 and no update happens.
NO_PACKAGE_URL = f"http://127.0.0.1:{hs.PORT}/none.zip"

QUESTION_TITLE = " 软件更新提示"
# The version pages' 程序标题: what an accepted update starts.
NEW_LAUNCHER = "塔沃VR游戏启动器5.1.exe"
DEFAULT_AGENT = (b"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 4Kix; .NET CLR 2.0.50727; "
                 b".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)")

DEMO_GAME_CLASS = "TavoroDemoGame"

# Window coordinates of the Launch window's layout.
START_BUTTON = (180, 315, 152, 48)  # x, y, width, height
NOTES_BOX = (172, 67, 574, 291)  # left, top, right, bottom (exclusive)
PROGRESS_BAR = (193, 235, 561, 256)


# -- version pages -----------------------------------------------------------

def version_page(version="5.1", title=NEW_LAUNCHER, description="本次更新修复了若干问题",
                 notes=("新增中文说明", "启动更快", "修正下载进度", "界面更清晰", "感谢支持"),
                 address=NO_PACKAGE_URL):
    """HTML text with the nine fields, each value ended by a tag."""
    rows = [f"最新版本={version}", f"程序标题={title}", f"更新说明={description}"]
    rows += [f"更新说明{i}={note}" for i, note in enumerate(notes, 1)]
    rows.append(f"更新地址={address}")
    body = "".join(f"<p>{row}</p>\n" for row in rows)
    return f"<html><head><title>版本</title></head><body>\n{body}</body></html>\n"


# -- the launcher --------------------------------------------------------------

def game_log(folder):
    path = os.path.join(folder, "Bin", "DemoGame.log")
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def game_starts(folder):
    return game_log(folder).count(b"cmdline=")


def click(wine, wid, x, y):
    """Left click at window coordinates (x, y) of window wid."""
    wx, wy, _, _ = wine.geometry(wid)
    # Raise it first: a game window may have opened on top of it.
    wine.x("xdotool", "windowraise", wid)
    done = wine.x("xdotool", "mousemove", str(wx + x), str(wy + y), "click", "1")
    if done.returncode != 0:
        raise harness.HarnessError(f"xdotool click failed: {done.stderr!r}")


def click_start(wine, launcher):
    x, y, w, h = START_BUTTON
    click(wine, launcher.window, x + w // 2, y + h // 2)


def questions(wine):
    return [wid for wid, name in wine.visible_windows() if name == QUESTION_TITLE]


def wait_question(wine, launcher, timeout=30):
    return wine.wait_window(QUESTION_TITLE, timeout, proc=launcher.proc)


def answer(wine, wid, yes):
    # Return is Yes, "n" is No in Wine's Yes/No box.
    wine.x("xdotool", "key", "--window", wid, "Return" if yes else "n")
    harness.wait_until(lambda: wid not in [w for w, _ in wine.visible_windows()], 10,
                       what="the question to close")


def assert_no_question(wine, launcher, settle=2.0):
    """After the page has been answered: the check compares and returns
    within a moment; no question may show up meanwhile, and the launcher
    must still run."""
    deadline = time.monotonic() + settle
    while time.monotonic() < deadline:
        assert not questions(wine), "the launcher asked about an update"
        assert launcher.proc.poll() is None, f"launcher ended ({launcher.proc.returncode})"
        time.sleep(0.1)


def close_games(wine, build, timeout=15):
    """Closes every demo game window, one by one, as a user would."""
    post = os.path.join(build, "post_message.exe")
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if wine.run(post, f"/class:{DEMO_GAME_CLASS}", "close", timeout=30).returncode != 0:
            return
        time.sleep(0.1)


# -- pictures ----------------------------------------------------------------

def window_picture(wine, wid, name):
    x, y, w, h = wine.geometry(wid)
    shot = wine.screenshot(os.path.join(ARTIFACTS, name + "-screen.png"))
    img = Image.open(shot).convert("RGB").crop((x, y, x + w, y + h))
    img.save(os.path.join(ARTIFACTS, name + ".png"))
    return img


def share(img, box, test):
    px = list(img.crop(box).getdata())
    return sum(1 for p in px if test(p)) / len(px)


def is_white(p):
    return min(p[:3]) >= 230


def is_dark(p):
    return (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000 < 90


def text_rows(img, box):
    """Bands of consecutive rows in box that hold dark pixels: lines of text."""
    left, top, right, bottom = box
    bands, inside = 0, False
    for y in range(top, bottom):
        dark = any(is_dark(img.getpixel((x, y))) for x in range(left, right))
        if dark and not inside:
            bands += 1
        inside = dark
    return bands


def horizontal_line(img, left, right, y):
    """True when row y from left to right is one even line that stands out
    from the rows above and below it: the edge of a frame."""
    def row_mean(row_y):
        row = list(img.crop((left, row_y, right, row_y + 1)).getdata())
        return row, [sum(p[i] for p in row) / len(row) for i in range(3)]

    row, mean = row_mean(y)
    if any(max(abs(p[i] - mean[i]) for i in range(3)) > 12 for p in row):
        return False
    for other in (y - 1, y + 1):
        _, other_mean = row_mean(other)
        if max(abs(a - b) for a, b in zip(mean, other_mean)) < 24:
            return False
    return True


def first_text_band(img, box):
    """(top, bottom) of the first band of rows in box holding dark pixels."""
    left, top, right, bottom = box
    start = None
    for y in range(top, bottom):
        dark = any(is_dark(img.getpixel((x, y))) for x in range(left, right))
        if dark and start is None:
            start = y
        elif not dark and start is not None:
            return start, y
    return (start, bottom) if start is not None else None


def leftmost_dark(img, box, band):
    """x of the leftmost dark pixel of rows band (top, bottom) within box."""
    left, _, right, _ = box
    xs = [x for y in range(*band) for x in range(left, right) if is_dark(img.getpixel((x, y)))]
    return min(xs)
