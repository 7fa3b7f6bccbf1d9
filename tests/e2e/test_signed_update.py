"""Signed updates end to end, made the way a publisher on Windows makes
them: tavoro-publish.exe under Wine makes the key, stamps launcher.exe with
that key and the loopback version page, and packs and signs the package and
its page. The launcher downloads the package from nginx on loopback.
"""

import os
import re
import shutil
import subprocess

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


def publish(wine, tool, *args, timeout=120):
    done = wine.run(tool, *args, timeout=timeout)
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
            "--version", "5.1", "--url", nginx.url("/" + PACKAGE), "--page", vs.VERSION_URL,
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

    def test_a_package_that_never_arrives_says_so_and_the_game_can_still_start(
            self, wine, start_launcher, stamped_folder, nginx, signed_update, win32_build):
        folder = str(stamped_folder)
        package, page = signed_update
        before = us.tree(folder)
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)  # nginx has no package: 404

        # The download box: the refusal box's title, a text of its own
        # (longer than the refusal's, so a wider box).
        box = us.wait_box(wine, us.QUESTION_TITLE, launcher)
        download_width = wine.geometry(box)[2]
        us.press(wine, box, "Return")
        assert us.tree(folder).keys() - before.keys() <= {"Bin/DemoGame.log"}

        # The start button works again; this time a changed package arrives
        # and the verification box says so.
        assert vs.game_starts(folder) == 1
        changed = bytearray(package)
        changed[len(changed) // 2] ^= 0x01
        nginx.put("/" + PACKAGE, bytes(changed))
        accept(wine, launcher, page, win32_build)
        harness.wait_until(lambda: vs.game_starts(folder) == 2, 30, what="the second game start")
        refusal = us.wait_box(wine, us.QUESTION_TITLE, launcher)
        refusal_width = wine.geometry(refusal)[2]
        us.press(wine, refusal, "Return")
        assert download_width > refusal_width
        assert us.tree(folder).keys() - before.keys() <= {"Bin/DemoGame.log"}
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


# -- the publisher's whole cycle -------------------------------------------------

class RunningLauncher:
    """A launcher that another one started: its process is Wine's, found by
    its exe, and its window is the one Launch window on the screen."""

    def __init__(self, wine, exe):
        self.exe = str(exe)
        self.proc = self
        harness.wait_until(lambda: us.wine_processes_of(self.exe), 30,
                           what=f"{os.path.basename(self.exe)} to run")
        self.window = wine.wait_window(harness.LAUNCHER_TITLE, 60, proc=self)
        self.returncode = None

    def poll(self):
        """None while the process runs, as Popen.poll says it."""
        if us.wine_processes_of(self.exe):
            return None
        self.returncode = 0
        return 0


def pack_release(wine, tool, tmp_path, secret, current_launcher, name, version, url):
    """A release as a publisher makes it: the launcher in use copied into
    the release folder under a new name, a file of the release's own, then
    pack. Returns (package bytes, version page text)."""
    source = tmp_path / f"release-{version}"
    source.mkdir()
    shutil.copyfile(current_launcher, source / name)
    (source / f"notes-{version}.txt").write_bytes(f"release {version}\r\n".encode())
    upload = tmp_path / f"upload-{version}"
    publish(wine, tool, "pack", "--from", us.windows_path(source), "--launcher", name,
            "--version", version, "--url", url, "--secret", us.windows_path(secret),
            "--out", us.windows_path(upload), "--note", f"版本 {version}")
    return us.read(upload / url.rsplit("/", 1)[1]), (upload / "version.html").read_text("utf-8")


def offer_nothing(wine, launcher, page, folder, win32_build):
    """A start click on `page`: the game starts, the page is read, nothing is
    asked and nothing is downloaded."""
    starts = vs.game_starts(folder)
    server = hs.Server(hs.PORT)
    try:
        server.serve_page(page.encode())
        vs.click_start(wine, launcher)
        server.wait_answered(1)
    finally:
        server.stop()
    vs.assert_no_question(wine, launcher)
    harness.wait_until(lambda: vs.game_starts(folder) == starts + 1, 30, what="the game start")
    vs.close_games(wine, win32_build)


def take_over(wine, launcher, page, win32_build, new_exe):
    """Yes to the update on `page`; returns the new launcher once its window
    shows and the old one has ended."""
    accept(wine, launcher, page, win32_build)
    harness.wait_until(lambda: launcher.proc.poll() is not None, 60,
                       what="the old launcher to end")
    return RunningLauncher(wine, new_exe)


def close_launch_window(wine, win32_build, how="close"):
    done = wine.run(os.path.join(win32_build, "post_message.exe"), "/wait:2000", how, timeout=30)
    return done.returncode == 0


@pytest.fixture
def launchers_ended(wine, win32_build):
    """Launchers that other launchers started are no children of the test:
    afterwards, any Launch window left is told to quit."""
    yield
    for _ in range(3):
        if not close_launch_window(wine, win32_build, "quit"):
            break


class TestReleaseCycle:
    def test_each_release_installs_once_and_the_next_one_follows(
            self, wine, tool, tmp_path, start_launcher, stamped_folder, nginx,
            public_key_and_secret, win32_build, launchers_ended):
        assert us.cmd_exe_present(wine)
        folder = str(stamped_folder)
        secret = public_key_and_secret[1]
        first_name, second_name = "星海漫游VR启动器.exe", "launcher.exe"
        url_51, url_52 = nginx.url("/update-5.1.zip"), nginx.url("/update-5.2.zip")

        # 5.0 -> 5.1: the same launcher under a new name, given 5.1 by pack.
        package, page_51 = pack_release(wine, tool, tmp_path, secret,
                                        stamped_folder / "launcher.exe", first_name, "5.1", url_51)
        nginx.put("/update-5.1.zip", package)
        old = start(start_launcher, stamped_folder)
        current = take_over(wine, old, page_51, win32_build, stamped_folder / first_name)
        assert us.wait_exit(old.proc, 10) == 0
        harness.wait_until(lambda: not os.path.exists(os.path.join(folder, "launcher.exe")), 15,
                           what="the 5.0 launcher to be deleted")
        assert us.read(os.path.join(folder, "notes-5.1.txt")) == b"release 5.1\r\n"
        assert not os.path.exists(os.path.join(folder, "update-5.1.zip"))
        # The new launcher knows it is 5.1: the same page offers nothing.
        offer_nothing(wine, current, page_51, folder, win32_build)

        # 5.1 -> 5.2 from that launcher, the same way.
        package, page_52 = pack_release(wine, tool, tmp_path, secret,
                                        stamped_folder / first_name, second_name, "5.2", url_52)
        nginx.put("/update-5.2.zip", package)
        newest = take_over(wine, current, page_52, win32_build, stamped_folder / second_name)
        harness.wait_until(lambda: not os.path.exists(os.path.join(folder, first_name)), 15,
                           what="the 5.1 launcher to be deleted")
        assert us.read(os.path.join(folder, "notes-5.2.txt")) == b"release 5.2\r\n"
        # At 5.2, neither release is offered: not 5.2 again, not the signed 5.1.
        offer_nothing(wine, newest, page_52, folder, win32_build)
        offer_nothing(wine, newest, page_51, folder, win32_build)
        assert sorted(p for p in us.tree(folder) if p.endswith(".exe")) == [
            "Bin/DemoGame.exe", second_name]
        close_launch_window(wine, win32_build)
        harness.wait_until(lambda: newest.poll() is not None, 15, what="the 5.2 launcher to end")


# -- what the signature keeps out ------------------------------------------------

def relabel(page, marker, value):
    """The page with one field's value replaced, as an attacker on the way
    would serve it."""
    start = page.index(marker) + len(marker)
    return page[:start] + value + page[page.index("<", start):]


class TestSignedReleaseRefusals:
    def test_a_relabelled_page_offers_and_touches_nothing(
            self, wine, start_launcher, stamped_folder, nginx, signed_update, win32_build,
            tmp_path):
        folder = str(stamped_folder)
        package, page = signed_update
        nginx.put("/" + PACKAGE, package)
        # The genuine package, also where a game file's name would put it.
        nginx.put("/GameAssembly.dll", package)
        game_file = os.path.join(folder, "GameAssembly.dll")
        with open(game_file, "wb") as f:
            f.write(b"the game's code")
        outside = tmp_path / "x.exe"
        shutil.copyfile(os.path.join(win32_build, "DemoGame.exe"), outside)
        before = us.tree(folder)
        launcher = start(start_launcher, stamped_folder)
        for marker, value in [("最新版本=", "9.9"),
                              ("更新地址=", nginx.url("/GameAssembly.dll")),
                              ("程序标题=", "Bin\\DemoGame.exe"),
                              ("程序标题=", "..\\x.exe")]:
            offer_nothing(wine, launcher, relabel(page, marker, value), folder, win32_build)
        assert us.read(game_file) == b"the game's code"
        assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
        assert not os.path.exists(tmp_path / "x.log"), "x.exe was started"
        assert launcher.close() == 0

    def test_a_release_signed_for_a_game_files_name_that_never_arrives(
            self, wine, tool, tmp_path, start_launcher, stamped_folder, nginx,
            public_key_and_secret, win32_build):
        folder = str(stamped_folder)
        game_file = os.path.join(folder, "GameAssembly.dll")
        with open(game_file, "wb") as f:
            f.write(b"the game's code")
        with open(game_file + ".tmp", "wb") as f:
            f.write(b"the game's too")
        _, page = pack_release(wine, tool, tmp_path, public_key_and_secret[1],
                               stamped_folder / "launcher.exe", us.NEW_LAUNCHER, "5.1",
                               nginx.url("/GameAssembly.dll"))
        before = us.tree(folder)
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)  # the server has no such file

        refusal = us.wait_box(wine, us.QUESTION_TITLE, launcher)
        us.press(wine, refusal, "Return")
        assert us.read(game_file) == b"the game's code"
        assert us.read(game_file + ".tmp") == b"the game's too"
        assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
        # The start button works again.
        offer_nothing(wine, launcher, relabel(page, "最新版本=", "5.0"), folder, win32_build)
        assert launcher.close() == 0


