"""The slideshow in the middle of the Launch window, followed on the screen.

A sampler program reads the pixel at the centre of the slideshow box every
few milliseconds while the launcher runs, which shows each picture's hold
and the fades between them far more finely than screenshots could.
"""

import os
import subprocess
import time

import pytest
from PIL import Image

import harness

BOX = (173, 67, 402, 224)  # left, top, width, height in window coordinates
CENTRE = (BOX[0] + BOX[2] // 2, BOX[1] + BOX[3] // 2)
RED, GREEN, BLUE = (230, 30, 30), (30, 200, 40), (40, 60, 220)
HOLD_S = 5.3  # ten 30 ms fade steps and a 5 s hold


def solid_jpeg(path, colour, size=(640, 360)):
    Image.new("RGB", size, colour).save(path, quality=95)


def use_pictures(folder, pictures):
    """Replaces the demo pictures by solid colours: {file name: colour}."""
    tavoro = folder / "tavoro"
    for entry in os.listdir(tavoro):
        if entry.lower().endswith(".jpg"):
            os.remove(tavoro / entry)
    for name, colour in pictures.items():
        solid_jpeg(tavoro / name, colour)


def listed_order(wine, folder):
    """The pictures in the order Windows lists them (FindFirstFile's order,
    which is not the Linux directory's)."""
    done = wine.run("cmd", "/c", "dir", "/b", "/a-d", "*.jpg", cwd=str(folder / "tavoro"))
    assert done.returncode == 0, done.stderr
    return [line.strip() for line in done.stdout.decode("gbk").splitlines() if line.strip()]


def near(rgb, colour, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(rgb, colour))


def sample(wine, win32_build, window, seconds, interval_ms=10):
    """[(seconds, (r, g, b))] of the slideshow box's centre."""
    x, y, _, _ = wine.geometry(window)
    exe = os.path.join(win32_build, "pixel_sampler.exe")
    done = wine.run(exe, str(x + CENTRE[0]), str(y + CENTRE[1]), str(interval_ms),
                    str(int(seconds * 1000)), timeout=seconds + 60)
    assert done.returncode == 0, done.stderr
    samples = []
    for line in done.stdout.decode().splitlines():
        ms, hexcolour = line.split()
        samples.append((int(ms) / 1000, tuple(int(hexcolour[i:i + 2], 16) for i in (0, 2, 4))))
    return samples


def runs(samples, colours):
    """Consecutive stretches of one pure colour: [(name, first t, last t)];
    samples that match no colour (fades) end a stretch."""
    stretches = []
    for t, rgb in samples:
        name = next((n for n, c in colours.items() if near(rgb, c)), None)
        if name is None:
            continue
        if stretches and stretches[-1][0] == name:
            stretches[-1][2] = t
        else:
            stretches.append([name, t, t])
    # Noise from a single sample inside a fade is no stretch of its own.
    return [s for s in stretches if s[2] - s[1] >= 0.5]


def test_three_pictures_follow_each_other_in_folder_order_and_fade(
        wine, win32_build, game_folder, start_launcher):
    colours = {"a.jpg": RED, "b.jpg": GREEN, "c.jpg": BLUE}
    use_pictures(game_folder, colours)
    order = listed_order(wine, game_folder)
    assert sorted(order) == sorted(colours), order
    launcher = start_launcher(game_folder)
    window = launcher.wait_window()
    samples = sample(wine, win32_build, window, 19)

    shown = runs(samples, colours)
    names = [s[0] for s in shown]
    assert len(names) >= 4, names
    # A, B, C, A in the folder's order, starting wherever the first sample caught it.
    first = order.index(names[0])
    assert names[:4] == [order[(first + i) % 3] for i in range(4)], (names, order)
    # Each picture holds about 5.3 s: the starts of whole stretches are that far apart.
    starts = [s[1] for s in shown[1:4]]
    for a, b in zip(starts, starts[1:]):
        assert abs((b - a) - HOLD_S) < 0.8, starts

    # Between two pictures the box shows a mix of both for a moment.
    b_start = shown[1][1]
    before = colours[shown[0][0]]
    after = colours[shown[1][0]]
    fade = [rgb for t, rgb in samples if shown[0][2] < t < b_start]
    assert fade, "no sample between two pictures"
    mixed = [rgb for rgb in fade if not near(rgb, before) and not near(rgb, after)]
    assert mixed, fade
    # A mix of the two: every channel lies between the two colours.
    for rgb in mixed:
        for c, lo, hi in zip(rgb, before, after):
            assert min(lo, hi) - 40 <= c <= max(lo, hi) + 40, (rgb, before, after)

    # The picture fills the whole box, corner to corner.
    shot = Image.open(wine.screenshot(os.path.join(str(game_folder), "shot.png"))).convert("RGB")
    x, y, _, _ = wine.geometry(window)
    centre = shot.getpixel((x + CENTRE[0], y + CENTRE[1]))
    for dx, dy in ((2, 2), (BOX[2] - 3, 2), (2, BOX[3] - 3), (BOX[2] - 3, BOX[3] - 3)):
        corner = shot.getpixel((x + BOX[0] + dx, y + BOX[1] + dy))
        assert near(corner, centre, 50), (corner, centre)
    assert launcher.close() == 0


@pytest.mark.parametrize("name", ["PIC.JPG", "only.jpg"])
def test_one_picture_stays_steady_and_upper_case_names_are_found(
        wine, win32_build, game_folder, start_launcher, name):
    use_pictures(game_folder, {name: RED})
    launcher = start_launcher(game_folder)
    window = launcher.wait_window()
    time.sleep(1)
    samples = sample(wine, win32_build, window, 7, interval_ms=20)
    off = [rgb for _, rgb in samples if not near(rgb, RED)]
    # It fades over itself: nothing else ever shows.
    assert not off, off[:5]
    assert launcher.close() == 0


def test_closing_during_a_fade_ends_the_program_at_once(wine, win32_build, game_folder,
                                                        start_launcher):
    use_pictures(game_folder, {"a.jpg": RED, "b.jpg": BLUE})
    launcher = start_launcher(game_folder)
    window = launcher.wait_window()
    x, y, _, _ = wine.geometry(window)
    # Follow the pixel until it leaves the first picture: a fade has begun.
    exe = os.path.join(win32_build, "pixel_sampler.exe")
    sampler = subprocess.Popen(["wine", exe, str(x + CENTRE[0]), str(y + CENTRE[1]), "5", "15000"],
                               env=wine.wine_env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    first = None
    try:
        for line in sampler.stdout:
            rgb = tuple(int(line.split()[1][i:i + 2], 16) for i in (0, 2, 4))
            if first is None and (near(rgb, RED) or near(rgb, BLUE)):
                first = RED if near(rgb, RED) else BLUE
            elif first is not None and not near(rgb, first):
                break
        else:
            pytest.fail("no fade seen within 15 s")
    finally:
        sampler.kill()
        sampler.wait()
    closed_at = time.monotonic()
    assert launcher.post("/wait:0", "close")
    assert launcher.proc.wait(15) == 0
    took = time.monotonic() - closed_at
    # Destroying a window costs Wine up to 2 s on a display without a window
    # manager (it waits for one to withdraw the window), whatever the
    # program: a bare window's close is the baseline.
    assert took - bare_window_close_time(wine, win32_build) < 1.0, took


def bare_window_close_time(wine, win32_build):
    proc = wine.start(os.path.join(win32_build, "minimal_window.exe"))
    harness.wait_until(lambda: wine.find_window("minimal window"), 60, what="minimal window")
    started = time.monotonic()
    done = wine.run(os.path.join(win32_build, "post_message.exe"), "/wait:0",
                    "/class:TavoroMinimalWindow", "close")
    assert done.returncode == 0
    assert proc.wait(15) == 0
    return time.monotonic() - started
