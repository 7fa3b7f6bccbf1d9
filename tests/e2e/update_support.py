"""Support for the end-to-end tests of the update: update packages made
here, and driving the launcher from the start click to the download. The
version page and the packages come from http_server on loopback.
"""

import ctypes
import io
import os
import signal
import subprocess
import time
import zipfile

import harness
from harness import windows_path  # noqa: F401 (the tests call it from here too)
import http_server as hs
import version_support as vs

QUESTION_TITLE = vs.QUESTION_TITLE
OPEN_PACKAGE_TITLE = "更新包打开提示"
NEW_LAUNCHER = vs.NEW_LAUNCHER
PACKAGE_PATH = "/pkg/update.zip"
PACKAGE_TYPE = "application/zip"

# Window coordinates of the download panel (Launch window layout).
PROGRESS_BAR = vs.PROGRESS_BAR  # left, top, right, bottom
PERCENT_LABEL = (342, 238, 430, 254)
SPEED_LABEL = (189, 263, 312, 281)
SIZE_LABEL = (314, 263, 444, 281)
RECEIVED_LABEL = (446, 263, 574, 281)


# -- packages ----------------------------------------------------------------

class _RawNameInfo(zipfile.ZipInfo):
    """An entry whose name is stored as the given bytes, without the UTF-8
    flag: what Chinese archivers write (GBK names), and the only way to store
    names such as "..\\x" that zipfile would otherwise rewrite."""

    def __init__(self, raw_name, date_time=(2024, 6, 1, 12, 0, 0)):
        # The str name only keeps zipfile's duplicate check apart; the bytes go out.
        super().__init__(raw_name.decode("latin-1"), date_time)
        self._raw_name = raw_name

    def _encodeFilenameFlags(self):
        return self._raw_name, self.flag_bits & ~0x800


def make_zip(entries, compression=zipfile.ZIP_DEFLATED):
    """ZIP bytes from [(name, data)]: a str name is stored as zipfile does
    (UTF-8 flag when not ASCII), a bytes name raw; a name ending in "/" is a
    folder entry."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as z:
        for name, data in entries:
            if isinstance(name, bytes):
                info = _RawNameInfo(name)
                info.compress_type = compression
                z.writestr(info, data)
            else:
                info = zipfile.ZipInfo(name, (2024, 6, 1, 12, 0, 0))
                info.compress_type = compression
                if name.endswith("/"):
                    info.external_attr = 0o40755 << 16 | 0x10
                z.writestr(info, data)
    return out.getvalue()


def package_entries(package):
    """{name: bytes} of a package's files, names read as Windows reads them:
    UTF-8 when flagged so, else code page 936 (as pack stores them)."""
    entries = {}
    with zipfile.ZipFile(io.BytesIO(package)) as z:
        for info in z.infolist():
            name = info.filename if info.flag_bits & 0x800 else \
                info.filename.encode("cp437").decode("gbk")
            if not name.endswith("/"):
                entries[name] = z.read(info)
    return entries


def pseudo_random(size, seed):
    """Incompressible, reproducible bytes."""
    import random
    return random.Random(seed).randbytes(size)


def tree(folder):
    """{relative path: size} of every file below folder (Unix names)."""
    found = {}
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            found[os.path.relpath(path, folder)] = os.path.getsize(path)
    return found


def read(path):
    with open(path, "rb") as f:
        return f.read()


# -- the launcher --------------------------------------------------------------

def offer_update(wine, launcher, page, timeout=60, tls=None):
    """Serves `page` on the version port (the https one with `tls`, a
    server context), clicks start and waits for the update question; the
    port is released as soon as the page has gone out. Returns the
    question's window id."""
    server = hs.Server(hs.HTTPS_PORT if tls else hs.PORT, tls=tls)
    try:
        server.serve_page(page.encode())
        vs.click_start(wine, launcher)
        server.wait_answered(1, timeout=timeout)
        return vs.wait_question(wine, launcher, timeout)
    finally:
        server.stop()


def accept_update(wine, launcher, address, win32_build, tls=None, **page):
    """Start click on a version page that offers the package at `address`
    (other fields: `page`, as vs.version_page takes them; served over https
    with `tls`), Yes to the question; the demo game that the click started
    is closed again so that it covers nothing."""
    question = offer_update(wine, launcher, vs.version_page(address=address, **page), tls=tls)
    vs.answer(wine, question, yes=True)
    vs.close_games(wine, win32_build)
    wine.x("xdotool", "windowraise", launcher.window)


