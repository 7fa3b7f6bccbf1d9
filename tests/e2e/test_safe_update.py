"""Updates that are applied all at once or not at all, end to end: each
package is made by tavoro-publish.exe under Wine and served by nginx. A file
the running game holds defers the whole update to the next start; a new
launcher that crashes at start is taken back; a program that ends with 0
completes the hand-over; and a new launcher sharing the instance name (bh1)
opens its window.
"""

import os
import shutil

import harness
import startup_support as s
import update_support as us
import version_support as vs
from test_signed_update import (RunningLauncher, close_launch_window, launchers_ended,  # noqa: F401
                                public_key_and_secret, publish, stamped_folder, start, tool)

OLD = {"Data/a.pak": b"old a", "Data/level.pak": b"old level"}
NEW = {"Data/a.pak": b"new a, a little longer", "Data/level.pak": b"new level"}


def with_old_data(folder):
    for name, data in OLD.items():
        path = folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)


def pack(wine, tool, tmp_path, secret, url, programs, extra=()):
    """A 5.1 release of the new data, `programs` ({name: source exe}, the
    first one the new launcher) and `extra` files; returns its page."""
    source = tmp_path / "release"
    for name, data in list(NEW.items()) + list(extra):
        (source / name).parent.mkdir(parents=True, exist_ok=True)
        (source / name).write_bytes(data)
    for name, exe in programs.items():
        shutil.copyfile(exe, source / name)
    upload = tmp_path / "upload"
    publish(wine, tool, "pack", "--from", us.windows_path(source), "--launcher",
            next(iter(programs)), "--version", "5.1", "--url", url, "--page", vs.VERSION_URL,
            "--secret", us.windows_path(secret), "--out", us.windows_path(upload))
    return us.read(upload / url.rsplit("/", 1)[1]), (upload / "version.html").read_text("utf-8")


def data_of(folder):
    return {name: us.read(os.path.join(folder, name)) for name in OLD}


def update_with_the_game_running(wine, tool, tmp_path, secret, nginx, start_launcher, folder,
                                 programs, extra=()):
    """Packs and serves the release, starts the folder's launcher and
    answers Yes; the game the click started goes on running. Returns
    (package bytes, the launcher)."""
    package, page = pack(wine, tool, tmp_path, secret, nginx.url("/update.zip"), programs, extra)
    nginx.put("/update.zip", package)
    launcher = start(start_launcher, folder)
    vs.answer(wine, us.offer_update(wine, launcher, page), yes=True)
    return package, launcher


def test_a_file_the_game_holds_defers_the_whole_update_to_the_next_start(
        wine, tool, tmp_path, start_launcher, stamped_folder, nginx, public_key_and_secret,
        win32_build, launchers_ended):
    folder = str(stamped_folder)
    with_old_data(stamped_folder)
    # The game keeps its level open while it runs, as games do.
    (stamped_folder / "Bin" / "DemoGame.hold").write_bytes(b"..\\Data\\level.pak\r\n")
    package, launcher = update_with_the_game_running(
        wine, tool, tmp_path, public_key_and_secret[1], nginx, start_launcher, stamped_folder,
        {us.NEW_LAUNCHER: stamped_folder / "launcher.exe"})

    # Told it waits for the next start; nothing changed, not even a.pak.
    deferred = us.wait_box(wine, us.QUESTION_TITLE, launcher, timeout=90)
    assert data_of(folder) == OLD
    assert not os.path.exists(os.path.join(folder, us.NEW_LAUNCHER))
    assert us.read(os.path.join(folder, "update.zip")) == package, "the package is kept"
    assert not [p for p in us.tree(folder) if p.endswith((".unpacking", ".backup"))]
    us.press(wine, deferred, "Return")
    assert us.still_running(launcher.proc, 1.0)
    vs.close_games(wine, win32_build)
    assert launcher.close() == 0

    # The next start, the game ended: the kept package goes in and the new
    # launcher takes over, with no click, so no page read and no download.
    again = start(start_launcher, stamped_folder)
    new = RunningLauncher(wine, stamped_folder / us.NEW_LAUNCHER)
    assert us.wait_exit(again.proc, 30) == 0
    assert data_of(folder) == NEW
    assert not os.path.exists(os.path.join(folder, "update.zip"))
    assert vs.game_starts(folder) == 1, "the next start started nothing but the new launcher"
    close_launch_window(wine, win32_build)
    harness.wait_until(lambda: new.poll() is not None, 15, what="the new launcher to end")


