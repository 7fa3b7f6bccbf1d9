"""The update after the player has accepted a newer launcher, end to end:
launcher-e2e.exe under Wine gets its version page from 127.0.0.1, the
package from nginx or from a Python server on loopback, downloads it with
the progress panel showing, unpacks it into the game folder and hands over
to the new launcher, or offers the help page and the package.

The version page port is held only from the start click until the page has
gone out; package servers use ports of their own.
"""

import os
import time
import zipfile

import pytest

import harness
import http_server as hs
import update_support as us
import version_support as vs


def _running(start_launcher, folder, wine, win32_build):
    launcher = start_launcher(folder)
    launcher.wait_window()
    yield launcher
    for title in (us.QUESTION_TITLE, us.OPEN_PACKAGE_TITLE):
        for wid in us.boxes(wine, title):
            wine.x("xdotool", "key", "--window", wid, "n" if title == us.QUESTION_TITLE else "Return")
    vs.close_games(wine, win32_build)


@pytest.fixture
def running(start_launcher, e2e_folder, wine, win32_build):
    """The launcher on the demo folder, window mapped; afterwards every
    message box left is answered and the demo game windows (the game and a
    started new launcher) are closed."""
    yield from _running(start_launcher, e2e_folder, wine, win32_build)


@pytest.fixture
def running_https(start_launcher, e2e_https_folder, wine, win32_build):
    """The same with the launcher whose version page is https."""
    yield from _running(start_launcher, e2e_https_folder, wine, win32_build)


def new_launcher_log(folder, name=us.NEW_LAUNCHER):
    return os.path.join(folder, os.path.splitext(name)[0] + ".log")


class TestWholeUpdate:
    @pytest.mark.parametrize("code_page", [936, 1252], indirect=True)
    def test_package_unpacks_and_new_launcher_takes_over(self, wine, running, e2e_folder,
                                                         nginx, win32_build):
        assert us.cmd_exe_present(wine), "no cmd.exe in the prefix: the hand-off could not delete"
        folder = str(e2e_folder)
        new_exe = us.read(os.path.join(win32_build, "DemoGame.exe"))
        readme = "更新说明\r\n新版本 5.1\r\n".encode("gbk")
        data = us.pseudo_random(300_000, 1)
        entries = [
            ("Data/", b""),
            ("Data/levels/map01.bin", data),
            ("readme.txt", b"new readme\r\n"),
            ("说明.txt", readme),  # UTF-8 flagged name
            ("资料/".encode("gbk"), b""),
            ("资料/介绍.txt".encode("gbk"), "介绍".encode("gbk")),  # GBK name, no flag
            (us.NEW_LAUNCHER, new_exe),
        ]
        nginx.put(us.PACKAGE_PATH, us.make_zip(entries))
        before = us.tree(folder)

        us.accept_update(wine, running, nginx.url(us.PACKAGE_PATH), win32_build)

        log = new_launcher_log(folder)
        harness.wait_until(lambda: os.path.exists(log), 60, what="the new launcher's log")
        assert us.wait_exit(running.proc, 30) == 0
        harness.wait_until(lambda: not os.path.exists(os.path.join(folder, "launcher.exe")), 10,
                           what="launcher.exe to be deleted")

        assert us.read(os.path.join(folder, "Data", "levels", "map01.bin")) == data
        assert us.read(os.path.join(folder, "readme.txt")) == b"new readme\r\n"
        assert us.read(os.path.join(folder, "说明.txt")) == readme
        assert us.read(os.path.join(folder, "资料", "介绍.txt")) == "介绍".encode("gbk")
        assert us.read(os.path.join(folder, us.NEW_LAUNCHER)) == new_exe
        assert not os.path.exists(os.path.join(folder, "update.zip"))
        assert not os.path.exists(os.path.join(folder, "update.zip.tmp"))
        # Started once, from the game folder, by the path the page named.
        started = us.read(log).decode("gbk")
        assert started.count("cmdline=") == 1
        assert us.windows_path(os.path.join(folder, us.NEW_LAUNCHER)) in started
        # The game folder otherwise holds what it held, plus the package's files.
        after = us.tree(folder)
        expected = set(before) - {"launcher.exe"} | {
            "Data/levels/map01.bin", "readme.txt", "说明.txt", "资料/介绍.txt", us.NEW_LAUNCHER,
            os.path.relpath(log, folder), "Bin/DemoGame.log"}
        assert set(after) == expected
        harness.wait_until(lambda: not us.wine_processes_of(os.path.join(folder, "launcher.exe")),
                           10, what="the old launcher's Wine process to go")


