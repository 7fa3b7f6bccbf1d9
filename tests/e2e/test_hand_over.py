"""The hand-over from the running launcher to the one an update brings, end
to end: releases packed and signed by tavoro-publish.exe under Wine and
served by nginx. A launcher that keeps its name release after release, a
desktop shortcut that follows a new name, a close while the update waits
for its outcome, spaces in the paths, a second click, a sign by name that
another program gives, a package leading out of the folder, and a journal
that a power cut left empty.

Launchers that a launcher starts are adopted by the test process (see
update_support.adopt_orphans), so that their exit codes can be read too.
"""

import os
import shutil
import subprocess
import time

import pytest

import harness
import http_server as hs
import startup_support as s
import update_support as us
import version_support as vs
from test_safe_update import OLD, data_of, update_with_the_game_running, with_old_data
from test_signed_update import (accept, pack_release, public_key_and_secret,  # noqa: F401
                                stamped_folder, start, tool)

NEW_LAUNCHER_FAILED = "新版启动器无法启动,已恢复为原来的版本."
# Its line break comes as a space (box_text.exe).
UPDATE_DEFERRED = ("游戏正在运行,部分文件被占用,暂时无法更新. "
                   "关闭游戏后重新打开启动器,即可自动完成更新.")
PACKAGE_DAMAGED = "更新包已损坏,已取消本次更新,游戏不受影响."
# What may be on the screen while an accepted update hands over quietly.
QUIET_TITLES = {harness.LAUNCHER_TITLE, harness.DEMO_GAME_TITLE}


@pytest.fixture
def adopted(wine, win32_build):
    """Programs that launchers start become children of this process, so
    that their exit codes can be read; afterwards whatever a failed test
    left running goes: games, launchers that launchers started. Asked for
    first, so that it ends last, once every Popen of the test was waited
    for."""
    us.adopt_orphans(True)
    yield
    vs.close_games(wine, win32_build)
    us.end_adopted()
    us.adopt_orphans(False)
    us.reap_ended_children()


def titles_until(wine, done, timeout, what):
    """Waits until done() is true; returns every window title seen on the
    way."""
    seen = set()

    def probe():
        seen.update(name for _, name in wine.visible_windows())
        return done()

    harness.wait_until(probe, timeout, interval=0.1, what=what)
    return seen


def exes(folder):
    return sorted(p for p in us.tree(folder) if p.lower().endswith(".exe"))


def release(wine, tool, tmp_path, secret, nginx, folder, current, name, version):
    """Packs `current` (a launcher of the folder) as the release's `name`
    and puts the package on nginx; returns (package bytes, page text)."""
    path = f"/update-{version}.zip"
    package, page = pack_release(wine, tool, tmp_path, secret, os.path.join(folder, current),
                                 name, version, nginx.url(path))
    nginx.put(path, package)
    return package, page


def outcome_box_while_the_window_stays(wine, launcher, timeout=60):
    """After a close during the update: the window stays and the launcher
    runs until the outcome's box shows; returns the box."""
    def probe():
        assert launcher.proc.poll() is None, \
            f"the launcher ended ({launcher.proc.returncode}) before telling the outcome"
        shown = wine.visible_windows()
        assert launcher.window in [wid for wid, _ in shown], "the window went before the outcome"
        return [wid for wid, name in shown if name == us.QUESTION_TITLE]

    return harness.wait_until(probe, timeout, interval=0.1, what="the outcome's box")[0]


# -- a launcher that keeps its name ------------------------------------------------

