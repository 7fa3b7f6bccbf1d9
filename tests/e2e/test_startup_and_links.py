"""launcher.exe as a player meets it: starting it (twice, without its config,
with odd configs), the game labels and logo, the start and shortcut
buttons, the link labels, and the frameless window's chrome (Esc, close,
minimise, rounded corners, dragging).

Clicks and drags go through the X server with xdotool at window
coordinates; message boxes are answered with Return; what a link opened is
read from a recorder that Wine runs as its browser.
"""

import os
import re
import struct
import time
import zlib

import pytest

import harness
import startup_support as s


@pytest.fixture(autouse=True)
def tidy_screen(wine, win32_build):
    """Pointer off the windows before the test; afterwards, no demo game or
    message box of this test may linger into the next one."""
    s.park_pointer(wine)
    yield
    post_message = os.path.join(win32_build, "post_message.exe")
    for title in (s.NOTICE_TITLE, s.SECOND_COPY_TITLE):
        box = wine.find_window(title)
        if box:
            wine.x("xdotool", "key", "--window", box, "Return")
    s.close_demo_games(wine, post_message)


@pytest.fixture
def opened(browser):
    """The browser recorder, emptied for this test."""
    browser.clear()
    return browser


@pytest.fixture
def second_folder(tmp_path, demo_template):
    """Another copy of the demo game in a folder of its own."""
    return s.copy_game(demo_template, tmp_path / "other game")


def config_of(folder):
    return folder / "tavoro" / "tavoroConfig.ini"


def up(start_launcher, folder):
    launcher = start_launcher(folder)
    launcher.wait_window()
    return launcher


def expect_side_by_side(wine, start_launcher, first_folder, second_folder):
    """Starts a copy in each folder: both windows come up, no copy is refused,
    and both end cleanly."""
    one = up(start_launcher, first_folder)
    two = start_launcher(second_folder)
    harness.wait_until(lambda: len(s.launch_windows(wine)) == 2, 60, interval=0.1,
                       what="two Launch windows")
    assert wine.find_window(s.SECOND_COPY_TITLE) is None
    assert s.close_all([one, two]) == [0, 0]


# -- start-up ---------------------------------------------------------------

class TestSingleInstance:
    @pytest.mark.parametrize("code_page", [936, 1252], indirect=True)
    def test_second_copy_from_same_folder_is_refused_and_first_runs_on(
            self, wine, start_launcher, game_folder):
        first = up(start_launcher, game_folder)
        second = start_launcher(game_folder)
        s.answer_box(wine, s.SECOND_COPY_TITLE, proc=second.proc)
        assert s.wait_exit(second.proc) == 0
        # the refused copy never showed its window; the first one is untouched
        assert s.launch_windows(wine) == [first.window]
        assert first.proc.poll() is None
        assert first.close() == 0

    def test_refusal_comes_before_the_config_check(self, wine, start_launcher, game_folder,
                                                   config_path):
        first = up(start_launcher, game_folder)
        config_path.unlink()
        second = start_launcher(game_folder)
        wine.wait_window(s.SECOND_COPY_TITLE, proc=second.proc)
        assert wine.find_window(s.NOTICE_TITLE) is None
        s.answer_box(wine, s.SECOND_COPY_TITLE)
        assert s.wait_exit(second.proc) == 0
        assert first.close() == 0

    def test_new_copy_starts_once_the_first_has_ended(self, wine, start_launcher, game_folder):
        assert up(start_launcher, game_folder).close() == 0
        again = up(start_launcher, game_folder)
        assert wine.find_window(s.SECOND_COPY_TITLE) is None
        assert again.close() == 0

    def test_copies_in_two_folders_without_bh1_run_side_by_side(
            self, wine, start_launcher, game_folder, second_folder):
        expect_side_by_side(wine, start_launcher, game_folder, second_folder)

    def test_two_games_with_the_same_bh1_refuse_to_run_side_by_side(
            self, wine, start_launcher, game_folder, second_folder):
        s.write_config(config_of(game_folder), url_bh1="TavoroDemoInstance")
        s.write_config(config_of(second_folder), name_name1="天空之城", url_bh1="TavoroDemoInstance")
        first = up(start_launcher, game_folder)
        second = start_launcher(second_folder)
        s.answer_box(wine, s.SECOND_COPY_TITLE, proc=second.proc)
        assert s.wait_exit(second.proc) == 0
        assert s.launch_windows(wine) == [first.window]
        assert first.close() == 0

    def test_bh1_that_cannot_name_an_event_leaves_the_launcher_unguarded(
            self, wine, start_launcher, game_folder, second_folder):
        # Windows refuses "\" in an event name outside a namespace: the
        # marker cannot be made, so no copy sees another, and none crashes.
        for folder in (game_folder, second_folder):
            s.write_config(config_of(folder), url_bh1="Tavoro\\Demo\\Instance")
        expect_side_by_side(wine, start_launcher, game_folder, second_folder)


