"""The download panel of a package of several GiB, end to end: the figures
past 2 and 4 GiB are the true ones, read from the Launch window's own
labels while the body is paused on its way."""

import os
import shutil

import harness
import http_server as hs
import update_support as us
import version_support as vs

GIB = 1 << 30
TOTAL = 3 * GIB
PAUSE_AT = 2576980378  # 80 % of TOTAL


def captions_saying(wine, helpers_dir, wanted):
    """The launcher's captions once all of `wanted` are among them."""
    seen = []

    def probe():
        seen[:] = us.launcher_captions(wine, helpers_dir)
        return all(text in seen for text in wanted)

    try:
        harness.wait_until(probe, 60, interval=0.5, what=f"the panel to show {wanted}")
    except harness.HarnessError as error:
        raise harness.HarnessError(f"{error}; the captions were {seen}") from None
    return seen


def test_a_three_gibibyte_body_paused_at_eighty_percent(wine, start_launcher, e2e_folder,
                                                        package_server, win32_build):
    folder = str(e2e_folder)
    if shutil.disk_usage(folder).free < PAUSE_AT + GIB:
        raise harness.HarnessError(f"{folder} lacks room for {PAUSE_AT} bytes")
    body = hs.Generated(TOTAL, pause_at=PAUSE_AT)
    package_server.serve(us.PACKAGE_PATH, body)
    launcher = start_launcher(e2e_folder)
    launcher.wait_window()
    try:
        us.accept_update(wine, launcher, package_server.url(us.PACKAGE_PATH), win32_build)
        transfer = package_server.wait_requests(1, us.PACKAGE_PATH, timeout=60)[0]
        harness.wait_until(lambda: transfer.sent >= PAUSE_AT, 600, interval=0.5,
                           what="2.4 GiB of the body sent")
        harness.wait_until(
            lambda: os.path.getsize(os.path.join(folder, "update.zip.tmp")) >= PAUSE_AT, 120,
            what="2.4 GiB written")
        # The panel's labels: 1 MB here is 1024000 bytes, so 3 GiB shows as
        # 3145.73 MB and 2.4 GiB as 2516.58 MB.
        # While the body rests, a tick brings no bytes.
        captions_saying(wine, win32_build, ["已下载：80%", "已下载：2516.58MB",
                                            "更新大小：3145.73MB", "下载速度：0 KB\\s"])
        img = vs.window_picture(wine, launcher.window, "large-progress-80")
        assert 0.75 <= us.bar_fill(img) <= 0.85, us.bar_fill(img)
    finally:
        body.resume.set()
        launcher.kill()