# -- the progress panel ----------------------------------------------------------

def region_changed(a, b, box):
    return list(a.crop(box).getdata()) != list(b.crop(box).getdata())


def dark_share(img, box):
    return vs.share(img, box, vs.is_dark)


class TestProgressPanel:
    RATE = 200 * 1024  # bytes/s: about ten seconds for the package

    def test_bar_percentage_and_captions_follow_a_slow_download(
            self, wine, running, e2e_folder, package_server, win32_build):
        folder = str(e2e_folder)
        payload = us.pseudo_random(2 << 20, 2)
        package = us.make_zip([("big.bin", payload),
                               (us.NEW_LAUNCHER, us.read(os.path.join(win32_build, "DemoGame.exe")))],
                              compression=zipfile.ZIP_STORED)
        package_server.serve(us.PACKAGE_PATH,
                             hs.Answer(package, content_type=us.PACKAGE_TYPE, rate=self.RATE))
        us.accept_update(wine, running, package_server.url(us.PACKAGE_PATH), win32_build)
        transfer = package_server.wait_requests(1, us.PACKAGE_PATH, timeout=60)[0]
        total = len(package)

        def shot_after(share, name):
            harness.wait_until(lambda: transfer.sent >= share * total, 30,
                               what=f"{share:.0%} of the package sent")
            img = vs.window_picture(wine, running.window, name)
            return img, transfer.sent

        first, _ = shot_after(0.25, "update-progress-1")
        second, sent_second = shot_after(0.6, "update-progress-2")
        assert not transfer.done.is_set(), "the download ended before the second picture"

        fill_first, fill_second = us.bar_fill(first), us.bar_fill(second)
        assert 0 < fill_first < fill_second, (fill_first, fill_second)
        # The bar never runs ahead of the data that has left the server.
        assert fill_second <= sent_second / total + 0.03, (fill_second, sent_second / total)
        assert region_changed(first, second, us.PERCENT_LABEL), "the percentage stood still"
        assert region_changed(first, second, us.RECEIVED_LABEL), "'已下载' stood still"
        # The total does not change while the package arrives.
        assert not region_changed(first, second, us.SIZE_LABEL), "'更新大小' changed"
        for img in (first, second):
            for box in (us.SPEED_LABEL, us.SIZE_LABEL, us.RECEIVED_LABEL):
                assert dark_share(img, box) > 0.02, f"no caption text in {box}"

        # Let it finish: the package holds the new launcher, which takes over.
        harness.wait_until(lambda: os.path.exists(new_launcher_log(folder)), 60,
                           what="the new launcher's log")
        assert us.wait_exit(running.proc, 30) == 0
        assert transfer.sent == total and not transfer.client_gone
        assert us.read(os.path.join(folder, "big.bin")) == payload


# -- without the new launcher ------------------------------------------------------

def config_value(folder, section, key):
    """A value of the demo folder's GBK INI, as the launcher reads it."""
    text = us.read(os.path.join(folder, "tavoro", "tavoroConfig.ini")).decode("gbk")
    current = None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1].lower()
        elif current == section and "=" in line and line.split("=", 1)[0].lower() == key:
            return line.split("=", 1)[1]
    raise KeyError(key)


def starts_again(wine, launcher, folder):
    """After an update that changed nothing, the start button works again."""
    before = vs.game_starts(folder)
    vs.click_start(wine, launcher)
    harness.wait_until(lambda: vs.game_starts(folder) == before + 1, 30,
                       what="the start button to start the game again")
    return us.still_running(launcher.proc, 0.5)


