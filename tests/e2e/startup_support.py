"""Helpers for the end-to-end tests of start-up, the start and shortcut
buttons, the link labels and the window chrome: config files written the
way publishers write them (code page 936, CRLF), clicks and drags at window
coordinates, message boxes answered by key, pictures of the window, and a
recorder registered as Wine's browser.
"""

import os
import shutil
import subprocess
import time

import pytest
from PIL import Image

import harness
from harness import windows_path  # noqa: F401 (the tests call it from here too)
from conftest import ARTIFACTS

# Window coordinates (x, y) of what a player presses.
START_BUTTON = (256, 339)  # centre of the orange image
SHORTCUT_BUTTON = (88, 334)
MINIMISE_BUTTON = (554, 16)
CLOSE_BUTTON = (580, 16)
BACKGROUND = (520, 330)  # right of the help link, away from every control
# Centres of the link labels' captions, with the section `http` key each opens.
LINKS = {
    "Home": (192, 20),
    "video": (259, 20),
    "resource": (332, 20),
    "software": (413, 20),
    "bbs": (490, 20),
    "diy": (404, 344),
}
# Banner pixels that belong to no link label: below the captions' labels
# (which end at y 56), and the gap between "VR游戏" (..369) and "VR软件" (377..).
BANNER_BELOW_LINKS = (150, 60)
BANNER_BETWEEN_LINKS = (373, 30)

# (left, top, right, bottom) in window coordinates, right/bottom exclusive.
NAME_LABEL = (8, 221, 168, 253)
LANGUAGE_LABEL = (12, 266, 170, 283)
DEVICES_LABEL = (12, 288, 170, 305)
LOGO_BOX = (32, 108, 144, 214)
HELP_LINK = (339, 335, 470, 353)

SECOND_COPY_TITLE = "友情提醒:"
NOTICE_TITLE = "提示"
SHORTCUT_SUFFIX = " -塔沃VR游戏"
DEMO_GAME_CLASS = "TavoroDemoGame"

DEFAULT_VALUES = {
    ("name", "name1"): "星海漫游VR",
    ("name", "name2"): "简体中文",
    ("url", "url1"): "HTC Vive / Oculus Rift",
    ("url", "url2"): "\\Bin\\DemoGame.exe",
    ("url", "bh1"): "",
    ("http", "Home"): "http://127.0.0.1:9/home",
    ("http", "video"): "http://127.0.0.1:9/video",
    ("http", "resource"): "http://127.0.0.1:9/games",
    ("http", "software"): "http://127.0.0.1:9/software",
    ("http", "bbs"): "http://bbs.example.invalid/",
    ("http", "diy"): "http://help.example.invalid/start-problems",
}


def write_config(path, **changes):
    """Writes the game's INI in code page 936 with CRLF line ends.

    Keyword names are "section_key" (name_name1, url_bh1, http_Home); a
    value of None leaves the key out."""
    values = dict(DEFAULT_VALUES)
    for name, value in changes.items():
        section, key = name.split("_", 1)
        values[(section, key)] = value
    lines = ["; written by the e2e tests"]
    for section in ("name", "url", "http"):
        lines.append(f"[{section}]")
        lines += [f"{k}={v}" for (s, k), v in values.items() if s == section and v is not None]
        lines.append("")
    path.write_bytes("\r\n".join(lines).encode("gbk"))


# -- windows and processes ------------------------------------------------

def launch_windows(wine):
    return [wid for wid, name in wine.visible_windows() if name == harness.LAUNCHER_TITLE]


def wait_exit(proc, timeout=20):
    try:
        return proc.wait(timeout)
    except subprocess.TimeoutExpired:
        raise harness.HarnessError(f"process still running after {timeout} s") from None


def answer_box(wine, title, proc=None, timeout=60):
    """Waits for a message box titled `title`, answers OK with Return and
    returns the box's window id."""
    box = wine.wait_window(title, timeout, proc=proc)
    wine.x("xdotool", "key", "--window", box, "Return")
    return box


def still_running(proc, seconds):
    """True when proc is still running after `seconds`; for checks that
    something does NOT end the launcher, where no event marks the moment."""
    try:
        proc.wait(seconds)
        return False
    except subprocess.TimeoutExpired:
        return True


