"""The version check behind the start button, end to end: launcher-e2e.exe
under Wine asks a recording HTTP server on 127.0.0.1 for its version page
after starting the demo game, and the question, the answers and the
download panel are watched on the display.

Only one launcher runs at a time (its window is found by class), and each
test owns the loopback port for its duration.
"""

import time

import pytest

import harness
import http_server as hs
import version_support as vs

# The check blocks the window while the page loads and compares at once
# afterwards; a question, if any, shows up well within this.
SETTLE_S = 2.0


@pytest.fixture
def server():
    running = hs.Server(hs.PORT)
    yield running
    running.stop()


@pytest.fixture
def started(start_launcher, e2e_folder, wine, win32_build):
    """start() -> the launcher on the demo folder, window mapped; the demo
    games it started are closed afterwards."""
    launchers = []

    def start():
        launcher = start_launcher(e2e_folder)
        launcher.wait_window()
        launchers.append(launcher)
        return launcher

    yield start
    for launcher in launchers:
        for wid in vs.questions(wine):
            wine.x("xdotool", "key", "--window", wid, "n")
    vs.close_games(wine, win32_build)


@pytest.fixture
def checking(started, server, e2e_folder):
    """The launcher, with the server noting how many game starts the log
    holds when each request arrives."""
    server.observer = lambda: vs.game_starts(e2e_folder)
    return started()


def wait_game_starts(folder, count, timeout=30):
    return harness.wait_until(lambda: vs.game_starts(folder) >= count, timeout,
                              what=f"{count} game start(s) in DemoGame.log")


def asks_nothing_and_stays_usable(wine, launcher, folder, server=None):
    """Two start clicks: neither may bring a question. The second one is
    only handled once the first check has returned, so its game start
    proves the window came back to life."""
    for round_ in (1, 2):
        vs.click_start(wine, launcher)
        wait_game_starts(folder, round_)
        if server is not None:
            server.wait_answered(round_)
        vs.assert_no_question(wine, launcher, SETTLE_S)
    assert vs.game_starts(folder) == 2
    assert wine.find_window(harness.LAUNCHER_TITLE)
    assert launcher.close() == 0


class TestRequest:
    def test_get_with_the_browser_like_headers_and_no_cookie(self, wine, checking, server):
        server.serve_page(vs.version_page(version="5.0").encode())
        vs.click_start(wine, checking)
        (request,) = server.wait_answered(1)

        assert request.request_line == b"GET /version.html HTTP/1.1"
        assert request.headers_named("User-Agent") == [vs.DEFAULT_AGENT]
        assert request.headers_named("Referer") == [vs.VERSION_URL.encode()]
        assert request.headers_named("Accept") == [b"*/*"]
        assert request.headers_named("Accept-Language") == [b"zh-cn"]
        assert request.headers_named("Content-Type") == [b"application/x-www-form-urlencoded"]
        assert request.headers_named("Cookie") == []
        # One well-formed line each: a stray CRLF in the header text would
        # end the head early or leave an empty line behind.
        assert all(b": " in line for line in request.header_lines), request.header_lines
        names = [line.split(b":", 1)[0] for line in request.header_lines]
        ours = [b"Referer", b"Accept", b"Accept-Language", b"Content-Type"]
        assert [n for n in names if n in ours] == ours
        assert checking.close() == 0

    def test_game_is_started_before_the_page_is_asked_for(self, wine, checking, server,
                                                          e2e_folder):
        server.serve_page(vs.version_page(version="5.0").encode())
        vs.click_start(wine, checking)
        (request,) = server.wait_answered(1)
        assert request.observed == 1, "DemoGame.log when the request arrived"
        log = vs.game_log(e2e_folder)
        assert b"DemoGame.exe" in log.split(b"\r\n")[0]
        assert checking.close() == 0


class TestQuestion:
    @pytest.mark.parametrize("content_type", ["text/html; charset=utf-8", "text/html", None],
                             ids=["utf-8", "no-charset", "no-content-type"])
    def test_newer_version_is_offered(self, wine, checking, server, content_type):
        server.serve_page(vs.version_page(version="5.1").encode("utf-8"),
                          content_type=content_type)
        vs.click_start(wine, checking)
        question = vs.wait_question(wine, checking)
        assert len(vs.questions(wine)) == 1
        vs.answer(wine, question, yes=False)
        assert checking.close() == 0

    @pytest.mark.parametrize("version", ["5.0.1", "6", "5.1 测试版"])
    def test_versions_sorting_after_5_0_are_offered(self, wine, checking, server, version):
        server.serve_page(vs.version_page(version=version).encode("utf-8"))
        vs.click_start(wine, checking)
        vs.answer(wine, vs.wait_question(wine, checking), yes=False)
        assert checking.close() == 0

    def test_no_keeps_the_start_button_and_the_next_click_asks_again(
            self, wine, checking, server, e2e_folder):
        server.serve_page(vs.version_page(version="5.1").encode("utf-8"))
        for round_ in (1, 2):
            vs.click_start(wine, checking)
            server.wait_answered(round_)
            vs.answer(wine, vs.wait_question(wine, checking), yes=False)
            assert vs.game_starts(e2e_folder) == round_
        assert server.requests_for(hs.VERSION_PATH)[1].observed == 2
        # No means no download.
        assert server.requests_for("/none.zip") == []
        assert checking.close() == 0


