"""A signed release bound to its game and its size, with the real
launcher.exe under Wine: another game's release (one key for both) served at
this game's page installs nothing; an endless body for a signed release
stops at the signed size; and a launcher of the earlier signature form,
built from this repository's history and stamped by the tool of its day,
still updates from a page the current `pack` made."""

import os
import shutil
import subprocess
import threading

import pytest

import harness
import http_server as hs
import update_support as us
import version_support as vs
from test_signed_update import (launchers_ended, offer_nothing, public_key_and_secret,  # noqa: F401
                                publish, stamped_folder, start, take_over, tool)

# The last launcher that checks the release signature without the version
# page: the kind players who never updated since still run.
EARLIER_FORM_COMMIT = "c29d74a7dc48e4d71f69074d69d0dec3b2c3eaf2"
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The download engine's block: how far a file may lag its last report.
BLOCK = 20480


def pack(wine, tool, tmp_path, secret, launcher, url, *more):
    """A 5.1 release: a copy of `launcher` as the new launcher, the demo's
    readme and a file in a Chinese-named folder. Returns (package, page)."""
    source = tmp_path / "new-files"
    shutil.rmtree(source, ignore_errors=True)
    (source / "资料").mkdir(parents=True)
    shutil.copyfile(launcher, source / us.NEW_LAUNCHER)
    (source / "资料" / "介绍.txt").write_bytes("介绍".encode("gbk"))
    (source / "readme.txt").write_bytes(b"signed readme\r\n")
    upload = tmp_path / "upload"
    shutil.rmtree(upload, ignore_errors=True)
    # Each a first release, with a ledger of its own.
    shutil.rmtree(tmp_path / "release-ledger", ignore_errors=True)
    publish(wine, tool, "pack", "--from", us.windows_path(source), "--launcher", us.NEW_LAUNCHER,
            "--version", "5.1", "--url", url, "--secret", us.windows_path(secret),
            "--out", us.windows_path(upload), *more)
    name = url.rsplit("/", 1)[1]
    return us.read(upload / name), (upload / "version.html").read_text("utf-8")


def stamp(wine, tool, source, target, page, key):
    publish(wine, tool, "stamp", "--in", us.windows_path(source), "--out", us.windows_path(target),
            "--page", page, "--public-key", key)


@pytest.fixture(scope="session")
def earlier_build():
    """launcher.exe and tavoro-publish.exe of the earlier form, built once
    per machine from the repository's history."""
    done = subprocess.run([os.path.join(ROOT, "scripts", "build-earlier-launcher.sh"),
                           EARLIER_FORM_COMMIT], capture_output=True, text=True, timeout=1500)
    assert done.returncode == 0, done.stderr
    return done.stdout.strip()


class TestReleaseBinding:
    def test_another_games_release_at_this_page_installs_nothing(
            self, wine, tool, tmp_path, start_launcher, stamped_folder, package_server,
            public_key_and_secret, win32_build):
        folder = str(stamped_folder)
        key, secret = public_key_and_secret
        # Game A's launcher reads its own page; the publisher signs both
        # games' releases with one key.
        game_a = tmp_path / "game-a-launcher.exe"
        stamp(wine, tool, os.path.join(win32_build, "launcher.exe"), game_a,
              f"http://127.0.0.1:{hs.PORT}/game-a/version.html", key)
        address = package_server.url("/update-5.1.zip")
        package, page_a = pack(wine, tool, tmp_path, secret, game_a, address)
        package_server.serve("/update-5.1.zip", hs.Answer(package, content_type=us.PACKAGE_TYPE))
        before = us.tree(folder)

        # Served at game B's page: the game starts, nothing is asked.
        launcher = start(start_launcher, stamped_folder)
        offer_nothing(wine, launcher, page_a, folder, win32_build)
        assert package_server.requests == [], "nothing is downloaded"
        assert us.tree(folder).keys() - before.keys() <= {"Bin/DemoGame.log"}
        assert {k: v for k, v in us.tree(folder).items() if k in before} == before

        # The same files packed for this game's page are offered.
        own = stamped_folder / "launcher.exe"
        _, page_b = pack(wine, tool, tmp_path, secret, own, address)
        question = us.offer_update(wine, launcher, page_b)
        vs.answer(wine, question, yes=False)
        vs.close_games(wine, win32_build)
        assert launcher.close() == 0

    def test_an_endless_body_stops_at_the_signed_size(
            self, wine, tool, tmp_path, start_launcher, stamped_folder, package_server,
            public_key_and_secret, win32_build):
        folder = str(stamped_folder)
        secret = public_key_and_secret[1]
        address = package_server.url("/update-5.1.zip")
        package, page = pack(wine, tool, tmp_path, secret, stamped_folder / "launcher.exe", address)
        package_server.serve("/update-5.1.zip", hs.Endless())
        before = us.tree(folder)
        launcher = start(start_launcher, stamped_folder)

        # The largest file the update makes, watched while the body streams.
        largest = [0]
        watching = threading.Event()

        def watch():
            while not watching.is_set():
                for root, _, names in os.walk(folder):
                    for name in names:
                        path = os.path.join(root, name)
                        if os.path.relpath(path, folder).replace(os.sep, "/") in before:
                            continue
                        try:
                            largest[0] = max(largest[0], os.path.getsize(path))
                        except OSError:
                            continue
                watching.wait(0.02)

        watcher = threading.Thread(target=watch)
        watcher.start()
        try:
            question = us.offer_update(wine, launcher, page)
            vs.answer(wine, question, yes=True)
            vs.close_games(wine, win32_build)
            box = us.wait_box_saying(wine, launcher, win32_build,
                                     "更新包未能完整下载,已取消本次更新,游戏不受影响.")
        finally:
            watching.set()
            watcher.join()
        assert 0 < largest[0] <= len(package) + BLOCK, (largest[0], len(package))
        us.press(wine, box, "Return")
        assert us.tree(folder).keys() - before.keys() <= {"Bin/DemoGame.log"}, \
            "the partial package is gone"
        assert launcher.close() == 0

    def test_a_launcher_of_the_earlier_form_updates_from_a_page_of_this_pack(
            self, wine, tool, tmp_path, start_launcher, stamped_folder, nginx,
            public_key_and_secret, win32_build, earlier_build, launchers_ended):
        folder = str(stamped_folder)
        key, secret = public_key_and_secret
        # The player's launcher: the earlier build, stamped by the tool of
        # its own day.
        shipped = stamped_folder / "launcher.exe"
        shipped.unlink()
        stamp(wine, os.path.join(earlier_build, "tavoro-publish.exe"),
              os.path.join(earlier_build, "launcher.exe"), shipped, vs.VERSION_URL, key)
        package, page = pack(wine, tool, tmp_path, secret, shipped, nginx.url("/update-5.1.zip"))
        assert "更新签名=" in page and "更新签名2=" in page
        nginx.put("/update-5.1.zip", package)

        launcher = start(start_launcher, stamped_folder)
        successor = take_over(wine, launcher, page, win32_build, stamped_folder / us.NEW_LAUNCHER)
        assert us.wait_exit(launcher.proc, 10) == 0
        harness.wait_until(lambda: not os.path.exists(os.path.join(folder, "launcher.exe")), 15,
                           what="the earlier launcher to be deleted")
        assert us.read(os.path.join(folder, "资料", "介绍.txt")) == "介绍".encode("gbk")
        assert successor.poll() is None, "the new launcher runs"