def stays_disabled(wine, launcher, folder, settle=3.0):
    """A start click after an accepted update starts no game: the button
    stays disabled until the program ends."""
    before = vs.game_starts(folder)
    vs.click_start(wine, launcher)
    return us.still_running(launcher.proc, settle) and vs.game_starts(folder) == before


class TestWithoutNewLauncher:
    def test_help_page_then_package_are_offered(self, wine, running, e2e_folder, nginx,
                                                browser, win32_build):
        folder = str(e2e_folder)
        nginx.put(us.PACKAGE_PATH, us.make_zip([("Data/extra.txt", b"extra"),
                                                ("readme.txt", b"notes")]))
        already_opened = len(browser.opened())
        us.accept_update(wine, running, nginx.url(us.PACKAGE_PATH), win32_build)

        # Asked after the unpack's last report: Yes opens the help page.
        question = us.wait_box(wine, us.QUESTION_TITLE, running)
        assert us.read(os.path.join(folder, "Data", "extra.txt")) == b"extra"
        vs.answer(wine, question, yes=True)
        opened = browser.wait_count(already_opened + 1)[already_opened:]
        assert opened == [config_value(folder, "http", "diy")]

        # Asked again after the download's 100 %: No shows the notice, then
        # the package is handed to the shell.
        question = us.wait_box(wine, us.QUESTION_TITLE, running)
        vs.answer(wine, question, yes=False)
        notice = us.wait_box(wine, us.OPEN_PACKAGE_TITLE, running)
        us.press(wine, notice, "Return")

        assert us.still_running(running.proc, 2.0), "the launcher ended"
        assert not us.boxes(wine, us.QUESTION_TITLE), "asked a third time"
        assert os.path.exists(os.path.join(folder, "update.zip")), "kept for unpacking by hand"
        assert not os.path.exists(os.path.join(folder, "update.zip.tmp"))
        assert os.path.exists(os.path.join(folder, "launcher.exe"))
        assert [a for a in browser.opened()[already_opened:] if a.startswith("http")] == opened
        assert stays_disabled(wine, running, folder)
        assert running.close() == 0


class TestPackageNames:
    def test_an_address_ending_in_a_slash_downloads_to_dot_tmp_and_unpacks_nothing(
            self, wine, running, e2e_folder, package_server, browser, win32_build):
        folder = str(e2e_folder)
        package_server.serve("/pkg/", hs.Answer(us.make_zip([("readme.txt", b"notes")]),
                                                content_type=us.PACKAGE_TYPE))
        before = us.tree(folder)
        already_opened = len(browser.opened())
        us.accept_update(wine, running, package_server.url("/pkg/"), win32_build)

        # Downloaded to ".tmp", not moved (no package name), deleted, and
        # nothing unpacked: the hand-off of the whole download finds no new
        # launcher and asks, once.
        question = us.wait_box(wine, us.QUESTION_TITLE, running)
        assert len(package_server.requests_for("/pkg/")) == 1
        vs.answer(wine, question, yes=True)
        assert browser.wait_count(already_opened + 1)[already_opened:] == [
            config_value(folder, "http", "diy")]
        assert us.still_running(running.proc, 2.0)
        assert not us.boxes(wine, us.QUESTION_TITLE), "asked twice"
        assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
        assert running.close() == 0

    def test_a_refused_package_name_leaves_the_start_button_working(
            self, wine, running, e2e_folder, package_server, win32_build):
        folder = str(e2e_folder)
        us.accept_update(wine, running, package_server.url("/pkg/CON"), win32_build)
        # Nothing fetched; the next click starts the game and asks again.
        harness.wait_until(lambda: vs.game_starts(folder) == 1, 30, what="the first game start")
        # The start button is disabled from the Yes until the download would
        # begin, half a second later, where the name is refused; nothing on
        # the screen marks that moment, and a click before it is lost.
        time.sleep(1.0)
        vs.click_start(wine, running)
        harness.wait_until(lambda: vs.game_starts(folder) == 2, 30, what="a second game start")
        vs.close_games(wine, win32_build)
        assert package_server.requests == []
        assert running.close() == 0


# -- ending mid-download -------------------------------------------------------------