class TestAcceptedUpdate:
    def test_yes_shows_the_panel_and_notes_and_disables_start(self, wine, checking, server,
                                                              e2e_folder):
        server.serve_page(vs.version_page(version="5.1").encode("utf-8"))
        # A package that trickles: the download runs while the panel is looked at.
        server.serve("/none.zip", hs.Answer(b"PK" * 500_000, content_type="application/zip",
                                            rate=2048))
        before = vs.window_picture(wine, checking.window, "version-before-yes")
        vs.click_start(wine, checking)
        vs.answer(wine, vs.wait_question(wine, checking), yes=True)

        # The download asks for the page's update address.
        server.wait_requests(1, path="/none.zip", timeout=30)
        after = vs.window_picture(wine, checking.window, "version-after-yes")

        notes = (vs.NOTES_BOX[0] + 2, vs.NOTES_BOX[1] + 2, vs.NOTES_BOX[2] - 2, 225)
        assert vs.share(before, notes, vs.is_white) < 0.3, "slideshow expected before"
        assert vs.share(after, notes, vs.is_white) > 0.6
        dark = vs.share(after, notes, vs.is_dark)
        assert 0.02 < dark < 0.4, f"dark share {dark:.3f}"
        # Title, description and five notes: seven lines.
        assert vs.text_rows(after, notes) >= 7
        # The title line starts after 22 spaces; the description at the edge.
        title_line = vs.first_text_band(after, notes)
        assert title_line is not None
        assert vs.leftmost_dark(after, notes, title_line) > notes[0] + 60
        left, top, right, bottom = vs.PROGRESS_BAR
        assert vs.horizontal_line(after, left + 2, right - 2, top)
        assert vs.horizontal_line(after, left + 2, right - 2, bottom - 1)

        # The start button no longer starts the game nor checks.
        starts = vs.game_starts(e2e_folder)
        vs.click_start(wine, checking)
        deadline = time.monotonic() + SETTLE_S + 1.5  # beyond the button's 500 ms wait
        while time.monotonic() < deadline:
            assert vs.game_starts(e2e_folder) == starts
            assert len(server.requests_for(hs.VERSION_PATH)) == 1
            assert not vs.questions(wine)
            time.sleep(0.1)
        assert checking.close() == 0


class TestFirstClick:
    def test_a_click_the_moment_the_window_maps_is_handled_in_full(
            self, wine, start_launcher, e2e_folder, server, win32_build):
        """The fields the check fills and reads back get their windows just
        after the window first shows. A click sent as soon as it is mapped
        must still start the game and bring the question, which only the
        published version read back from its field can bring."""
        server.observer = lambda: vs.game_starts(e2e_folder)
        server.serve_page(vs.version_page(version="5.1").encode("utf-8"))
        launcher = start_launcher(e2e_folder)

        def mapped():
            assert launcher.proc.poll() is None, f"launcher ended ({launcher.proc.returncode})"
            found = wine.x("xdotool", "search", "--onlyvisible", "--class", r"^launcher\.exe$")
            return (found.stdout.split() or [None])[0]

        try:
            launcher.window = harness.wait_until(mapped, 60, interval=0.005,
                                                 what="the Launch window mapped").decode()
            vs.click_start(wine, launcher)
            vs.answer(wine, vs.wait_question(wine, launcher), yes=False)
            (request,) = server.wait_answered(1)
            assert request.observed == 1, "DemoGame.log when the request arrived"
            assert launcher.close() == 0
        finally:
            vs.close_games(wine, win32_build)


MIB = 1024 * 1024