class TestMissingConfig:
    def test_notice_then_exit_0_and_no_window(self, wine, start_launcher, game_folder,
                                              config_path):
        config_path.unlink()
        launcher = start_launcher(game_folder)
        wine.wait_window(s.NOTICE_TITLE, proc=launcher.proc)
        assert s.launch_windows(wine) == []
        s.answer_box(wine, s.NOTICE_TITLE)
        assert s.wait_exit(launcher.proc) == 0
        assert s.launch_windows(wine) == []


# -- game labels and logo -----------------------------------------------------

LABELS_SETTLE_BOX = (8, 108, 170, 305)  # logo and the three labels

# Configs of the label runs:
#  "bare"  - no keys in [name] and [url] but url2, no logo file: an empty name
#            and the bare prefixes
#  "echo"  - the values repeat the labels' own prefixes, so the glyphs read
#            from the code page 936 file must equal those built into the
#            launcher
#  "other" - another game name
LABEL_RUNS = {
    "bare": dict(name_name1=None, name_name2=None, url_url1=None, url_bh1=None),
    "echo": dict(name_name2="游戏语言:", url_url1="游戏支持:"),
    "other": dict(name_name1="天空之城", name_name2="游戏语言:", url_url1="游戏支持:"),
    "huge-logo": dict(),
}

HUGE_LOGO = (10000, 10000)
HUGE_LEFT, HUGE_RIGHT = (200, 30, 160), (30, 200, 60)


def write_two_colour_png(path, size, left, right):
    """A PNG of `size`, its left half `left`, its right half `right`, written
    a row at a time: the test never holds the picture."""
    width, height = size
    row = b"\x00" + bytes(left) * (width // 2) + bytes(right) * (width - width // 2)
    deflate = zlib.compressobj(9)
    data = b"".join(deflate.compress(row) for _ in range(height)) + deflate.flush()

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body)))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", data))
        f.write(chunk(b"IEND", b""))


@pytest.fixture(scope="class")
def label_shots(tmp_path_factory, wine, win32_build, demo_template):
    """A settled picture of the Launch window for each config of LABEL_RUNS."""
    shots = {}
    for run, changes in LABEL_RUNS.items():
        folder = s.copy_game(demo_template, tmp_path_factory.mktemp("labels-" + run) / "game")
        s.write_config(config_of(folder), **changes)
        if run == "bare":
            os.unlink(folder / "tavoro" / "icos1.png")
        if run == "huge-logo":
            write_two_colour_png(folder / "tavoro" / "icos1.png", HUGE_LOGO, HUGE_LEFT, HUGE_RIGHT)
        launcher = harness.Launcher(wine, str(folder), win32_build).start()
        try:
            s.park_pointer(wine)
            wid = launcher.wait_window()
            shots[run] = s.settled_window_image(wine, wid, LABELS_SETTLE_BOX, "labels-" + run)
            assert launcher.close() == 0
        finally:
            launcher.kill()
    return shots


def best_match(haystack, needle, start):
    """Smallest count of differing pixels when the column block `needle` is
    laid over `haystack` at a column from `start` on; (count, column)."""
    width = len(needle[0])
    best = None
    for at in range(start, len(haystack[0]) - width + 1):
        diff = sum(1 for y, row in enumerate(needle) for x in range(width)
                   if row[x] != haystack[y][at + x])
        if best is None or diff < best[0]:
            best = (diff, at)
    return best


