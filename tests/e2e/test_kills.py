"""Hard kills during the update, end to end: the old launcher (and the new
one, once it runs) is killed mid-download, mid-unpack, and between the new
launcher's start and the old exe's removal. Whatever a kill leaves, the game
folder must hold a launcher that starts, nothing half-written under a real
name, and the next update must go through from there.

The package's new launcher is launcher-e2e.exe itself, so the folder's
launcher after a hand-over is a real one. What each kill left is printed
(pytest -s) and saved under build/e2e-artifacts/kills-<step>.txt.
"""

import os
import shutil
import signal
from concurrent.futures import ThreadPoolExecutor

import pytest

import harness
import http_server as hs
import update_support as us
import version_support as vs
from conftest import ARTIFACTS

NEXT_LAUNCHER = "塔沃VR游戏启动器5.2.exe"
# A new launcher of the running one's name starts from its staged file.
SUCCESSOR = "launcher.exe.unpacking"
LAUNCHERS = ("launcher.exe", us.NEW_LAUNCHER, NEXT_LAUNCHER, SUCCESSOR)
PACKAGE = "update.zip"
TEMPORARY = PACKAGE + ".tmp"
PARTS = 6
# Large, highly compressible entries make the unpack take seconds while the
# download stays small.
PART_SIZE = {"download": 64 << 10, "unpack": 24 << 20, "handover": 64 << 10}
DOWNLOAD_RATE = 100 * 1024  # bytes/s: seconds for the first package