class TestNewLauncherOutsideTheFolder:
    def test_a_launcher_without_key_never_starts_a_program_outside_its_folder(
            self, wine, start_launcher, e2e_folder, nginx, tmp_path, win32_build):
        folder = str(e2e_folder)
        outside = tmp_path / "x.exe"  # beside the game folder
        shutil.copyfile(os.path.join(win32_build, "DemoGame.exe"), outside)
        nginx.put(us.PACKAGE_PATH, us.make_zip([("readme.txt", b"notes")]))
        launcher = start(start_launcher, e2e_folder)
        us.accept_update(wine, launcher, nginx.url(us.PACKAGE_PATH), win32_build,
                         title="..\\x.exe")
        # Not found, as the hand-off sees it: the player is asked instead,
        # after the unpack and again after the download.
        for _ in range(2):
            question = us.wait_box(wine, us.QUESTION_TITLE, launcher)
            vs.answer(wine, question, yes=False)
            notice = us.wait_box(wine, us.OPEN_PACKAGE_TITLE, launcher)
            us.press(wine, notice, "Return")
        assert us.still_running(launcher.proc, 2.0)
        assert not os.path.exists(tmp_path / "x.log"), "x.exe was started"
        assert os.path.exists(os.path.join(folder, "launcher.exe"))
        assert launcher.close() == 0