def wait_box(wine, title, launcher, timeout=60):
    return wine.wait_window(title, timeout, proc=launcher.proc)


def boxes(wine, title):
    return [wid for wid, name in wine.visible_windows() if name == title]


def box_texts(wine, helpers_dir):
    """[(title, text)] of the message boxes on the screen, as box_text.exe
    reads them (a line break in the text comes as a space)."""
    done = wine.run(os.path.join(helpers_dir, "box_text.exe"), timeout=30)
    if done.returncode != 0:
        raise harness.HarnessError(f"box_text.exe failed ({done.returncode})")
    lines = done.stdout.decode("gbk", "replace").splitlines()
    return [tuple(line.split("\t", 1)) for line in lines if "\t" in line]


def bar_fill(img):
    """Share of the bar's inner width that is filled (the highlight blue),
    read on a row above the percentage caption."""
    left, top, right, _ = PROGRESS_BAR
    y = top + 1
    inner = range(left + 1, right - 1)
    filled = sum(1 for x in inner if _is_fill(img.getpixel((x, y))))
    return filled / len(inner)


def _is_fill(p):
    return p[2] >= 200 and p[0] <= 120 and p[2] - p[0] >= 100


def launcher_captions(wine, helpers_dir):
    """The captions of the Launch window's controls, as box_text.exe reads
    them; empty when there is no Launch window."""
    done = wine.run(os.path.join(helpers_dir, "box_text.exe"), "/launcher", timeout=30)
    lines = done.stdout.decode("gbk", "replace").splitlines()
    return [line.split("\t", 1)[1] for line in lines if "\t" in line]


def wait_box_saying(wine, launcher, helpers_dir, message, title=QUESTION_TITLE, timeout=60):
    """Waits for the launcher's message box titled `title` and checks that
    it is the only one and says `message`; returns its window id."""
    box = wait_box(wine, title, launcher, timeout)
    said = [text for shown, text in box_texts(wine, helpers_dir) if shown == title]
    assert said == [message], f"the boxes titled {title!r} say {said}"
    return box


def press(wine, wid, key):
    """A key to a message box; waits until the box has gone."""
    wine.x("xdotool", "key", "--window", wid, key)
    harness.wait_until(lambda: wid not in [w for w, _ in wine.visible_windows()], 10,
                       what="the message box to close")


def wait_exit(proc, timeout):
    try:
        return proc.wait(timeout)
    except subprocess.TimeoutExpired:
        raise harness.HarnessError(f"launcher still running after {timeout} s") from None


def processes_where(named):
    """Pids of the processes one argument of whose command line, lowercased
    and unquoted, satisfies named."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                arguments = f.read().lower().split(b"\0")
        except OSError:
            continue
        if any(named(argument.strip(b'"')) for argument in arguments):
            found.append(int(pid))
    return found


def wine_processes_of(exe_path):
    """Pids of the processes that one argument of their command line names
    as exe_path. Wine shows a Windows process under the Unix path of its exe
    (or, on the way, its Windows path); it outlives the `wine` starter only
    if something went wrong. A whole argument, not a part: "cmd.exe /c del
    launcher.exe.backup" is no process of launcher.exe."""
    names = (os.path.abspath(exe_path).lower().encode(), windows_path(exe_path).lower().encode())
    return processes_where(lambda argument: argument in names)


def processes_within(folder):
    """Pids of the processes that one argument of their command line names a
    path inside folder: its launchers, and the deleter ("cmd.exe /c del ...")
    an old launcher leaves behind it, which outlives it by a moment."""
    roots = (os.path.abspath(folder).lower().encode() + b"/",
             windows_path(folder).lower().encode() + b"\\")
    # Anywhere in an argument: Wine may hand cmd.exe its whole command as one.
    return processes_where(lambda argument: any(root in argument for root in roots))


JOURNAL = "tavoro-update.journal"
KEPT_NOTE = "tavoro-update.kept"


def update_leftovers(folder, package="update.zip"):
    """What an update leaves only while it is under way, or when it went
    wrong: staged files, backups, a partial download and its note, the
    journal, a kept package and its note."""
    return sorted(p for p in tree(folder)
                  if p.endswith((".unpacking", ".backup", ".tmp", ".tmp.resume"))
                  or p in (JOURNAL, KEPT_NOTE, package))


