#!/usr/bin/python3
"""Starts launcher.exe in a game folder under Wine, waits for its window,
saves a screenshot of it, closes it with WM_CLOSE and checks that it ended
with exit code 0. Used by ./run when there is no display to show it on.

    launcher-screenshot.py GAME_FOLDER HELPERS_DIR OUT.png
"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402

# Time for the first paint and the slideshow's first picture after mapping.
PAINT_SETTLE_S = 2.0


def main(folder, helpers_dir, out):
    wine = harness.Wine()
    launcher = harness.Launcher(wine, folder, helpers_dir).start()
    try:
        wid = launcher.wait_window(timeout=60)
        time.sleep(PAINT_SETTLE_S)
        x, y, w, h = wine.geometry(wid)
        screen = os.path.splitext(out)[0] + "-screen.png"
        wine.screenshot(screen)
        from PIL import Image
        Image.open(screen).crop((x, y, x + w, y + h)).save(out)
        print(f"window {w}x{h} at {x},{y}")
        code = launcher.close()
    except harness.HarnessError as e:
        print(f"run: {e}", file=sys.stderr)
        launcher.kill()
        return 1
    if code != 0:
        print(f"run: launcher exited with code {code}", file=sys.stderr)
        return 1
    print(os.path.abspath(out))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