class TestGameLabels:
    def test_name_label_is_empty_without_name1(self, label_shots):
        assert s.dark_columns(s.dark_mask(label_shots["bare"], s.NAME_LABEL)) == []

    def test_name_label_shows_name1(self, label_shots):
        echo = s.dark_mask(label_shots["echo"], s.NAME_LABEL)
        other = s.dark_mask(label_shots["other"], s.NAME_LABEL)
        assert len(s.dark_columns(echo)) > 30  # four glyphs and "VR" at 16 px
        assert echo != other

    @pytest.mark.parametrize("box", [s.LANGUAGE_LABEL, s.DEVICES_LABEL],
                             ids=["language", "devices"])
    def test_value_from_the_file_draws_the_same_glyphs_as_the_prefix(self, label_shots, box):
        # "bare" shows the prefix alone; "echo" shows prefix + the same text
        # read from the file. Both copies must be found, side by side.
        bare = s.dark_mask(label_shots["bare"], box)
        echo = s.dark_mask(label_shots["echo"], box)
        columns = s.dark_columns(bare)
        assert columns, "the bare prefix is not drawn"
        first, last = columns[0], columns[-1]
        prefix = [row[first:last + 1] for row in bare]
        ink = sum(sum(row) for row in prefix)
        diff1, at1 = best_match(echo, prefix, 0)
        assert diff1 <= ink * 0.05 and at1 == first, (diff1, at1, ink)
        diff2, at2 = best_match(echo, prefix, at1 + (last - first) + 1)
        assert diff2 <= ink * 0.05, f"value not drawn like the prefix: {diff2} of {ink} differ"
        # nothing beyond the second copy
        assert s.dark_columns(echo)[-1] <= at2 + (last - first) + 1

    def test_logo_box_shows_the_logo(self, label_shots):
        def planet(p):
            return p[2] > 120 and p[2] - p[0] > 60
        def ring(p):
            return p[0] > 200 and 120 < p[1] < 210 and p[2] < 90
        img = label_shots["echo"]
        assert s.share(img, s.LOGO_BOX, planet) > 0.1
        assert s.share(img, s.LOGO_BOX, ring) > 0.005
        # and without the logo file the box holds none of it
        assert s.share(label_shots["bare"], s.LOGO_BOX, planet) == 0

    def test_a_logo_of_a_hundred_megapixels_is_shown_reduced(self, label_shots):
        def near(colour):
            return lambda p: all(abs(p[i] - colour[i]) <= 24 for i in range(3))
        img = label_shots["huge-logo"]
        left, top, right, bottom = s.LOGO_BOX
        middle = (left + right) // 2
        assert s.share(img, (left, top, middle - 2, bottom), near(HUGE_LEFT)) > 0.9
        assert s.share(img, (middle + 2, top, right, bottom), near(HUGE_RIGHT)) > 0.9


# -- start button ---------------------------------------------------------------

def game_log(folder):
    path = folder / "Bin" / "DemoGame.log"
    return path.read_text(encoding="gbk", errors="replace") if path.exists() else ""


def started_command_lines(folder):
    return re.findall(r"^cmdline=(.*)\r?$", game_log(folder), re.M)


