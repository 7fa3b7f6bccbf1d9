"""A package past 4 GiB, end to end: tavoro-publish.exe packs a release
whose one data file is 4.3 GiB that deflate cannot shrink (stored, so the
package is ZIP64) and verifies it, nginx serves it, and launcher.exe
downloads it, checks its signature and unpacks it, its memory sampled all
the while.

Needs some 13 GiB of disk: the package on the server, its download in the
game folder and the unpacked file beside it.
"""

import os
import shutil
import threading
import time

import pytest

import harness
import update_support as us
import version_support as vs
from test_signed_update import (  # noqa: F401 (fixtures)
    PACKAGE, accept, public_key_and_secret, publish, stamped_folder, start, tool)

BLOCK = 1 << 20
BIG_BLOCKS = 4400  # 4.3 GiB: past 4 GiB, so both the entry and the package need ZIP64
NEEDED_BYTES = 13 << 30
MEMORY_LIMIT_KIB = 64 << 10


def fill(path, block, count):
    with open(path, "wb") as f:
        for _ in range(count):
            f.write(block)


def resident_kib(pids):
    """The largest VmRSS of the processes, in KiB; 0 for those gone."""
    largest = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        largest = max(largest, int(line.split()[1]))
        except OSError:
            pass
    return largest


class MemorySampler:
    """VmRSS of the launcher's Wine process every half second, until stopped."""

    def __init__(self, exe):
        self.exe = exe
        self.samples = []
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def _run(self):
        while not self._stop.wait(0.5):
            self.samples.append(resident_kib(us.wine_processes_of(self.exe)))

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *_):
        self._stop.set()
        self._thread.join()


@pytest.fixture
def large_release(wine, tool, tmp_path, nginx, win32_build, public_key_and_secret):
    """The version page of a signed release packed straight into nginx's
    folder, and the random block its data file repeats."""
    room = shutil.disk_usage(tmp_path).free
    if room < NEEDED_BYTES:
        pytest.skip(f"a package past 4 GiB needs {NEEDED_BYTES >> 30} GiB of disk; "
                    f"{tmp_path} has {room >> 30} GiB free")
    source = tmp_path / "new-files"
    (source / "Data").mkdir(parents=True)
    (source / us.NEW_LAUNCHER).write_bytes(us.read(os.path.join(win32_build, "DemoGame.exe")))
    block = us.pseudo_random(BLOCK, 4)
    fill(source / "Data" / "big.pak", block, BIG_BLOCKS)
    (source / "readme.txt").write_bytes(b"large readme\r\n")
    publish(wine, tool, "pack", "--from", us.windows_path(source), "--launcher", us.NEW_LAUNCHER,
            "--version", "5.1", "--url", nginx.url("/" + PACKAGE), "--page", vs.VERSION_URL,
            "--secret", us.windows_path(public_key_and_secret[1]),
            "--out", us.windows_path(nginx.root), timeout=1200)
    shutil.rmtree(source)  # room for the download and the unpacked file
    package = os.path.join(nginx.root, PACKAGE)
    with open(package, "rb") as f:
        f.seek(-42, os.SEEK_END)
        assert f.read(4) == b"PK\x06\x07", "no ZIP64 end locator"
    assert os.path.getsize(package) > BIG_BLOCKS * BLOCK
    page_file = os.path.join(nginx.root, "version.html")
    # The 32-bit tool reads back what it wrote, as a publisher checks it.
    said = publish(wine, tool, "verify", "--page", us.windows_path(page_file),
                   "--package", us.windows_path(package),
                   "--public-key", public_key_and_secret[0], timeout=1200)
    assert said.startswith("正确："), said  # the prefix runs in Chinese
    page = open(page_file, encoding="utf-8").read()
    return page, block


def test_a_package_past_4_gib_is_downloaded_and_unpacked_in_little_memory(
        wine, start_launcher, stamped_folder, large_release, win32_build, record_property):
    page, block = large_release
    folder = str(stamped_folder)
    launcher = start(start_launcher, stamped_folder)
    with MemorySampler(launcher.exe) as memory:
        accept(wine, launcher, page, win32_build)
        log = os.path.join(folder, os.path.splitext(us.NEW_LAUNCHER)[0] + ".log")
        harness.wait_until(lambda: os.path.exists(log), 900, interval=1,
                           what="the new launcher's log")
        assert us.wait_exit(launcher.proc, 60) == 0
    big = os.path.join(folder, "Data", "big.pak")
    assert os.path.getsize(big) == BIG_BLOCKS * BLOCK
    with open(big, "rb") as f:
        assert f.read(BLOCK) == block
        f.seek(-BLOCK, os.SEEK_END)
        assert f.read(BLOCK) == block
    assert us.read(os.path.join(folder, "readme.txt")) == b"large readme\r\n"
    assert us.update_leftovers(folder, PACKAGE) == []
    peak = max(memory.samples, default=0)
    record_property("launcher_peak_rss_kib", peak)
    print(f"launcher peak VmRSS {peak} KiB over {len(memory.samples)} samples")
    assert len(memory.samples) > 10 and peak > 0, "the launcher's memory was not sampled"
    assert peak < MEMORY_LIMIT_KIB, f"the launcher's resident memory reached {peak} KiB"
