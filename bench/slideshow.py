#!/usr/bin/python3
"""CPU time and peak memory of the slideshow, side by side with an idle launcher.

Two launchers run at the same time under the same Wine prefix and display:
one in a game folder with three 1920x1080 photo-like JPEG pictures, one in a
folder without pictures. After the windows are up, the CPU time each process
uses over the measured period is read from /proc (user + system), and at the
end its peak resident memory (VmHWM). Goals for the slideshow launcher: at
most 3 % of one core on average, under 64 MiB peak.

    bench/slideshow.py [--seconds 60] [--build build/win32]
"""

import argparse
import os
import random
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageDraw, ImageFilter

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO_ROOT, "tests", "e2e"))
import harness  # noqa: E402

CPU_GOAL = 0.03
MEMORY_GOAL = 64 * 1024 * 1024
TICKS = os.sysconf("SC_CLK_TCK")


def photo(path, seed):
    """A 1920x1080 picture with the detail of a photograph: gradients,
    soft shapes and fine grain, so that it compresses like one."""
    rng = random.Random(seed)
    img = Image.new("RGB", (1920, 1080))
    draw = ImageDraw.Draw(img)
    top = [rng.randrange(256) for _ in range(3)]
    bottom = [rng.randrange(256) for _ in range(3)]
    for y in range(1080):
        t = y / 1079
        draw.line([(0, y), (1919, y)], fill=tuple(int(a + (b - a) * t) for a, b in zip(top, bottom)))
    for _ in range(60):
        x, y, r = rng.randrange(1920), rng.randrange(1080), rng.randrange(20, 220)
        draw.ellipse((x - r, y - r, x + r, y + r),
                     fill=tuple(rng.randrange(256) for _ in range(3)))
    img = img.filter(ImageFilter.GaussianBlur(6))
    grain = Image.effect_noise((1920, 1080), 40).convert("RGB")
    Image.blend(img, grain, 0.12).save(path, quality=90)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def peak_bytes(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    return 0


def make_folder(root, name, build, pictures):
    folder = os.path.join(root, name)
    subprocess.run([os.path.join(REPO_ROOT, "scripts", "make-demo-game.py"), folder,
                    "--launcher", os.path.join(build, "launcher.exe"),
                    "--game", os.path.join(build, "DemoGame.exe")], check=True,
                   stdout=subprocess.DEVNULL)
    tavoro = os.path.join(folder, "tavoro")
    for entry in os.listdir(tavoro):
        if entry.lower().endswith(".jpg"):
            os.remove(os.path.join(tavoro, entry))
    for i in range(pictures):
        photo(os.path.join(tavoro, f"photo{i + 1}.jpg"), seed=i)
    return folder


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--build", default=os.path.join(REPO_ROOT, "build", "win32"))
    args = parser.parse_args(argv)
    build = os.path.abspath(args.build)

    wine = harness.Wine()
    with tempfile.TemporaryDirectory(prefix="tavoro-slideshow-") as tmp:
        runs = {
            "slideshow (3 photos)": make_folder(tmp, "photos", build, 3),
            "idle (no pictures)": make_folder(tmp, "idle", build, 0),
        }
        launchers = {name: harness.Launcher(wine, folder, build).start()
                     for name, folder in runs.items()}
        try:
            for launcher in launchers.values():
                harness.wait_until(lambda l=launcher: len([
                    1 for _, title in wine.visible_windows() if title == harness.LAUNCHER_TITLE
                ]) >= 1, 60, what="launch windows")
            # Both up, the first picture decoded: measure from here.
            time.sleep(3)
            start = {name: cpu_seconds(l.proc.pid) for name, l in launchers.items()}
            began = time.monotonic()
            time.sleep(args.seconds)
            elapsed = time.monotonic() - began
            used = {name: cpu_seconds(l.proc.pid) - start[name] for name, l in launchers.items()}
            peaks = {name: peak_bytes(l.proc.pid) for name, l in launchers.items()}
        finally:
            for launcher in launchers.values():
                launcher.kill()

    print(f"over {elapsed:.0f} s, side by side (Wine prefix {wine.prefix}):")
    for name in runs:
        share = used[name] / elapsed
        print(f"  {name:22s} CPU {share * 100:5.2f} % of one core   "
              f"peak memory {peaks[name] / 1048576:6.1f} MiB")
    slideshow = next(iter(runs))
    share = used[slideshow] / elapsed
    print(f"slideshow goals: CPU <= {CPU_GOAL * 100:.0f} %: "
          f"{'ok' if share <= CPU_GOAL else 'MISSED'}; "
          f"memory < 64 MiB: {'ok' if peaks[slideshow] < MEMORY_GOAL else 'MISSED'}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