class TestStartButton:
    # A folder name with a blank: the game's path is quoted, so no program
    # its first words name runs in its place.
    @pytest.mark.parametrize("folder_name", ["game", "my games"])
    def test_starts_the_game_named_by_url2(self, wine, start_launcher, demo_template, tmp_path,
                                           folder_name):
        game_folder = s.copy_game(demo_template, tmp_path / folder_name)
        launcher = up(start_launcher, game_folder)
        s.click(wine, launcher.window, s.START_BUTTON)
        lines = harness.wait_until(lambda: started_command_lines(game_folder), 30,
                                   what="the demo game to log its start")
        # the run directory joined to url2, in quotes
        assert lines == ['"' + s.windows_path(game_folder) + '\\Bin\\DemoGame.exe"']
        wine.wait_window(harness.DEMO_GAME_TITLE, 30)
        # the version check that follows finds no page here: it asks nothing
        # and ends nothing
        assert s.still_running(launcher.proc, 1)
        assert sorted(name for _, name in wine.visible_windows()) == sorted(
            [harness.LAUNCHER_TITLE, harness.DEMO_GAME_TITLE])
        assert s.close_demo_games(wine, launcher.post_message) == 1
        assert launcher.close() == 0

    def test_a_second_press_during_the_first_does_nothing_a_later_one_starts_again(
            self, wine, launcher, game_folder):
        s.click(wine, launcher.window, s.START_BUTTON)
        time.sleep(0.1)
        # Within the first press's half-second wait.
        s.click(wine, launcher.window, s.START_BUTTON)
        harness.wait_until(lambda: len(started_command_lines(game_folder)) == 1, 30,
                           what="the start of the demo game")
        time.sleep(2.0)
        assert len(started_command_lines(game_folder)) == 1, "the second press started a game"
        s.click(wine, launcher.window, s.START_BUTTON)
        harness.wait_until(lambda: len(started_command_lines(game_folder)) == 2, 30,
                           what="two starts of the demo game")
        harness.wait_until(lambda: len(s.demo_game_windows(wine)) == 2, 30,
                           what="two demo game windows")
        assert s.close_demo_games(wine, launcher.post_message) == 2
        assert launcher.close() == 0

    def test_missing_game_shows_notice_then_exit_0(self, wine, start_launcher, game_folder,
                                                   config_path):
        s.write_config(config_path, url_url2="\\Bin\\NoSuchGame.exe")
        launcher = up(start_launcher, game_folder)
        s.click(wine, launcher.window, s.START_BUTTON)
        s.answer_box(wine, s.NOTICE_TITLE, proc=launcher.proc)
        assert s.wait_exit(launcher.proc) == 0
        assert s.launch_windows(wine) == []
        assert started_command_lines(game_folder) == []

    def test_empty_url2_starts_nothing_and_keeps_running(self, wine, start_launcher,
                                                         game_folder, config_path):
        # The run directory itself exists, so there is no notice; starting a
        # folder fails without a word.
        s.write_config(config_path, url_url2="")
        launcher = up(start_launcher, game_folder)
        s.click(wine, launcher.window, s.START_BUTTON)
        assert s.no_window_appears(wine, s.NOTICE_TITLE, 3)
        assert launcher.proc.poll() is None
        assert started_command_lines(game_folder) == []
        assert launcher.close() == 0


# -- shortcut button --------------------------------------------------------------

class TestShortcut:
    @pytest.mark.parametrize("code_page", [936, 1252], indirect=True)
    def test_shortcut_on_the_desktop_points_at_the_launcher(self, wine, launcher, game_folder,
                                                            desktop):
        s.click(wine, launcher.window, s.SHORTCUT_BUTTON)
        name = "星海漫游VR" + s.SHORTCUT_SUFFIX + ".lnk"
        path = os.path.join(desktop, name)
        harness.wait_until(lambda: os.path.exists(path) and os.path.getsize(path) > 0, 30,
                           what=f"{name} on the desktop")
        data = open(path, "rb").read()
        assert data[:4] == b"L\0\0\0", "not a shell link"
        assert s.lnk_mentions(data, s.windows_path(game_folder / "launcher.exe"))
        assert s.shortcuts(desktop) == [name]
        assert launcher.close() == 0

    def test_pressing_again_replaces_the_shortcut(self, wine, launcher, desktop, opened):
        name = "星海漫游VR" + s.SHORTCUT_SUFFIX + ".lnk"
        s.click(wine, launcher.window, s.SHORTCUT_BUTTON)
        harness.wait_until(lambda: s.shortcuts(desktop) == [name], 30, what="the shortcut")
        with open(os.path.join(desktop, name), "wb") as f:
            f.write(b"stale")
        s.click(wine, launcher.window, s.SHORTCUT_BUTTON)
        harness.wait_until(lambda: open(os.path.join(desktop, name), "rb").read()[:4] == b"L\0\0\0",
                           30, what="the shortcut rewritten")
        assert s.shortcuts(desktop) == [name]
        assert launcher.close() == 0

    @pytest.mark.parametrize("name1", ["星海:漫游?", "a/b", "星海*VR|<>"])
    def test_name_invalid_in_file_names_writes_no_shortcut(self, wine, start_launcher,
                                                           game_folder, config_path, desktop,
                                                           opened, name1):
        s.write_config(config_path, name_name1=name1)
        launcher = up(start_launcher, game_folder)
        s.click(wine, launcher.window, s.SHORTCUT_BUTTON)
        # Handlers run one at a time: once the link pressed after it has
        # opened, the shortcut handler is done.
        s.click(wine, launcher.window, s.LINKS["Home"])
        opened.wait_count(1)
        assert s.shortcuts(desktop) == []
        assert launcher.proc.poll() is None
        assert launcher.close() == 0

    def test_without_name1_the_shortcut_is_named_by_the_suffix_alone(
            self, wine, start_launcher, game_folder, config_path, desktop):
        s.write_config(config_path, name_name1=None)
        launcher = up(start_launcher, game_folder)
        s.click(wine, launcher.window, s.SHORTCUT_BUTTON)
        name = s.SHORTCUT_SUFFIX + ".lnk"
        harness.wait_until(lambda: s.shortcuts(desktop) == [name], 30, what=repr(name))
        assert launcher.close() == 0