def part(tag, index, size):
    unit = f"{tag} part {index};".encode()
    return (unit * (size // len(unit) + 1))[:size]


def package_entries(tag, size, launcher_name, launcher):
    # The launcher last, as the unpack's last step before the hand-over.
    return [(f"Data/part{i}.bin", part(tag, i, size)) for i in range(PARTS)] + [
        (launcher_name, launcher)]


def size_or_none(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return None


def kill_launchers(folder):
    """SIGKILL to the Wine processes of every launcher of the folder: the
    process dies as it stands, with no WM_CLOSE and no clean-up of its own."""
    exes = [os.path.join(folder, name) for name in LAUNCHERS]
    for exe in exes:
        for pid in us.wine_processes_of(exe):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
    harness.wait_until(lambda: not any(us.wine_processes_of(e) for e in exes), 10,
                       what="the killed launchers' processes to go")


def kill_when(moment, folder):
    harness.wait_until(lambda: moment(folder), 60, interval=0.01, what="the moment to kill")
    kill_launchers(folder)


def listing(folder, before):
    """What differs from the fresh game folder: + added, ~ changed, - gone;
    = an unchanged launcher."""
    now = us.tree(folder)
    lines = []
    for p in sorted(set(now) | set(before)):
        if p not in now:
            lines.append(f"- {p}")
        elif p not in before:
            lines.append(f"+ {p} ({now[p]} B)")
        elif us.read(os.path.join(folder, p)) != before[p]:
            lines.append(f"~ {p} ({now[p]} B)")
        elif p in LAUNCHERS:
            lines.append(f"= {p}")
    return lines


def record(step, when, lines, mode="a"):
    text = f"at step {step} ({when}), the folder held:\n" + "".join(f"  {l}\n" for l in lines)
    print("\n" + text, end="")
    os.makedirs(ARTIFACTS, exist_ok=True)
    with open(os.path.join(ARTIFACTS, f"kills-{step}.txt"), mode, encoding="utf-8") as f:
        f.write(text)


@pytest.fixture
def leftovers(e2e_folder, wine, win32_build):
    """Ends whatever a failed case left running: launchers of the folder, games.
    Asked for before start_launcher, so that its failure screenshot comes first."""
    yield
    kill_launchers(str(e2e_folder))
    vs.close_games(wine, win32_build)


KILL_MOMENT = {
    # The temporary package has grown: the transfer is under way.
    "download": lambda folder: (size_or_none(os.path.join(folder, TEMPORARY)) or 0) >= 64 << 10,
    # The first entry is staged and the second one being written.
    "unpack": lambda folder: os.path.exists(os.path.join(folder, "Data", "part0.bin.unpacking")),
    # The new launcher's process exists: its earliest sign. The old one
    # waits over a second after that start before it removes itself.
    "handover": lambda folder: us.wine_processes_of(os.path.join(folder, us.NEW_LAUNCHER)),
}


@pytest.mark.parametrize("step", list(KILL_MOMENT))
def test_kill_leaves_a_working_launcher_and_the_next_update_goes_through(
        step, leftovers, wine, start_launcher, e2e_folder, package_server, win32_build):
    folder = str(e2e_folder)
    launcher_exe = us.read(os.path.join(folder, "launcher.exe"))
    before = {p: us.read(os.path.join(folder, p)) for p in us.tree(folder)}

    first = package_entries("first", PART_SIZE[step], us.NEW_LAUNCHER, launcher_exe)
    first_zip = us.make_zip(first)
    package_server.serve(us.PACKAGE_PATH, hs.Answer(
        first_zip, content_type=us.PACKAGE_TYPE,
        rate=DOWNLOAD_RATE if step == "download" else None))
    old = start_launcher(e2e_folder)
    old.wait_window()
    # Watched from another thread: the unpack can be over before the
    # accepting steps (closing the game the click started) are.
    with ThreadPoolExecutor(1) as pool:
        killed = pool.submit(kill_when, KILL_MOMENT[step], folder)
        us.accept_update(wine, old, package_server.url(us.PACKAGE_PATH), win32_build)
        killed.result(timeout=90)
    left = listing(folder, before)
    record(step, "after the kill", left, mode="w")

    # Nothing half-written stands under a real name: each entry's file is
    # absent or complete, the package (moved, never copied) is whole, and
    # the killed launcher is untouched.
    for name, data in first:
        path = os.path.join(folder, name)
        assert not os.path.exists(path) or us.read(path) == data, f"{name} is partial: {left}"
    if os.path.exists(os.path.join(folder, PACKAGE)):
        assert us.read(os.path.join(folder, PACKAGE)) == first_zip, left
    old_path = os.path.join(folder, "launcher.exe")
    if os.path.exists(old_path):
        assert us.read(old_path) == launcher_exe, left
    if step == "handover":
        assert os.path.exists(old_path), f"killed too late: the old launcher was gone: {left}"
    stale_partials = {p for p in us.tree(folder) if p.endswith(".unpacking")}

    # The launcher to use now: the new one when it is fully in place.
    new_path = os.path.join(folder, us.NEW_LAUNCHER)
    in_place = os.path.exists(new_path) and us.read(new_path) == launcher_exe
    assert in_place or os.path.exists(old_path), f"no launcher left: {left}"
    assert in_place == (step == "handover"), f"the kill missed the step {step}: {left}"
    current = harness.Launcher(wine, folder, win32_build)
    current.exe = new_path if in_place else old_path
    current.start().wait_window()
    assert current.close() == 0
    current.start().wait_window()

    # The next update from that launcher: a different package whose new
    # launcher has another name.
    second = package_entries("second", 4096, NEXT_LAUNCHER, launcher_exe)
    package_server.serve(us.PACKAGE_PATH, hs.Answer(us.make_zip(second),
                                                    content_type=us.PACKAGE_TYPE))
    # A stale temporary package must be gone before the new one is asked for.
    package_server.observer = lambda: size_or_none(os.path.join(folder, TEMPORARY))
    asked = len(package_server.requests_for(us.PACKAGE_PATH))
    us.accept_update(wine, current, package_server.url(us.PACKAGE_PATH), win32_build,
                     title=NEXT_LAUNCHER)
    request = package_server.wait_requests(asked + 1, us.PACKAGE_PATH, timeout=60)[asked]
    assert request.observed in (None, 0), f"{request.observed} B of an old download were there"

    assert us.wait_exit(current.proc, 90) == 0
    harness.wait_until(lambda: not os.path.exists(current.exe), 10,
                       what="the launcher that updated to be deleted")
    next_path = os.path.join(folder, NEXT_LAUNCHER)
    harness.wait_until(lambda: us.wine_processes_of(next_path), 10, what="the next launcher")
    wine.wait_window(harness.LAUNCHER_TITLE, 60)
    record(step, "after the next update", listing(folder, before))
    for name, data in second:
        assert us.read(os.path.join(folder, name)) == data, name
    assert not os.path.exists(os.path.join(folder, PACKAGE))
    assert not os.path.exists(os.path.join(folder, TEMPORARY))
    # The update adds no partial file of its own, whatever the kill left.
    assert {p for p in us.tree(folder) if p.endswith(".unpacking")} <= stale_partials

    assert current.post("/wait:2000", "close"), "no Launch window to close"
    harness.wait_until(lambda: not us.wine_processes_of(next_path), 15,
                       what="the next launcher to close")


# -- every step of staging, apply and recovery -------------------------------------

CHANGE_LOG = "changes.log"
OLD_DATA = {"Data/a.pak": b"old a", "Data/keep.txt": b"not in the package"}
NEW_DATA = {"Data/a.pak": b"new a, of another size", "Levels/one/b.pak": b"new b"}


def changes(path):
    """[(operation, path)] of the log the launcher wrote, in order."""
    if not os.path.exists(path):
        return []
    lines = us.read(path).decode("gbk").splitlines()
    return [tuple(line.split(" ", 2)[1:]) for line in lines]


def data_state(folder):
    """'old' or 'new' when every file of the update is one or the other."""
    def now(name):
        path = os.path.join(folder, name)
        return us.read(path) if os.path.exists(path) else None
    if all(now(n) == d for n, d in OLD_DATA.items()) and now("Levels/one/b.pak") is None:
        return "old"
    if all(now(n) == d for n, d in NEW_DATA.items()) and now("Data/keep.txt") == OLD_DATA[
            "Data/keep.txt"]:
        return "new"
    return "mixed"


def fresh_folder(template, folder):
    # A deleter the last launcher left may still be at its work: emptying the
    # folder under it races it for the same file.
    harness.wait_until(lambda: not us.processes_within(folder), 15,
                       what="the processes of the last run to end")
    if os.path.exists(folder):
        shutil.rmtree(folder)
    shutil.copytree(template, folder)
    for name, data in OLD_DATA.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def start_in(wine, folder, win32_build, exe, env=None):
    launcher = harness.Launcher(wine, folder, win32_build)
    launcher.exe = os.path.join(folder, exe)
    return launcher.start(env=env)


# The launchers a package carries, and the one the page names.
RELEASES = {
    "renamed": ([us.NEW_LAUNCHER], us.NEW_LAUNCHER),
    # The running launcher's own file moves last, after the new launcher is
    # in place: a kill between the two leaves a launcher at the new name.
    "renamed, carrying the old name": ([us.NEW_LAUNCHER, "launcher.exe"], us.NEW_LAUNCHER),
    # The new launcher takes the name only once the old one has ended: a
    # launcher stays at the name throughout.
    "name kept": (["launcher.exe"], "launcher.exe"),
}


@pytest.mark.parametrize("release", list(RELEASES))
def test_a_kill_at_every_change_of_the_update_and_of_its_recovery_ends_all_old_or_all_new(
        release, leftovers, wine, e2e_folder, package_server, win32_build, tmp_path):
    template = str(tmp_path / "template")
    shutil.copytree(str(e2e_folder), template)
    folder = str(e2e_folder)
    launcher_exe = us.read(os.path.join(template, "launcher.exe"))
    carried, title = RELEASES[release]
    entries = list(NEW_DATA.items()) + [(name, launcher_exe) for name in carried]
    package_server.serve(us.PACKAGE_PATH, hs.Answer(us.make_zip(entries),
                                                    content_type=us.PACKAGE_TYPE))
    log = str(tmp_path / CHANGE_LOG)
    journal_path = os.path.join(folder, "tavoro-update.journal")

    def update(env):
        launcher = start_in(wine, folder, win32_build, "launcher.exe", env)
        launcher.wait_window()
        us.accept_update(wine, launcher, package_server.url(us.PACKAGE_PATH), win32_build,
                         title=title)
        return launcher

    # An undisturbed update, its changes logged: the kill points.
    fresh_folder(template, folder)
    trace = str(tmp_path / "trace.log")
    whole = update({"TAVORO_CHANGE_LOG": log, "TAVORO_TRACE": trace})
    assert us.wait_exit(whole.proc, 90) == 0
    # The successor, if any, ends the update once the old launcher has gone.
    harness.wait_until(lambda: not os.path.exists(journal_path) and
                       not os.path.exists(os.path.join(folder, SUCCESSOR)), 30,
                       what="the update to be over")
    kill_launchers(folder)
    assert data_state(folder) == "new"
    logged = changes(log)
    # The trace holds the same changes, each line "<topic>: <text>"; its
    # variable was taken as the change log's was, so the new launcher wrote
    # to neither.
    traced = us.read(trace).decode("gbk").split("\r\n")
    assert traced.pop() == ""
    assert all(": " in line for line in traced), traced
    assert [line for line in traced if line.startswith("change: ")] == \
        [f"change: {operation} {path}" for operation, path in logged]
    journal = [i for i, (_, path) in enumerate(logged, 1) if path.endswith("tavoro-update.journal")]
    # The old launcher of a successor leaves the journal to it: its changes
    # up to its end are the points.
    first, last = journal[0], journal[-1] if release != "name kept" else len(logged)
    points = range(first, last + 1)
    assert len(points) >= 8, logged
    report = []
    recoveries_killed = 0

    for n in points:
        fresh_folder(template, folder)
        killed = update({"TAVORO_KILL_AT_CHANGE": str(n)})
        harness.wait_until(lambda: killed.proc.poll() is not None, 90, what=f"the kill at {n}")
        kill_launchers(folder)
        after_kill = data_state(folder)

        # The next start, itself killed at its first change (its recovery
        # changes names first), then one more start.
        for env in ({"TAVORO_KILL_AT_CHANGE": "1", "TAVORO_CHANGE_LOG": log + f".{n}"}, None):
            exe = "launcher.exe" if os.path.exists(os.path.join(folder, "launcher.exe")) \
                else us.NEW_LAUNCHER
            again = start_in(wine, folder, win32_build, exe, env)
            if env is not None:
                harness.wait_until(
                    lambda: again.proc.poll() is not None or launch_window_up(wine), 60,
                    what="the recovering launcher to end or show its window")
                if again.proc.poll() is not None:
                    recoveries_killed += 1
                    continue
            again.wait_window()
            assert again.close() == 0
        state = data_state(folder)
        left = [p for p in us.tree(folder)
                if p.endswith((".unpacking", ".backup", ".journal", ".kept"))]
        report.append(f"change {n} ({' '.join(logged[n - 1])}): after the kill {after_kill}, "
                      f"after the next starts {state}, left {left}")
        assert state in ("old", "new"), report[-1]
        assert not left, report[-1]
        assert os.path.exists(os.path.join(folder, "launcher.exe")) or \
            os.path.exists(os.path.join(folder, us.NEW_LAUNCHER)), report[-1]
    record(f"matrix-{release.replace(' ', '-').replace(',', '')}",
           f"{len(points)} kill points, {recoveries_killed} recoveries killed", report, mode="w")
    assert recoveries_killed >= 1


def launch_window_up(wine):
    return any(name == harness.LAUNCHER_TITLE for _, name in wine.visible_windows())