class TestCloseDuringDownload:
    def test_closing_stops_the_transfer_and_leaves_no_partial_file(
            self, wine, running, e2e_folder, package_server, win32_build):
        folder = str(e2e_folder)
        package = us.make_zip([("big.bin", us.pseudo_random(2 << 20, 3))],
                              compression=zipfile.ZIP_STORED)
        package_server.serve(us.PACKAGE_PATH,
                             hs.Answer(package, content_type=us.PACKAGE_TYPE, rate=100 * 1024))
        before = us.tree(folder)
        us.accept_update(wine, running, package_server.url(us.PACKAGE_PATH), win32_build)
        transfer = package_server.wait_requests(1, us.PACKAGE_PATH, timeout=60)[0]
        temporary = os.path.join(folder, "update.zip.tmp")
        harness.wait_until(lambda: transfer.sent >= 200_000 and os.path.exists(temporary), 30,
                           what="the download under way")

        exe = os.path.join(folder, "launcher.exe")
        assert us.wine_processes_of(exe), "cannot see the launcher's Wine process"

        assert running.close(timeout=10) == 0
        assert transfer.done.wait(10), "the server still sends after the launcher ended"
        assert transfer.client_gone and transfer.sent < len(package)
        assert not os.path.exists(temporary), "half-written temporary package left behind"
        assert not os.path.exists(os.path.join(folder, "update.zip"))
        assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
        harness.wait_until(lambda: not us.wine_processes_of(exe), 10,
                           what="the launcher's Wine process to go")


# -- entries that would leave the folder ------------------------------------------------

def drive_c_listing(wine):
    return set(os.listdir(os.path.join(wine.prefix, "drive_c")))


ESCAPES = {
    "parent": lambda outside: b"../outside.txt",
    "parent-backslash": lambda outside: b"..\\outside.txt",
    "unix-absolute": lambda outside: os.path.join(outside, "outside.txt").encode(),
    "drive-z": lambda outside: us.windows_path(os.path.join(outside, "outside.txt")).encode(),
    "drive-c": lambda outside: b"C:\\outside.txt",
}


class TestZipSlip:
    @pytest.mark.parametrize("escape", sorted(ESCAPES))
    def test_entry_outside_the_folder_stops_the_unpack(self, wine, running, e2e_folder, nginx,
                                                       browser, win32_build, escape):
        folder = str(e2e_folder)
        outside = os.path.dirname(folder)
        bad_name = ESCAPES[escape](outside)
        nginx.put(us.PACKAGE_PATH, us.make_zip([
            ("before.txt", b"first"),
            (bad_name, b"escaped"),
            ("after.txt", b"never"),
            # Would take over if the unpack went on past the bad entry.
            (us.NEW_LAUNCHER, us.read(os.path.join(win32_build, "DemoGame.exe"))),
        ]))
        before = us.tree(folder)
        outside_before = set(os.listdir(outside))
        drive_c_before = drive_c_listing(wine)
        already_opened = len(browser.opened())
        us.accept_update(wine, running, nginx.url(us.PACKAGE_PATH), win32_build)

        # Said once, as a damaged package; nothing asked, nothing opened.
        us.press(wine, us.wait_box(wine, us.QUESTION_TITLE, running), "Return")
        assert us.still_running(running.proc, 2.0), "the launcher ended"
        assert not us.boxes(wine, us.QUESTION_TITLE)
        assert len(browser.opened()) == already_opened

        # Nothing of the package, not even the entry before the bad one, and
        # the package itself is gone.
        assert not os.path.exists(os.path.join(folder, "before.txt"))
        assert not os.path.exists(os.path.join(folder, "after.txt")), "the unpack went on"
        # Not written under some other name inside the folder either.
        assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
        assert set(os.listdir(outside)) == outside_before
        assert drive_c_listing(wine) == drive_c_before
        assert not os.path.exists(os.path.join(wine.prefix, "drive_c", "outside.txt"))
        assert running.close() == 0


# -- packages that are not packages ----------------------------------------------------