# -- link labels -------------------------------------------------------------------

ADDRESSES = {
    "Home": "http://127.0.0.1:9/e2e/home",
    "video": "http://127.0.0.1:9/e2e/video?id=7&x=1",
    "resource": "http://127.0.0.1:9/e2e/games",
    "software": "https://software.example.invalid/e2e",
    "bbs": "http://bbs.example.invalid/e2e/forum",
    "diy": "http://help.example.invalid/e2e/start-problems",
}


def is_red(p):
    return p[0] > 150 and p[1] < 90 and p[2] < 90


class TestLinkLabels:
    @pytest.mark.parametrize("code_page", [936, 1252], indirect=True)
    def test_each_label_opens_its_address(self, wine, start_launcher, game_folder, config_path,
                                          opened):
        s.write_config(config_path, **{"http_" + k: v for k, v in ADDRESSES.items()})
        launcher = up(start_launcher, game_folder)
        for count, key in enumerate(ADDRESSES, 1):
            s.click(wine, launcher.window, s.LINKS[key])
            opened.wait_count(count)
        assert opened.opened() == list(ADDRESSES.values())
        assert launcher.close() == 0

    def test_an_edited_address_opens_at_the_next_press(self, wine, start_launcher, game_folder,
                                                       config_path, opened):
        s.write_config(config_path, http_bbs="http://bbs.example.invalid/before")
        launcher = up(start_launcher, game_folder)
        s.click(wine, launcher.window, s.LINKS["bbs"])
        opened.wait_count(1)
        s.write_config(config_path, http_bbs="http://bbs.example.invalid/after")
        s.click(wine, launcher.window, s.LINKS["bbs"])
        opened.wait_count(2)
        assert opened.opened() == ["http://bbs.example.invalid/before",
                                   "http://bbs.example.invalid/after"]
        assert launcher.close() == 0

    def test_help_link_turns_red_once_pressed(self, wine, launcher, opened):
        before = s.settled_window_image(wine, launcher.window, s.HELP_LINK, "help-before")
        assert s.share(before, s.HELP_LINK, is_red) == 0
        assert s.share(before, s.HELP_LINK, lambda p: s.luminance(p) < 200) > 0.02
        s.click(wine, launcher.window, s.LINKS["diy"])
        opened.wait_count(1)
        s.park_pointer(wine)
        harness.wait_until(
            lambda: s.share(s.window_image(wine, launcher.window, "help-after"), s.HELP_LINK,
                            is_red) > 0.02, 10, what="the help link in red")
        assert launcher.close() == 0

    def test_a_program_path_is_handed_to_the_shell_unchanged(self, wine, start_launcher,
                                                             game_folder, config_path, opened):
        game = s.windows_path(game_folder / "Bin" / "DemoGame.exe")
        s.write_config(config_path, http_video=game)
        launcher = up(start_launcher, game_folder)
        s.click(wine, launcher.window, s.LINKS["video"])
        wine.wait_window(harness.DEMO_GAME_TITLE, 30)
        assert started_command_lines(game_folder)
        assert opened.opened() == []  # not a web address: no browser
        assert s.close_demo_games(wine, launcher.post_message) == 1
        assert launcher.close() == 0

    @pytest.mark.parametrize("value", ["no such page at all", "", None],
                             ids=["not-an-address", "empty", "missing"])
    def test_an_address_nothing_can_open_leaves_the_launcher_running(
            self, wine, start_launcher, game_folder, config_path, opened, value):
        s.write_config(config_path, http_Home=value)
        launcher = up(start_launcher, game_folder)
        s.click(wine, launcher.window, s.LINKS["Home"])
        # a press after it proves the first one was handled
        s.click(wine, launcher.window, s.LINKS["bbs"])
        assert opened.wait_count(1) == [s.DEFAULT_VALUES[("http", "bbs")]]
        assert launcher.proc.poll() is None
        assert launcher.close() == 0


# -- window chrome ---------------------------------------------------------------