class TestTheNameKept:
    @pytest.mark.parametrize("name", ["launcher.exe", "星海启动器.exe"])
    def test_two_releases_in_a_row_hand_over_quietly_and_leave_nothing_behind(
            self, adopted, wine, tool, tmp_path, start_launcher, stamped_folder, nginx,
            public_key_and_secret, win32_build, name):
        folder = str(stamped_folder)
        if name != "launcher.exe":
            os.rename(os.path.join(folder, "launcher.exe"), os.path.join(folder, name))
        current = start_launcher(stamped_folder, name)
        current.wait_window()
        for version in ("5.1", "5.2"):
            package, page = release(wine, tool, tmp_path, public_key_and_secret[1], nginx, folder,
                                    name, name, version)
            accept(wine, current, page, win32_build)
            seen = titles_until(wine, lambda: current.proc.poll() is not None, 60,
                                f"the launcher before {version} to end")
            assert current.proc.returncode == 0, version
            old_pid = current.proc.pid
            # The new launcher runs from its staged file and takes the name
            # once the old one has ended.
            current = us.successor(wine, current, name + ".unpacking", win32_build)
            assert current.proc.pid != old_pid
            # The old file goes once its process has ended: nothing is asked.
            seen |= titles_until(wine, lambda: not us.update_leftovers(folder), 20,
                                 f"the leftovers of {version} to go: {us.update_leftovers(folder)}")
            assert seen <= QUIET_TITLES, f"{version}: shown besides the launcher: {seen}"
            assert us.read(os.path.join(folder, name)) == us.package_entries(package)[name]
            assert us.read(os.path.join(folder, f"notes-{version}.txt")) == \
                f"release {version}\r\n".encode()
            assert exes(folder) == sorted(["Bin/DemoGame.exe", name])
            assert current.proc.poll() is None, f"the {version} launcher ended"
        assert current.close() == 0


# -- a desktop shortcut follows a new name -----------------------------------------

def test_the_desktop_shortcut_opens_the_new_launcher_after_a_rename(
        adopted, wine, tool, tmp_path, start_launcher, stamped_folder, nginx,
        public_key_and_secret, win32_build, desktop):
    folder = str(stamped_folder)
    old_path = s.windows_path(os.path.join(folder, "launcher.exe"))
    new_path = s.windows_path(os.path.join(folder, us.NEW_LAUNCHER))
    link = os.path.join(desktop, "星海漫游VR" + s.SHORTCUT_SUFFIX + ".lnk")
    old = start(start_launcher, stamped_folder)
    s.click(wine, old.window, s.SHORTCUT_BUTTON)
    harness.wait_until(lambda: os.path.exists(link) and s.lnk_mentions(us.read(link), old_path),
                       30, what="the shortcut to launcher.exe")

    _, page = release(wine, tool, tmp_path, public_key_and_secret[1], nginx, folder,
                      "launcher.exe", us.NEW_LAUNCHER, "5.1")
    accept(wine, old, page, win32_build)
    new = us.successor(wine, old, us.NEW_LAUNCHER, win32_build)
    assert old.proc.returncode == 0
    harness.wait_until(lambda: not os.path.exists(os.path.join(folder, "launcher.exe")), 15,
                       what="the old launcher to be deleted")
    data = us.read(link)
    assert s.lnk_mentions(data, new_path) and not s.lnk_mentions(data, old_path)
    assert s.shortcuts(desktop) == [os.path.basename(link)]
    assert new.close() == 0

    # The player's double click on the shortcut: the shell follows the link.
    done = wine.run("start", "/unix", link, cwd=desktop)
    assert done.returncode == 0, done.stderr
    opened = us.adopted_launcher(wine, folder, us.NEW_LAUNCHER, win32_build)
    assert opened.close() == 0


# -- a close while the update waits for its outcome ---------------------------------

def test_a_close_while_a_new_launcher_fails_slowly_waits_for_the_outcome(
        adopted, wine, tool, tmp_path, start_launcher, stamped_folder, nginx,
        public_key_and_secret, win32_build):
    folder = str(stamped_folder)
    with_old_data(stamped_folder)
    own = us.read(os.path.join(folder, "launcher.exe"))
    before = us.tree(folder)
    # Shows nothing, ends with 1 after 5 s: well within the hand-over's wait.
    stem = os.path.splitext(us.NEW_LAUNCHER)[0]
    _, launcher = update_with_the_game_running(
        wine, tool, tmp_path, public_key_and_secret[1], nginx, start_launcher, stamped_folder,
        {us.NEW_LAUNCHER: os.path.join(win32_build, "quick_exit.exe")},
        extra=[(stem + ".sleep", b"5000"), (stem + ".exitcode", b"1")])
    vs.close_games(wine, win32_build)
    new_exe = os.path.join(folder, us.NEW_LAUNCHER)
    new = us.AdoptedProcess(harness.wait_until(lambda: us.wine_processes_of(new_exe), 60,
                                               what="the new launcher to start")[0])
    s.press_escape(wine, launcher.window)

    box = outcome_box_while_the_window_stays(wine, launcher)
    # Told once the new launcher had failed, not before.
    assert new.poll() == 1
    us.wait_box_saying(wine, launcher, win32_build, NEW_LAUNCHER_FAILED)
    assert us.read(os.path.join(folder, "launcher.exe")) == own
    assert data_of(folder) == OLD
    assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
    us.press(wine, box, "Return")
    # The close asked for is done now.
    assert us.wait_exit(launcher.proc, 15) == 0
    assert not us.boxes(wine, us.QUESTION_TITLE)
    assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}

    again = start(start_launcher, stamped_folder)
    assert again.close() == 0