class TestBadPackage:
    def test_error_page_served_as_package_unpacks_nothing(self, wine, running, e2e_folder,
                                                          package_server, win32_build):
        folder = str(e2e_folder)
        page = b"<html><body><h1>Service Unavailable</h1>try again later</body></html>" * 20
        package_server.serve(us.PACKAGE_PATH, hs.Answer(page, content_type="text/html"))
        before = us.tree(folder)
        us.accept_update(wine, running, package_server.url(us.PACKAGE_PATH), win32_build)

        # The download reached 100 %, the unpack found no archive: asked once.
        vs.answer(wine, us.wait_box(wine, us.QUESTION_TITLE, running), yes=False)
        us.press(wine, us.wait_box(wine, us.OPEN_PACKAGE_TITLE, running), "Return")
        assert us.still_running(running.proc, 2.0), "the launcher ended"
        assert not us.boxes(wine, us.QUESTION_TITLE), "asked a second time"
        assert us.read(os.path.join(folder, "update.zip")) == page
        assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log", "update.zip"}
        assert running.close() == 0

    @pytest.mark.parametrize("answer", ["404", "cut mid-body"])
    def test_no_package_arrives(self, wine, running, e2e_folder, package_server, win32_build,
                                answer):
        folder = str(e2e_folder)
        if answer == "cut mid-body":
            body = us.make_zip([("big.bin", us.pseudo_random(300_000, 4))])
            package_server.serve(us.PACKAGE_PATH, hs.Answer(body, content_type=us.PACKAGE_TYPE,
                                                    cut_after=len(body) // 2))
        before = us.tree(folder)
        us.accept_update(wine, running, package_server.url(us.PACKAGE_PATH), win32_build)
        # A cut body is asked for five times more, after 1 + 2 + 4 + 8 + 16 s.
        package_server.wait_answered(1 if answer == "404" else 6, us.PACKAGE_PATH, timeout=90)

        # Below 100 % and nothing to unpack: no question, nothing written,
        # and the start button works again.
        assert us.still_running(running.proc, 3.0), "the launcher ended"
        assert not us.boxes(wine, us.QUESTION_TITLE)
        assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
        assert starts_again(wine, running, folder)
        assert running.close() == 0


# -- a broken connection, a restart ------------------------------------------------------

def resumable_package(win32_build, seed):
    """A package with the new launcher and 4 MB that do not compress."""
    return us.make_zip([(us.NEW_LAUNCHER, us.read(os.path.join(win32_build, "DemoGame.exe"))),
                        ("big.bin", us.pseudo_random(4 << 20, seed))],
                       compression=zipfile.ZIP_STORED)


def sent_for(server, path):
    return sum(r.sent for r in server.requests_for(path))


def wait_taken_over(folder, launcher):
    log = new_launcher_log(folder)
    harness.wait_until(lambda: os.path.exists(log), 90, what="the new launcher's log")
    assert us.wait_exit(launcher.proc, 30) == 0


class TestResume:
    def test_a_break_at_60_percent_is_continued(self, wine, running, e2e_folder, package_server,
                                                win32_build):
        folder = str(e2e_folder)
        package = resumable_package(win32_build, 5)
        package_server.serve(us.PACKAGE_PATH, hs.Answer(
            package, content_type=us.PACKAGE_TYPE, etag='"p5"', cut_after=len(package) * 6 // 10,
            cut_once=True))
        us.accept_update(wine, running, package_server.url(us.PACKAGE_PATH), win32_build)
        wait_taken_over(folder, running)

        first, second = package_server.requests_for(us.PACKAGE_PATH)
        assert second.headers_named("Range") == [f"bytes={first.sent}-".encode()]
        assert sent_for(package_server, us.PACKAGE_PATH) < 1.5 * len(package)
        assert us.read(os.path.join(folder, "big.bin")) == us.pseudo_random(4 << 20, 5)
        assert not os.path.exists(os.path.join(folder, "update.zip.tmp.resume"))

    def test_closed_at_half_the_next_update_sends_the_rest(
            self, wine, start_launcher, e2e_folder, package_server, win32_build):
        folder = str(e2e_folder)
        package = resumable_package(win32_build, 6)
        answer = hs.Answer(package, content_type=us.PACKAGE_TYPE, etag='"p6"', rate=1 << 20)
        package_server.serve(us.PACKAGE_PATH, answer)
        first_run = start_launcher(folder)
        first_run.wait_window()
        us.accept_update(wine, first_run, package_server.url(us.PACKAGE_PATH), win32_build)
        transfer = package_server.wait_requests(1, us.PACKAGE_PATH, timeout=60)[0]
        harness.wait_until(lambda: transfer.sent >= len(package) // 2, 60,
                           what="half of the package sent")
        assert first_run.close(timeout=10) == 0
        temporary = os.path.join(folder, "update.zip.tmp")
        assert os.path.exists(temporary) and os.path.exists(temporary + ".resume")
        kept = os.path.getsize(temporary)
        assert 0 < kept < len(package)

        answer.rate = None
        second_run = start_launcher(folder)
        second_run.wait_window()
        us.accept_update(wine, second_run, package_server.url(us.PACKAGE_PATH), win32_build)
        wait_taken_over(folder, second_run)
        rest = package_server.requests_for(us.PACKAGE_PATH)[1]
        assert rest.headers_named("Range") == [f"bytes={kept}-".encode()]
        assert rest.sent < 0.7 * len(package)
        assert us.read(os.path.join(folder, "big.bin")) == us.pseudo_random(4 << 20, 6)
        assert not os.path.exists(temporary) and not os.path.exists(temporary + ".resume")
        vs.close_games(wine, win32_build)


# -- over https --------------------------------------------------------------------------

class TestHttps:
    """Version page (WinINet) and package (the download engine's Schannel)
    over https, with certificates of the tests' authority for localhost."""

    def test_page_and_package_over_https_update_the_game(self, wine, running_https,
                                                         e2e_https_folder, test_authority,
                                                         tmp_path, win32_build):
        folder = str(e2e_https_folder)
        new_exe = us.read(os.path.join(win32_build, "DemoGame.exe"))
        data = us.pseudo_random(300_000, 5)
        nginx = hs.Nginx(tmp_path / "nginx", tls=(os.path.join(test_authority, "localhost.pem"),
                                                  os.path.join(test_authority, "server.key")))
        nginx.start()
        try:
            nginx.put(us.PACKAGE_PATH, us.make_zip([("Data/secure.bin", data),
                                                    (us.NEW_LAUNCHER, new_exe)]))
            us.accept_update(wine, running_https, nginx.url(us.PACKAGE_PATH), win32_build,
                             tls=hs.server_tls(test_authority))
            log = new_launcher_log(folder)
            harness.wait_until(lambda: os.path.exists(log), 60, what="the new launcher's log")
            assert us.wait_exit(running_https.proc, 30) == 0
        finally:
            nginx.stop()
        assert us.read(os.path.join(folder, "Data", "secure.bin")) == data
        assert us.read(os.path.join(folder, us.NEW_LAUNCHER)) == new_exe
        assert not os.path.exists(os.path.join(folder, "update.zip.tmp"))

    def test_untrusted_package_server_gets_no_request(self, wine, running, e2e_folder,
                                                      test_authority, win32_build):
        folder = str(e2e_folder)
        server = hs.Server(tls=hs.server_tls(test_authority, "stranger.pem"))
        try:
            server.serve(us.PACKAGE_PATH, hs.Answer(us.make_zip([("readme.txt", b"x")]),
                                                    content_type=us.PACKAGE_TYPE))
            before = us.tree(folder)
            us.accept_update(wine, running, server.url(us.PACKAGE_PATH), win32_build)
            server.wait_connections(1, timeout=60)

            # The handshake ends at the certificate: no request, no package,
            # no question, no hand-off; the launcher runs on.
            assert us.still_running(running.proc, 3.0), "the launcher ended"
            # (Schannel checks after the handshake: the server may see a
            # connection end without a request line.)
            assert not [r for r in server.requests if r.request_line], \
                "a request went to a server it cannot trust"
            assert not us.boxes(wine, us.QUESTION_TITLE)
            assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
            assert starts_again(wine, running, folder)
            assert running.close() == 0
        finally:
            server.stop()