# -- room on the disk ----------------------------------------------------------

MIB = 1 << 20
ROOM_MARGIN = 16 * MIB  # update/download/room.h


def mb_rounded_up(size):
    return f"{-(-size // MIB)} MB"


@pytest.fixture
def small_disk(tmp_path):
    """A tmpfs of 96 MiB, mounted for this test alone."""
    if os.geteuid() != 0:
        pytest.skip("mounting a small disk needs root")
    mount = tmp_path / "small-disk"
    mount.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=96m", "tmpfs", str(mount)], check=True)
    yield mount
    if subprocess.run(["umount", str(mount)]).returncode != 0:
        subprocess.run(["umount", "-l", str(mount)], check=True)


def free_bytes(folder):
    disk = os.statvfs(folder)
    return disk.f_bavail * disk.f_frsize


def packed_release(wine, tool, tmp_path, address, secret, payload):
    """(package bytes, page text, unpacked size the page hints) of a signed
    release whose folder holds the new launcher and `payload` as data.bin."""
    source = tmp_path / "room-files"
    source.mkdir()
    shutil.copyfile(os.path.join(os.path.dirname(tool), "DemoGame.exe"), source / us.NEW_LAUNCHER)
    (source / "data.bin").write_bytes(payload)
    upload = tmp_path / "room-upload"
    publish(wine, tool, "pack", "--from", us.windows_path(source), "--launcher", us.NEW_LAUNCHER,
            "--version", "5.1", "--url", address, "--page", vs.VERSION_URL,
            "--secret", us.windows_path(secret), "--out", us.windows_path(upload))
    page = (upload / "version.html").read_text("utf-8")
    unpacked = int(re.search(r"解压大小=(\d+)<", page).group(1))
    return us.read(upload / PACKAGE), page, unpacked


def box_saying(wine, launcher, win32_build):
    """The text of the launcher's one box under the update title."""
    us.wait_box(wine, us.QUESTION_TITLE, launcher)
    said = [text for title, text in us.box_texts(wine, win32_build) if title == us.QUESTION_TITLE]
    assert len(said) == 1, said
    return said[0]