def no_window_appears(wine, title, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if wine.find_window(title):
            return False
        time.sleep(0.2)
    return True


def is_iconic(launcher):
    """Asks Windows whether the Launch window is minimised (an X window of a
    minimised Wine window stays mapped when there is no window manager)."""
    done = launcher.wine.run(launcher.post_message, "iconic", timeout=30)
    if done.returncode not in (0, 3):
        raise harness.HarnessError(f"post_message iconic: exit code {done.returncode}")
    return done.returncode == 0


def close_all(launchers, timeout=20):
    """Closes every running launcher of the list with WM_CLOSE, one at a
    time (post_message finds a Launch window by class, so which one goes
    first is not ours to choose); returns their exit codes."""
    running = [launcher for launcher in launchers if launcher.proc.poll() is None]
    while running:
        count = len(running)
        if not running[0].post("/wait:2000", "close"):
            raise harness.HarnessError("no Launch window to close")
        harness.wait_until(lambda: sum(1 for launcher in running if launcher.proc.poll() is None)
                           < count, timeout, what="a launcher to end after WM_CLOSE")
        running = [launcher for launcher in running if launcher.proc.poll() is None]
    return [launcher.proc.returncode for launcher in launchers]


def close_demo_games(wine, post_message, timeout=15):
    """Closes every demo game window, one WM_CLOSE at a time; returns how
    many there were."""
    closed = 0
    while True:
        count = len(demo_game_windows(wine))
        if count == 0:
            return closed
        if wine.run(post_message, f"/class:{DEMO_GAME_CLASS}", "close", timeout=30).returncode:
            raise harness.HarnessError("a demo game window is shown but post_message found none")
        harness.wait_until(lambda: len(demo_game_windows(wine)) < count, timeout,
                           what="the demo game window to close")
        closed += 1


def demo_game_windows(wine):
    return [wid for wid, name in wine.visible_windows() if name == harness.DEMO_GAME_TITLE]


# -- mouse and keys -------------------------------------------------------

def screen_point(wine, wid, point):
    x, y, _, _ = wine.geometry(wid)
    return x + point[0], y + point[1]


def click(wine, wid, point):
    sx, sy = screen_point(wine, wid, point)
    wine.x("xdotool", "mousemove", str(sx), str(sy), "click", "1")


def drag(wine, wid, start, dx, dy, steps=10):
    """Presses at `start` (window coordinates), moves by (dx, dy) in steps
    and releases, as a hand would."""
    sx, sy = screen_point(wine, wid, start)
    wine.x("xdotool", "mousemove", str(sx), str(sy), "mousedown", "1")
    time.sleep(0.2)  # let Wine start its move loop before the pointer moves
    for i in range(1, steps + 1):
        wine.x("xdotool", "mousemove", str(sx + dx * i // steps), str(sy + dy * i // steps))
        time.sleep(0.03)
    wine.x("xdotool", "mouseup", "1")


def park_pointer(wine):
    """Moves the pointer to the screen's corner, off every window, so no
    button shows its hover picture in a screenshot."""
    w, h = wine.screen_size()
    wine.x("xdotool", "mousemove", str(w - 1), str(h - 1))


def press_escape(wine, wid):
    # Wine delivers keys to the window that has the X input focus; without a
    # window manager nobody gives it, so take it first.
    wine.x("xdotool", "windowfocus", "--sync", wid)
    wine.x("xdotool", "key", "Escape")


# -- pictures -------------------------------------------------------------

def screen_image(wine, name="screen"):
    path = wine.screenshot(os.path.join(ARTIFACTS, "startup", name + ".png"))
    return Image.open(path).convert("RGB")


def window_image(wine, wid, name="window"):
    x, y, w, h = wine.geometry(wid)
    return screen_image(wine, name).crop((x, y, x + w, y + h))


def settled_window_image(wine, wid, box, name="window", timeout=15):
    """A picture of the window once `box` (window coordinates) looks the same
    in two shots in a row: captions and pictures are painted after the
    window is mapped."""
    previous = None

    def probe():
        nonlocal previous
        img = window_image(wine, wid, name)
        crop = img.crop(box).tobytes()
        if crop == previous:
            return img
        previous = crop
        time.sleep(0.2)
        return None

    return harness.wait_until(probe, timeout, interval=0.05, what=f"{box} to stop changing")


def luminance(p):
    return (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000


def dark_mask(img, box, threshold=140):
    """Rows of booleans: glyph (dark) pixels of the box."""
    crop = img.crop(box)
    w, h = crop.size
    px = crop.load()
    return [[luminance(px[x, y]) < threshold for x in range(w)] for y in range(h)]


def dark_columns(mask):
    return [x for x in range(len(mask[0])) if any(row[x] for row in mask)]


def share(img, box, test):
    data = list(img.crop(box).getdata())
    return sum(1 for p in data if test(p)) / len(data)




# -- desktop --------------------------------------------------------------

def desktop_dir(wine):
    """The Wine user's desktop folder on disk. Wine links it to the Unix
    home by default; a real folder keeps the tests' shortcuts in the prefix."""
    users = os.path.join(wine.prefix, "drive_c", "users")
    names = [n for n in os.listdir(users) if n != "Public"]
    if len(names) != 1:
        pytest.fail(f"cannot tell the Wine user among {names}")
    desktop = os.path.join(users, names[0], "Desktop")
    if os.path.islink(desktop):
        os.unlink(desktop)
    os.makedirs(desktop, exist_ok=True)
    return desktop


def clear_shortcuts(desktop):
    for name in os.listdir(desktop):
        if name.endswith(".lnk"):
            os.unlink(os.path.join(desktop, name))


def shortcuts(desktop):
    return sorted(n for n in os.listdir(desktop) if n.endswith(".lnk"))


def lnk_mentions(data, path):
    """True when the shell link's bytes carry `path`, in the ANSI or the
    UTF-16 form, letter case aside."""
    lower = data.lower()
    return (path.lower().encode("gbk") in lower
            or path.lower().encode("utf-16-le") in lower)


def copy_game(template, folder):
    shutil.copytree(template, folder)
    return folder