def test_a_new_launcher_that_crashes_at_start_is_taken_back(
        wine, tool, tmp_path, start_launcher, stamped_folder, nginx, public_key_and_secret,
        win32_build):
    folder = str(stamped_folder)
    with_old_data(stamped_folder)
    own = us.read(os.path.join(folder, "launcher.exe"))
    crashing = os.path.join(win32_build, "quick_exit.exe")
    # The package replaces the running launcher's own file too.
    package, launcher = update_with_the_game_running(
        wine, tool, tmp_path, public_key_and_secret[1], nginx, start_launcher, stamped_folder,
        {us.NEW_LAUNCHER: crashing, "launcher.exe": crashing})
    vs.close_games(wine, win32_build)

    failed = us.wait_box(wine, us.QUESTION_TITLE, launcher, timeout=90)
    assert us.read(os.path.join(folder, "launcher.exe")) == own
    assert data_of(folder) == OLD
    assert not os.path.exists(os.path.join(folder, us.NEW_LAUNCHER))
    assert not os.path.exists(os.path.join(folder, "update.zip"))
    assert not [p for p in us.tree(folder) if p.endswith((".unpacking", ".backup"))]
    us.press(wine, failed, "Return")
    # The window stays, and the start button works again.
    assert us.still_running(launcher.proc, 2.0)
    harness.wait_until(lambda: vs.game_starts(folder) == 1, 10, what="the first game start")
    vs.click_start(wine, launcher)
    harness.wait_until(lambda: vs.game_starts(folder) == 2, 30, what="the second game start")
    vs.close_games(wine, win32_build)
    assert launcher.close() == 0


def test_a_program_that_ends_with_0_completes_the_hand_over(
        wine, tool, tmp_path, start_launcher, stamped_folder, nginx, public_key_and_secret,
        win32_build):
    folder = str(stamped_folder)
    with_old_data(stamped_folder)
    installer = os.path.splitext(us.NEW_LAUNCHER)[0] + ".exitcode"
    package, launcher = update_with_the_game_running(
        wine, tool, tmp_path, public_key_and_secret[1], nginx, start_launcher, stamped_folder,
        {us.NEW_LAUNCHER: os.path.join(win32_build, "quick_exit.exe")}, extra=[(installer, b"0")])
    vs.close_games(wine, win32_build)
    assert us.wait_exit(launcher.proc, 60) == 0
    harness.wait_until(lambda: not os.path.exists(os.path.join(folder, "launcher.exe")), 15,
                       what="the old launcher to be deleted")
    assert data_of(folder) == NEW


def test_a_new_launcher_with_the_same_instance_name_opens_its_window(
        wine, tool, tmp_path, start_launcher, stamped_folder, nginx, public_key_and_secret,
        win32_build, launchers_ended):
    folder = str(stamped_folder)
    s.write_config(stamped_folder / "tavoro" / "tavoroConfig.ini", url_bh1="星海漫游街机")
    package, launcher = update_with_the_game_running(
        wine, tool, tmp_path, public_key_and_secret[1], nginx, start_launcher, stamped_folder,
        {us.NEW_LAUNCHER: stamped_folder / "launcher.exe"})
    vs.close_games(wine, win32_build)
    new = RunningLauncher(wine, stamped_folder / us.NEW_LAUNCHER)
    assert us.wait_exit(launcher.proc, 30) == 0
    assert not [w for w, name in wine.visible_windows() if name == s.SECOND_COPY_TITLE]
    assert new.poll() is None
    assert data_of(folder) == NEW
    close_launch_window(wine, win32_build)
    harness.wait_until(lambda: new.poll() is not None, 15, what="the new launcher to end")