@pytest.fixture
def on_small_disk(wine, tool, tmp_path, small_disk, stamped_folder, package_server,
                  public_key_and_secret):
    """on_small_disk(mebibytes, seed) -> (package, page, unpacked size, game
    folder): a signed release of that many random MiB at package_server, and
    the stamped game folder copied onto the small disk."""
    def make(mebibytes, seed):
        # One random MiB repeated: deflate finds nothing to shorten.
        release = packed_release(wine, tool, tmp_path, package_server.url("/" + PACKAGE),
                                 public_key_and_secret[1], us.pseudo_random(MIB, seed) * mebibytes)
        folder = small_disk / "game"
        shutil.copytree(stamped_folder, folder)
        return (*release, folder)
    return make


class TestRoomOnTheDisk:
    def test_a_release_larger_than_the_disk_is_refused_before_a_byte_of_it(
            self, wine, on_small_disk, start_launcher, package_server, win32_build):
        package, page, unpacked, folder = on_small_disk(120, 5)
        assert len(package) > 120 * MIB and unpacked > 120 * MIB
        package_server.serve("/" + PACKAGE, hs.Answer(package, content_type=us.PACKAGE_TYPE))
        before = us.tree(folder)
        launcher = start(start_launcher, folder)
        accept(wine, launcher, page, win32_build)

        text = box_saying(wine, launcher, win32_build)
        needed = mb_rounded_up(len(package) + unpacked + ROOM_MARGIN)
        shown = re.fullmatch(
            r"磁盘空间不足,已取消本次更新,游戏不受影响\. 更新需要 (\S+ MB) 可用空间,"
            r"游戏目录所在磁盘只剩 (\d+) MB: (.+) 请腾出空间后重试\.", text)
        assert shown, text
        assert shown.group(1) == needed
        assert abs(int(shown.group(2)) - free_bytes(folder) // MIB) <= 1
        assert shown.group(3) == us.windows_path(folder)
        assert package_server.requests_for("/" + PACKAGE) == [], "nothing of the package asked"
        assert us.tree(folder).keys() - before.keys() <= {"Bin/DemoGame.log"}
        assert {name: size for name, size in us.tree(folder).items() if name in before} == before

        # The start button works again: the game starts, the page is read.
        us.press(wine, wine.wait_window(us.QUESTION_TITLE, 10, proc=launcher.proc), "Return")
        question = us.offer_update(wine, launcher, page)
        vs.answer(wine, question, yes=False)
        harness.wait_until(lambda: vs.game_starts(str(folder)) == 2, 30,
                           what="the second game start")
        vs.close_games(wine, win32_build)
        assert launcher.close() == 0

    def test_a_disk_that_fills_during_the_download_says_so_and_keeps_nothing(
            self, wine, small_disk, on_small_disk, start_launcher, package_server, win32_build):
        package, page, unpacked, folder = on_small_disk(24, 6)
        assert free_bytes(folder) > len(package) + unpacked + ROOM_MARGIN, "room at the check"
        before = us.tree(folder)
        # Slow enough to fill the disk midway.
        package_server.serve("/" + PACKAGE, hs.Answer(package, content_type=us.PACKAGE_TYPE,
                                                      rate=4 * MIB))
        launcher = start(start_launcher, folder)
        accept(wine, launcher, page, win32_build)

        # Another program takes the rest of the disk once a few MiB arrived.
        # The whole package's request: a launcher first asks for the list
        # of its entries by a range, which this server answers whole.
        harness.wait_until(lambda: any(not r.headers_named("Range")
                                       for r in package_server.requests_for("/" + PACKAGE)),
                           30, what="the whole package's request")
        request = next(r for r in package_server.requests_for("/" + PACKAGE)
                       if not r.headers_named("Range"))
        harness.wait_until(lambda: request.sent > 4 * MIB, 30, what="4 MiB of the package")
        filler = small_disk / "filler.bin"
        with open(filler, "wb") as f:
            try:
                while True:
                    f.write(b"\0" * MIB)
                    f.flush()
            except OSError:
                pass
        text = box_saying(wine, launcher, win32_build)
        filler.unlink()
        assert text == ("磁盘已满,更新包未能完整下载,已取消本次更新,游戏不受影响. "
                        "请在游戏目录所在磁盘腾出空间后重试: " + us.windows_path(folder))
        assert not os.path.exists(folder / (PACKAGE + ".tmp"))
        assert not os.path.exists(folder / (PACKAGE + ".tmp.resume"))
        assert us.tree(folder).keys() - before.keys() <= {"Bin/DemoGame.log"}
        us.press(wine, wine.wait_window(us.QUESTION_TITLE, 10, proc=launcher.proc), "Return")
        vs.close_games(wine, win32_build)
        assert launcher.close() == 0