def cmd_exe_present(wine):
    system = os.path.join(wine.prefix, "drive_c", "windows")
    return any(os.path.isfile(os.path.join(system, sub, "cmd.exe"))
               for sub in ("system32", "syswow64"))




def still_running(proc, seconds):
    """True when proc still runs after `seconds`: for checks that something
    does NOT end the launcher, where no event marks the moment."""
    try:
        proc.wait(seconds)
        return False
    except subprocess.TimeoutExpired:
        return True


# -- processes that a launcher started -------------------------------------------

PR_SET_CHILD_SUBREAPER = 36


def adopt_orphans(on):
    """Makes this process the one that orphaned descendants are handed to.
    Wine starts a program through a double fork, so a new launcher that an
    old one starts is nobody's child; adopted, it can be waited for and its
    exit status read."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1 if on else 0, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def reap_ended_children():
    """Collects the children of this process that have ended and that no
    one waits for: the adopted ones, once every Popen of the test was
    waited for."""
    me = str(os.getpid()).encode()
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            with open(f"/proc/{pid}/stat", "rb") as f:
                # After the name, which may hold anything: the state, the parent.
                fields = f.read().rsplit(b")", 1)[1].split()
        except OSError:
            continue
        if fields[0] == b"Z" and fields[1] == me:
            try:
                os.waitpid(int(pid), os.WNOHANG)
            except ChildProcessError:
                pass


class AdoptedProcess:
    """A Wine process that another one started, adopted by this process
    (adopt_orphans): polled, waited for and killed as a Popen is. Its
    returncode is the Unix exit status Wine gives: 0 for exit code 0, the
    low byte of any other code (1 when that byte is 0)."""

    known = []  # every one made, for end_adopted

    def __init__(self, pid):
        self.pid = pid
        self.returncode = None
        AdoptedProcess.known.append(self)

    def poll(self):
        if self.returncode is None:
            try:
                pid, status = os.waitpid(self.pid, os.WNOHANG)
            except ChildProcessError:
                raise harness.HarnessError(
                    f"process {self.pid} is no child of this one: was it adopted?") from None
            if pid:
                self.returncode = os.waitstatus_to_exitcode(status)
        return self.returncode

    def wait(self, timeout=None):
        deadline = None if timeout is None else time.monotonic() + timeout
        while self.poll() is None:
            if deadline is not None and time.monotonic() >= deadline:
                raise subprocess.TimeoutExpired(f"process {self.pid}", timeout)
            time.sleep(0.05)
        return self.returncode

    def kill(self):
        try:
            os.kill(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def end_adopted():
    """Kills the adopted processes that still run (after a failed test) and
    collects them all."""
    for process in AdoptedProcess.known:
        if process.poll() is None:
            process.kill()
            process.wait(10)
    AdoptedProcess.known.clear()


def launch_windows(wine):
    return [wid for wid, name in wine.visible_windows() if name == harness.LAUNCHER_TITLE]


def adopted_launcher(wine, folder, name, helpers_dir, other_than=None, timeout=60):
    """The launcher `name` of `folder` that another program started, as a
    harness.Launcher: its process the one of that exe whose pid is not
    `other_than` (a new launcher may keep the old one's name), adopted
    (adopt_orphans); its window the one Launch window on the screen."""
    exe = os.path.join(str(folder), name)

    def started():
        found = [pid for pid in wine_processes_of(exe) if pid != other_than]
        if len(found) > 1:
            raise harness.HarnessError(f"{len(found)} processes of {name}: {found}")
        return found

    launcher = harness.Launcher(wine, str(folder), helpers_dir)
    launcher.exe = exe
    launcher.proc = AdoptedProcess(harness.wait_until(started, timeout, what=f"{name} to run")[0])

    def one_window():
        if launcher.proc.poll() is not None:
            raise harness.HarnessError(f"{name} ended ({launcher.proc.returncode}) "
                                       "before its window showed")
        shown = launch_windows(wine)
        if len(shown) > 1:
            raise harness.HarnessError(f"{len(shown)} Launch windows are open")
        return shown[0] if shown else None

    launcher.window = harness.wait_until(one_window, timeout, interval=0.1,
                                         what=f"the window of {name}")
    return launcher


def successor(wine, old, name, helpers_dir, timeout=60):
    """The launcher `name` that the launcher `old` started, once `old` has
    ended (its exit code stays in old.proc.returncode)."""
    wait_exit(old.proc, timeout)
    return adopted_launcher(wine, old.folder, name, helpers_dir, other_than=old.proc.pid,
                            timeout=timeout)