def test_a_close_while_the_game_holds_a_file_waits_for_the_outcome(
        adopted, wine, tool, tmp_path, start_launcher, stamped_folder, nginx, public_key_and_secret,
        win32_build):
    folder = str(stamped_folder)
    with_old_data(stamped_folder)
    (stamped_folder / "Bin" / "DemoGame.hold").write_bytes(b"..\\Data\\level.pak\r\n")
    own = us.read(os.path.join(folder, "launcher.exe"))
    package, launcher = update_with_the_game_running(
        wine, tool, tmp_path, public_key_and_secret[1], nginx, start_launcher, stamped_folder,
        {us.NEW_LAUNCHER: stamped_folder / "launcher.exe"})
    # The journal is written before the first file moves; the held file
    # then keeps the apply asking again for 5 s.
    harness.wait_until(lambda: os.path.exists(os.path.join(folder, us.JOURNAL)), 60,
                       interval=0.02, what="the apply to begin")
    # Alt+F4 as a player gives it: the game's window was in front, so the
    # launcher's is clicked first (a key goes to the active window).
    s.click(wine, launcher.window, s.BACKGROUND)
    wine.x("xdotool", "key", "alt+F4")

    box = outcome_box_while_the_window_stays(wine, launcher)
    us.wait_box_saying(wine, launcher, win32_build, UPDATE_DEFERRED)
    assert data_of(folder) == OLD
    assert us.read(os.path.join(folder, "launcher.exe")) == own
    assert not os.path.exists(os.path.join(folder, us.NEW_LAUNCHER))
    assert us.read(os.path.join(folder, "update.zip")) == package, "the package is kept"
    assert us.update_leftovers(folder) == [us.KEPT_NOTE, "update.zip"]
    us.press(wine, box, "Return")
    assert us.wait_exit(launcher.proc, 15) == 0
    vs.close_games(wine, win32_build)
    assert data_of(folder) == OLD


# -- spaces in the paths ---------------------------------------------------------------

def runs_logged(exe):
    """The command lines a copy of the demo game at `exe` was started with."""
    log = os.path.splitext(str(exe))[0] + ".log"
    if not os.path.exists(log):
        return []
    return [line[len("cmdline="):] for line in us.read(log).decode("gbk").splitlines()
            if line.startswith("cmdline=")]


def folder_with_spaces(tmp_path, folder, win32_build):
    """Moves the game folder to "VR Games\\Star Sea" and puts copies of the
    demo game where the first words of an unquoted command line for a
    program in it would lead; returns (folder, decoys)."""
    parent = tmp_path / "VR Games"
    parent.mkdir()
    moved = parent / "Star Sea"
    shutil.move(str(folder), str(moved))
    decoys = [tmp_path / "VR.exe", parent / "Star.exe", moved / "New.exe"]
    for decoy in decoys:
        shutil.copyfile(os.path.join(win32_build, "DemoGame.exe"), decoy)
    return moved, decoys