def page_of_size(size):
    """A page of exactly `size` bytes of UTF-8 with the fields at its end."""
    fields = vs.version_page().encode()
    filler = "<p>" + "塔沃星海漫游" * 60 + "</p>\n"
    body = (filler * (size // len(filler.encode()) + 1)).encode()
    body = body[:size - len(fields)]
    # Cut on a character's first byte: what precedes the fields stays UTF-8.
    while body and body[-1] & 0xC0 == 0x80:
        body = body[:-1]
    body = body[:-1] if body and body[-1] >= 0xC0 else body
    return body + b" " * (size - len(fields) - len(body)) + fields


def no_fields_page():
    return "<html><body><h1>欢迎</h1><p>没有版本信息</p></body></html>".encode("utf-8")


NOTHING_ASKED = {
    "404": hs.NOT_FOUND,
    "no-fields": hs.Answer(no_fields_page()),
    "empty-body": hs.Answer(b""),
    "5.0": hs.Answer(vs.version_page(version="5.0").encode()),
    # The same numbers as the launcher's own, written longer: not newer.
    "5.00": hs.Answer(vs.version_page(version="5.00").encode()),
    "space-5.1": hs.Answer(vs.version_page(version=" 5.1").encode()),
    "4.9": hs.Answer(vs.version_page(version="4.9").encode()),
    # The value runs to the next "<"; without one it is empty.
    "no-lt": hs.Answer(f"最新版本=5.1\r\n更新地址={vs.NO_PACKAGE_URL}".encode(),
                     content_type="text/plain"),
    # Text in code page 936 is not UTF-8: the markers are not found.
    "gbk": hs.Answer(vs.version_page().encode("gbk")),
    "binary": hs.Answer(bytes(range(256)) * 512),
    # The text ends at the first zero byte.
    "zero-before-fields": hs.Answer(b"<html>\x00" + vs.version_page().encode()),
    # Past what a version page may be, fields or not: read as none.
    "2-MiB": hs.Answer(page_of_size(2 * MIB)),
    "endless": hs.Endless(),
    "close-unanswered": hs.Silence(0),
    "close-after-3s": hs.Silence(3),
}


class TestNothingAsked:
    @pytest.mark.parametrize("kind", list(NOTHING_ASKED))
    def test_no_question_and_launcher_stays_usable(self, wine, checking, server, e2e_folder,
                                                   kind):
        server.serve(hs.VERSION_PATH, NOTHING_ASKED[kind])
        asks_nothing_and_stays_usable(wine, checking, e2e_folder, server)

    def test_a_trickled_page_leaves_the_window_responsive(self, wine, checking, server,
                                                          e2e_folder):
        # Ten megabytes at two kilobytes a second: it never arrives here.
        server.serve_page(b"<p>trickle</p>" * 750_000, rate=2048)
        vs.click_start(wine, checking)
        wait_game_starts(e2e_folder, 1)
        server.wait_requests(1)
        # The first page is still arriving; the window handles the next
        # click, which finds the check under way and does nothing more.
        vs.click_start(wine, checking)
        vs.assert_no_question(wine, checking, SETTLE_S)
        assert vs.game_starts(e2e_folder) == 1
        assert len(server.requests_for(hs.VERSION_PATH)) == 1
        # And it closes at once.
        assert checking.close(timeout=10) == 0

    def test_nothing_listening(self, wine, started, e2e_folder):
        # Wait until nothing holds the port, then leave it closed.
        hs.listen(hs.PORT).close()
        launcher = started()
        try:
            asks_nothing_and_stays_usable(wine, launcher, e2e_folder)
        except AssertionError:
            if hs.port_answers():
                pytest.fail(f"another program took port {hs.PORT} during this test and "
                            "answered the launcher: inconclusive, run again")
            raise

    @pytest.mark.parametrize("reset", [False, True], ids=["fin", "rst"])
    def test_connection_closed_on_accept(self, wine, checking, server, e2e_folder, reset):
        server.close_on_accept = "reset" if reset else True
        for round_ in (1, 2):
            vs.click_start(wine, checking)
            server.wait_connections(round_)
            wait_game_starts(e2e_folder, round_)
            vs.assert_no_question(wine, checking, SETTLE_S)
        assert checking.close() == 0


class TestOddPagesWithFields:
    """Pages that carry the fields in some odd surroundings are still read."""

    def test_page_just_under_the_limit(self, wine, checking, server):
        body = page_of_size(MIB - 1)
        assert len(body) == MIB - 1
        server.serve_page(body)
        vs.click_start(wine, checking)
        server.wait_answered(1, timeout=60)
        vs.answer(wine, vs.wait_question(wine, checking, timeout=60), yes=False)
        assert checking.close() == 0

    def test_status_is_not_looked_at(self, wine, checking, server):
        server.serve_page(vs.version_page().encode(), status="500 Internal Server Error")
        vs.click_start(wine, checking)
        vs.answer(wine, vs.wait_question(wine, checking), yes=False)
        assert checking.close() == 0

    def test_invalid_utf8_before_the_fields(self, wine, checking, server):
        server.serve_page(b"<html>\xff\xfe\x80\xc3(\xe4\xb8" + vs.version_page().encode())
        vs.click_start(wine, checking)
        vs.answer(wine, vs.wait_question(wine, checking), yes=False)
        assert checking.close() == 0

    def test_first_of_two_markers_counts(self, wine, checking, server):
        page = vs.version_page(version="5.1") + vs.version_page(version="5.0")
        server.serve_page(page.encode())
        vs.click_start(wine, checking)
        vs.answer(wine, vs.wait_question(wine, checking), yes=False)
        assert checking.close() == 0
