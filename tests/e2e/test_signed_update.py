"""Signed updates end to end, made the way a publisher on Windows makes
them: tavoro-publish.exe under Wine makes the key, stamps launcher.exe with
that key and the loopback version page, and packs and signs the package and
its page. The launcher downloads the package from nginx on loopback.
"""

import os
import re

import pytest

import harness
import http_server as hs
import update_support as us
import version_support as vs

PACKAGE = "update.zip"


@pytest.fixture(scope="module")
def tool(win32_build):
    exe = os.path.join(win32_build, "tavoro-publish.exe")
    if not os.path.isfile(exe):
        pytest.fail(f"tavoro-publish.exe missing in {win32_build}: build the win32 preset first")
    return exe


def publish(wine, tool, *args):
    done = wine.run(tool, *args, timeout=120)
    assert done.returncode == 0, (args, done.stderr.decode("gbk", "replace"))
    return done.stdout.decode("gbk", "replace")


@pytest.fixture(scope="module")
def public_key_and_secret(wine, tool, tmp_path_factory):
    secret = tmp_path_factory.mktemp("keys") / "publisher.key"
    printed = publish(wine, tool, "keygen", "--secret", us.windows_path(secret))
    return re.search(r"[A-Za-z0-9+/]{43}=", printed).group(0), secret


@pytest.fixture
def stamped_folder(game_folder, wine, tool, win32_build, public_key_and_secret):
    """The demo folder whose launcher.exe was stamped with the publisher's
    key and the loopback version page."""
    target = game_folder / "launcher.exe"
    target.unlink()
    publish(wine, tool, "stamp", "--in", us.windows_path(os.path.join(win32_build, "launcher.exe")),
            "--out", us.windows_path(target), "--page", vs.VERSION_URL,
            "--public-key", public_key_and_secret[0])
    return game_folder


@pytest.fixture
def signed_update(wine, tool, tmp_path, nginx, win32_build, public_key_and_secret):
    """(package bytes, version page text) as `pack` made them for a package
    on nginx: the new launcher, a note and a file in a Chinese-named folder."""
    source = tmp_path / "new-files"
    (source / "资料").mkdir(parents=True)
    (source / us.NEW_LAUNCHER).write_bytes(us.read(os.path.join(win32_build, "DemoGame.exe")))
    (source / "资料" / "介绍.txt").write_bytes("介绍".encode("gbk"))
    (source / "readme.txt").write_bytes(b"signed readme\r\n")
    upload = tmp_path / "upload"
    publish(wine, tool, "pack", "--from", us.windows_path(source), "--launcher", us.NEW_LAUNCHER,
            "--version", "5.1", "--url", nginx.url("/" + PACKAGE),
            "--secret", us.windows_path(public_key_and_secret[1]), "--out", us.windows_path(upload),
            "--note", "签名更新")
    return us.read(upload / PACKAGE), (upload / "version.html").read_text("utf-8")


def start(start_launcher, folder):
    launcher = start_launcher(folder)
    launcher.wait_window()
    return launcher


def accept(wine, launcher, page, win32_build):
    question = us.offer_update(wine, launcher, page)
    vs.answer(wine, question, yes=True)
    vs.close_games(wine, win32_build)


def assert_taken_over(folder, launcher):
    log = os.path.join(folder, os.path.splitext(us.NEW_LAUNCHER)[0] + ".log")
    harness.wait_until(lambda: os.path.exists(log), 60, what="the new launcher's log")
    assert us.wait_exit(launcher.proc, 30) == 0
    assert us.read(os.path.join(folder, "资料", "介绍.txt")) == "介绍".encode("gbk")
    assert us.read(os.path.join(folder, "readme.txt")) == b"signed readme\r\n"
    assert not os.path.exists(os.path.join(folder, PACKAGE))


class TestSignedUpdate:
    def test_a_package_the_publisher_signed_is_installed(
            self, wine, start_launcher, stamped_folder, nginx, signed_update, win32_build):
        package, page = signed_update
        assert "更新签名=" in page
        nginx.put("/" + PACKAGE, package)
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)
        assert_taken_over(str(stamped_folder), launcher)

    def test_a_changed_package_is_refused_and_the_game_can_still_start(
            self, wine, start_launcher, stamped_folder, nginx, signed_update, win32_build):
        folder = str(stamped_folder)
        package, page = signed_update
        changed = bytearray(package)
        changed[len(changed) // 2] ^= 0x01
        nginx.put("/" + PACKAGE, bytes(changed))
        before = us.tree(folder)
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)

        # The refusal has the question's title; nothing was unpacked before it.
        refusal = us.wait_box(wine, us.QUESTION_TITLE, launcher)
        assert us.tree(folder).keys() - before.keys() <= {"Bin/DemoGame.log"}
        us.press(wine, refusal, "Return")
        assert not os.path.exists(os.path.join(folder, PACKAGE))
        assert not os.path.exists(os.path.join(folder, PACKAGE + ".tmp"))
        assert not os.path.exists(os.path.join(folder, us.NEW_LAUNCHER))

        # The start button works again: the game starts, the page is read.
        assert vs.game_starts(folder) == 1
        question = us.offer_update(wine, launcher, page)
        vs.answer(wine, question, yes=False)
        harness.wait_until(lambda: vs.game_starts(folder) == 2, 30, what="the second game start")
        vs.close_games(wine, win32_build)
        assert launcher.close() == 0

    def test_a_page_without_signature_offers_nothing(
            self, wine, start_launcher, stamped_folder, package_server, signed_update):
        package, _ = signed_update
        package_server.serve("/" + PACKAGE, hs.Answer(package, content_type=us.PACKAGE_TYPE))
        launcher = start(start_launcher, stamped_folder)
        server = hs.Server(hs.PORT)
        try:
            server.serve_page(
                vs.version_page(address=package_server.url("/" + PACKAGE)).encode())
            vs.click_start(wine, launcher)
            server.wait_answered(1)
        finally:
            server.stop()
        vs.assert_no_question(wine, launcher)
        assert package_server.requests == [], "nothing is downloaded"

    def test_a_launcher_without_key_takes_the_signed_page_as_before(
            self, wine, start_launcher, e2e_folder, nginx, signed_update, win32_build):
        package, page = signed_update
        nginx.put("/" + PACKAGE, package)
        launcher = start(start_launcher, e2e_folder)
        accept(wine, launcher, page, win32_build)
        assert_taken_over(str(e2e_folder), launcher)