class TestSpacesInThePaths:
    def test_the_new_launcher_runs_and_no_other_program_in_its_place(
            self, adopted, wine, tool, tmp_path, start_launcher, stamped_folder, nginx,
            public_key_and_secret, win32_build):
        folder, decoys = folder_with_spaces(tmp_path, stamped_folder, win32_build)
        name = "New Launcher.exe"
        _, page = release(wine, tool, tmp_path, public_key_and_secret[1], nginx, str(folder),
                          "launcher.exe", name, "5.1")
        old = start(start_launcher, folder)
        accept(wine, old, page, win32_build)
        new = us.successor(wine, old, name, win32_build)
        assert old.proc.returncode == 0
        # Deleted by a command line of its own, its path quoted too.
        harness.wait_until(lambda: not os.path.exists(folder / "launcher.exe"), 15,
                           what="the old launcher to be deleted")
        assert exes(folder) == sorted(["Bin/DemoGame.exe", "New.exe", name])
        # The game's start has a test of its own: here only the hand-over's
        # command line counts.
        ran = {str(d): runs_logged(d) for d in decoys}
        for_new = [line for lines in ran.values() for line in lines if name.lower() in line.lower()]
        assert for_new == [], ran
        assert ran[str(folder / "New.exe")] == []
        assert new.close() == 0

    def test_the_game_runs_and_no_other_program_in_its_place(
            self, adopted, wine, tmp_path, start_launcher, e2e_folder, win32_build):
        folder, decoys = folder_with_spaces(tmp_path, e2e_folder, win32_build)
        launcher = start(start_launcher, folder)
        vs.click_start(wine, launcher)  # the page is nowhere: nothing is asked
        harness.wait_until(lambda: vs.game_starts(str(folder)) or
                           any(runs_logged(d) for d in decoys), 30, what="a program to start")
        ran = {str(d): runs_logged(d) for d in decoys if runs_logged(d)}
        assert ran == {}, "another program ran in the game's place"
        assert vs.game_starts(str(folder)) == 1
        vs.close_games(wine, win32_build)
        assert launcher.close() == 0


# -- a second click --------------------------------------------------------------------

