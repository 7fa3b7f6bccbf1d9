"""Support for the end-to-end tests of the update: update packages made
here, and driving the launcher from the start click to the download. The
version page and the packages come from http_server on loopback.
"""

import io
import os
import subprocess
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


def wine_processes_of(exe_path):
    """Pids of the processes whose command line names exe_path. Wine shows a
    Windows process under the Unix path of its exe (or, on the way, its
    Windows path); it outlives the `wine` starter only if something went
    wrong."""
    names = (os.path.abspath(exe_path).lower().encode(), windows_path(exe_path).lower().encode())
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").lower()
        except OSError:
            continue
        if any(name in cmdline for name in names):
            found.append(int(pid))
    return found


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