class TestChrome:
    def test_escape_closes_with_exit_0(self, wine, launcher):
        s.press_escape(wine, launcher.window)
        assert s.wait_exit(launcher.proc) == 0
        assert s.launch_windows(wine) == []

    def test_escape_during_the_start_buttons_wait_ends_there(self, wine, launcher, game_folder):
        # The start button waits half a second before starting the game; the
        # program ends where it is, so no game starts without a window.
        s.click(wine, launcher.window, s.START_BUTTON)
        s.press_escape(wine, launcher.window)
        assert s.wait_exit(launcher.proc) == 0
        time.sleep(1.5)
        assert started_command_lines(game_folder) == []
        assert s.demo_game_windows(wine) == []

    def test_close_button_ends_with_exit_0(self, wine, launcher):
        s.click(wine, launcher.window, s.CLOSE_BUTTON)
        assert s.wait_exit(launcher.proc) == 0
        assert s.launch_windows(wine) == []

    def test_minimise_button_minimises_and_keeps_running(self, wine, launcher):
        assert not s.is_iconic(launcher)
        s.click(wine, launcher.window, s.MINIMISE_BUTTON)
        harness.wait_until(lambda: s.is_iconic(launcher), 15, interval=0.2,
                           what="the Launch window minimised")
        assert launcher.proc.poll() is None
        assert launcher.close() == 0

    def test_corners_are_cut(self, wine, launcher):
        x, y, w, h = wine.geometry(launcher.window)
        settled = s.settled_window_image(wine, launcher.window, (0, 0, 40, 40), "corners")
        screen = s.screen_image(wine, "corners-screen")
        assert settled.size == (w, h)

        def root_colour(px, py):
            # the root window above and left of the window, at the same pixel
            # parity in case the root shows a pattern
            return screen.getpixel((x - 2 + px % 2, y - 2 + py % 2))

        for corner in [(0, 0), (1, 1), (w - 1, 0), (w - 2, 1), (0, h - 1), (1, h - 2),
                       (w - 1, h - 1), (w - 2, h - 2)]:
            assert screen.getpixel((x + corner[0], y + corner[1])) == root_colour(*corner), corner
        for inside in [(7, 7), (w - 8, 7), (7, h - 8), (w - 8, h - 8), (w // 2, 0), (0, h // 2)]:
            pixel = screen.getpixel((x + inside[0], y + inside[1]))
            assert max(abs(a - b) for a, b in zip(pixel, root_colour(*inside))) > 30, inside
        assert launcher.close() == 0


DRAGS_THAT_MOVE = {
    "banner-below-links": s.BANNER_BELOW_LINKS,
    "banner-between-links": s.BANNER_BETWEEN_LINKS,
    "background": s.BACKGROUND,
    "logo": (88, 160),
    "slideshow": (370, 180),
}


class TestDragging:
    @pytest.mark.parametrize("where", list(DRAGS_THAT_MOVE))
    def test_dragging_moves_the_window(self, wine, launcher, where):
        x, y, w, h = wine.geometry(launcher.window)
        s.drag(wine, launcher.window, DRAGS_THAT_MOVE[where], -120, 60)
        harness.wait_until(lambda: wine.geometry(launcher.window)[:2] != (x, y), 10,
                           what="the window to move")
        time.sleep(0.3)  # the last motion events
        moved = wine.geometry(launcher.window)
        assert abs(moved[0] - (x - 120)) <= 4 and abs(moved[1] - (y + 60)) <= 4, moved
        assert moved[2:] == (w, h)
        assert launcher.close() == 0

    def test_pressing_a_link_label_opens_it_and_does_not_move_the_window(
            self, wine, launcher, opened):
        before = wine.geometry(launcher.window)
        s.drag(wine, launcher.window, s.LINKS["video"], -120, 60)
        assert opened.wait_count(1) == [s.DEFAULT_VALUES[("http", "video")]]
        assert wine.geometry(launcher.window) == before
        assert launcher.close() == 0

    @pytest.mark.parametrize("button", ["start", "shortcut"])
    def test_pressing_a_button_does_not_move_the_window(self, wine, launcher, desktop, button):
        before = wine.geometry(launcher.window)
        point = s.START_BUTTON if button == "start" else s.SHORTCUT_BUTTON
        s.drag(wine, launcher.window, point, -120, 60)
        assert s.still_running(launcher.proc, 0.5)
        assert wine.geometry(launcher.window) == before
        assert launcher.close() == 0