def test_clicks_while_the_page_is_read_and_while_asked_do_nothing(
        adopted, wine, start_launcher, e2e_folder, win32_build):
    folder = str(e2e_folder)
    launcher = start(start_launcher, e2e_folder)
    page = vs.version_page().encode()
    x, y, w, h = vs.START_BUTTON
    server = hs.Server(hs.PORT)
    try:
        # The page takes two seconds: the second click lands while it is read.
        server.serve_page(page, rate=len(page) / 2)
        sx, sy = s.screen_point(wine, launcher.window, (x + w // 2, y + h // 2))
        wine.x("xdotool", "mousemove", str(sx), str(sy), "click", "--repeat", "2", "--delay",
               "150", "1")
        server.wait_requests(1)
        question = vs.wait_question(wine, launcher)
        vs.click_start(wine, launcher)  # while the question is up
        time.sleep(1.0)  # no event marks a click that does nothing
        assert vs.questions(wine) == [question]
        vs.answer(wine, question, yes=False)
        vs.assert_no_question(wine, launcher)
        assert len(server.requests_for(hs.VERSION_PATH)) == 1
        assert vs.game_starts(folder) == 1

        # Once answered, the button works again.
        server.serve_page(page)
        vs.click_start(wine, launcher)
        vs.answer(wine, vs.wait_question(wine, launcher), yes=False)
        assert len(server.requests_for(hs.VERSION_PATH)) == 2
    finally:
        server.stop()
    harness.wait_until(lambda: vs.game_starts(folder) == 2, 30, what="the second game start")
    vs.close_games(wine, win32_build)
    assert launcher.close() == 0


# -- a sign by name proves nothing ------------------------------------------------------

def test_a_shown_sign_that_another_program_holds_does_not_keep_a_crashing_launcher(
        adopted, wine, tool, tmp_path, start_launcher, stamped_folder, nginx, public_key_and_secret,
        win32_build):
    folder = str(stamped_folder)
    with_old_data(stamped_folder)
    own = us.read(os.path.join(folder, "launcher.exe"))
    before = us.tree(folder)
    name = "StarLauncher.exe"  # ASCII: the holder takes the sign's name as an argument
    # The name launchers once made when their window showed: a sign anyone can give.
    sign = "tavoro-shown:" + us.windows_path(os.path.join(folder, name)).lower().replace("\\", "/")
    hold_event = os.path.join(win32_build, "hold_event.exe")
    holder = wine.start(hold_event, sign, "120000", stdout=subprocess.PIPE)
    try:
        assert holder.stdout.readline().strip() == b"held"
        assert wine.run(hold_event, sign, "0").returncode == 3, "the sign is not there to see"
        # Crashes after 2 s without a window.
        _, launcher = update_with_the_game_running(
            wine, tool, tmp_path, public_key_and_secret[1], nginx, start_launcher,
            stamped_folder, {name: os.path.join(win32_build, "quick_exit.exe")},
            extra=[("StarLauncher.sleep", b"2000"), ("StarLauncher.exitcode", b"0xC0000005")])
        vs.close_games(wine, win32_build)
        box = us.wait_box_saying(wine, launcher, win32_build, NEW_LAUNCHER_FAILED, timeout=90)
        assert us.read(os.path.join(folder, "launcher.exe")) == own
        assert data_of(folder) == OLD
        assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
        us.press(wine, box, "Return")
        assert us.still_running(launcher.proc, 2.0)
        assert holder.poll() is None, "the sign was let go meanwhile"
    finally:
        holder.kill()
        holder.wait(10)
    assert launcher.close() == 0


# -- a package leading out of the folder ------------------------------------------------

def drive_c_listing(wine):
    return set(os.listdir(os.path.join(wine.prefix, "drive_c")))


def test_an_entry_leading_out_of_the_folder_is_told_as_damage_and_nothing_opens(
        adopted, wine, start_launcher, e2e_folder, nginx, browser, win32_build):
    folder = str(e2e_folder)
    outside = os.path.dirname(folder)
    nginx.put(us.PACKAGE_PATH, us.make_zip([
        ("before.txt", b"first"),
        (b"..\\outside.txt", b"escaped"),
        ("after.txt", b"never"),
        (us.NEW_LAUNCHER, us.read(os.path.join(win32_build, "DemoGame.exe"))),
    ]))
    before = us.tree(folder)
    outside_before = set(os.listdir(outside))
    drive_c_before = drive_c_listing(wine)
    browser.clear()
    launcher = start(start_launcher, e2e_folder)
    us.accept_update(wine, launcher, nginx.url(us.PACKAGE_PATH), win32_build)

    box = us.wait_box_saying(wine, launcher, win32_build, PACKAGE_DAMAGED)
    assert not os.path.exists(os.path.join(folder, "update.zip"))
    us.press(wine, box, "Return")
    assert us.still_running(launcher.proc, 2.0), "the launcher ended"
    assert not us.boxes(wine, us.QUESTION_TITLE) and not us.boxes(wine, us.OPEN_PACKAGE_TITLE)
    assert browser.opened() == [], "something was opened through the shell"
    assert set(us.tree(folder)) == set(before) | {"Bin/DemoGame.log"}
    assert set(os.listdir(outside)) == outside_before
    assert drive_c_listing(wine) == drive_c_before

    # The start button works again: the game starts and the page is read.
    vs.answer(wine, us.offer_update(wine, launcher, vs.version_page()), yes=False)
    harness.wait_until(lambda: vs.game_starts(folder) == 2, 30, what="the second game start")
    vs.close_games(wine, win32_build)
    assert launcher.close() == 0


# -- a journal a power cut left empty ---------------------------------------------------

def test_an_empty_journal_is_set_aside_and_the_next_update_applies(
        adopted, wine, tool, tmp_path, start_launcher, stamped_folder, nginx,
        public_key_and_secret, win32_build):
    folder = str(stamped_folder)
    journal = os.path.join(folder, us.JOURNAL)
    with open(journal, "wb"):
        pass
    before = us.tree(folder)
    old = start(start_launcher, stamped_folder)
    harness.wait_until(lambda: not os.path.exists(journal), 5,
                       what="the empty journal to leave its name")
    added = {p: size for p, size in us.tree(folder).items() if p not in before}
    assert list(added.values()) == [0], f"not set aside whole under a name of its own: {added}"

    _, page = release(wine, tool, tmp_path, public_key_and_secret[1], nginx, folder,
                      "launcher.exe", us.NEW_LAUNCHER, "5.1")
    accept(wine, old, page, win32_build)
    new = us.successor(wine, old, us.NEW_LAUNCHER, win32_build)
    assert old.proc.returncode == 0
    harness.wait_until(lambda: not os.path.exists(os.path.join(folder, "launcher.exe")), 15,
                       what="the old launcher to be deleted")
    assert us.read(os.path.join(folder, "notes-5.1.txt")) == b"release 5.1\r\n"
    assert us.update_leftovers(folder) == []
    assert new.close() == 0
