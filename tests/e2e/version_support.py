"""Support for the end-to-end tests of the version check: a recording HTTP
server on the loopback port that launcher-e2e.exe asks, version pages, and
driving the start button and the update question.

The server speaks raw sockets so that a test sees each request exactly as it
arrived (request line and header lines as bytes, in order) and can misbehave
on purpose: close at once, answer late, never answer.
"""

import os
import shutil
import socket
import struct
import threading
import time
from dataclasses import dataclass, field

import pytest
from PIL import Image

import harness
from conftest import ARTIFACTS

PORT = 47811
VERSION_PATH = "/version.html"
VERSION_URL = f"http://127.0.0.1:{PORT}{VERSION_PATH}"
# Nothing is published here: the download gets a 404 and no update happens.
NO_PACKAGE_URL = f"http://127.0.0.1:{PORT}/none.zip"
# Other runs hold the shared port one test at a time; their longest tests
# take a minute or two.
PORT_WAIT_S = 180

QUESTION_TITLE = " 软件更新提示"
DEFAULT_AGENT = (b"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 4Kix; .NET CLR 2.0.50727; "
                 b".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)")

E2E_EXE = "launcher-e2e.exe"
DEMO_GAME_CLASS = "TavoroDemoGame"

# Window coordinates of the Launch window's layout.
START_BUTTON = (180, 315, 152, 48)  # x, y, width, height
NOTES_BOX = (172, 67, 574, 291)  # left, top, right, bottom (exclusive)
PROGRESS_BAR = (193, 235, 561, 256)


# -- the recording server ----------------------------------------------------

@dataclass
class Request:
    raw: bytes  # everything up to and including the blank line
    request_line: bytes
    header_lines: list  # [bytes], in the order received
    observed: object = None  # what the server's observer saw on arrival
    answered: threading.Event = field(default_factory=threading.Event)

    @property
    def path(self):
        parts = self.request_line.split(b" ")
        return parts[1].decode("latin-1") if len(parts) > 1 else ""

    def headers_named(self, name):
        """Values of the header lines called `name` (case-insensitive)."""
        wanted = name.lower().encode() + b":"
        return [line.split(b":", 1)[1].strip() for line in self.header_lines
                if line.lower().startswith(wanted)]


def page_response(body, status="200 OK", content_type="text/html; charset=utf-8"):
    """A complete response; content_type None sends no Content-Type line."""
    head = [f"HTTP/1.1 {status}", f"Content-Length: {len(body)}", "Connection: close"]
    if content_type:
        head.append(f"Content-Type: {content_type}")
    return ("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body


NOT_FOUND = page_response(b"<html><body>404 Not Found</body></html>", status="404 Not Found")


class Behaviour:
    """How the server treats a connection that is not answered with bytes."""

    CLOSE_AT_ONCE = "close at once"  # read the request, close without a byte
    HOLD = "hold"  # read the request, never answer (until the server stops)

    @staticmethod
    def close_after(seconds):
        return ("close after", seconds)


def listen_on_shared_port(port=PORT, wait=PORT_WAIT_S):
    """A listening socket on 127.0.0.1:port. Other test runs on this machine
    use the same fixed port, each for one test at a time: a busy port is
    retried for up to `wait` seconds before giving up."""
    deadline = time.monotonic() + wait
    while True:
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        # TIME_WAIT leftovers of earlier tests must not block us; a live
        # listener still does.
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            sock.bind(("127.0.0.1", port))
            sock.listen(16)
            return sock
        except OSError as e:
            sock.close()
            if time.monotonic() >= deadline:
                raise harness.HarnessError(
                    f"port {port} on 127.0.0.1 still taken after {wait:.0f} s ({e}): "
                    "launcher-e2e.exe asks this port for its version page, so the version "
                    "tests cannot run while something else holds it") from e
            time.sleep(0.25)


def port_answers(port=PORT):
    probe = socket.socket()
    try:
        return probe.connect_ex(("127.0.0.1", port)) == 0
    finally:
        probe.close()


class RecordingServer:
    """HTTP on 127.0.0.1:PORT. Each path has a list of answers, used one per
    request; the last one repeats. An answer is the raw response bytes or a
    Behaviour. Paths without answers get a 404."""

    def __init__(self, port=PORT, bind_wait=PORT_WAIT_S):
        self.port = port
        self.requests = []
        self.observer = None  # called on each request's arrival
        self.connections = 0
        # True: end every connection before reading it; "reset": with an RST.
        self.close_on_accept = False
        self._answers = {}
        self._cond = threading.Condition()
        self._stop = threading.Event()
        self._threads = []
        self._sock = listen_on_shared_port(port, bind_wait)
        self._sock.settimeout(0.2)
        self._accepting = threading.Thread(target=self._accept_loop, daemon=True)
        self._accepting.start()

    def serve(self, path, *answers):
        with self._cond:
            self._answers[path] = list(answers)

    def serve_page(self, body, path=VERSION_PATH, **kwargs):
        self.serve(path, page_response(body, **kwargs))

    def stop(self):
        self._stop.set()
        self._accepting.join(5)
        self._sock.close()
        for thread in self._threads:
            thread.join(5)

    # -- what arrived ---------------------------------------------------
    def requests_for(self, path):
        with self._cond:
            return [r for r in self.requests if r.path == path]

    def wait_requests(self, count, path=VERSION_PATH, timeout=30):
        """Waits until `count` requests for path have arrived; returns them."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                found = [r for r in self.requests if r.path == path]
                if len(found) >= count:
                    return found
                left = deadline - time.monotonic()
                if left <= 0:
                    raise harness.HarnessError(
                        f"{len(found)} request(s) for {path} after {timeout} s, wanted {count}; "
                        f"all requests: {[r.request_line for r in self.requests]}")
                self._cond.wait(left)

    def wait_connections(self, count, timeout=30):
        with self._cond:
            if not self._cond.wait_for(lambda: self.connections >= count, timeout):
                raise harness.HarnessError(
                    f"{self.connections} connection(s) after {timeout} s, wanted {count}")

    def wait_answered(self, count, path=VERSION_PATH, timeout=30):
        """Waits until the server has finished with `count` requests for path."""
        found = self.wait_requests(count, path, timeout)
        for request in found[:count]:
            if not request.answered.wait(timeout):
                raise harness.HarnessError(f"request for {path} not answered in {timeout} s")
        return found

    # -- connections ----------------------------------------------------
    def _accept_loop(self):
        while not self._stop.is_set():
            try:
                conn, _ = self._sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            thread = threading.Thread(target=self._handle, args=(conn,), daemon=True)
            self._threads.append(thread)
            thread.start()

    def _next_answer(self, path):
        with self._cond:
            answers = self._answers.get(path)
            if not answers:
                return NOT_FOUND
            return answers.pop(0) if len(answers) > 1 else answers[0]

    def _read_head(self, conn):
        conn.settimeout(15)
        data = b""
        while b"\r\n\r\n" not in data and len(data) < 65536:
            try:
                chunk = conn.recv(4096)
            except OSError:
                break
            if not chunk:
                break
            data += chunk
        return data

    def _handle(self, conn):
        with conn:
            with self._cond:
                self.connections += 1
                self._cond.notify_all()
            if self.close_on_accept == "reset":
                # An RST instead of a FIN.
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            if self.close_on_accept:
                return  # before a byte is read
            data = self._read_head(conn)
            head = data.split(b"\r\n\r\n", 1)[0]
            lines = head.split(b"\r\n")
            request = Request(head + b"\r\n\r\n", lines[0], lines[1:])
            if self.observer is not None:
                try:
                    request.observed = self.observer()
                except Exception as e:  # recorded, so that the test sees it
                    request.observed = e
            answer = self._next_answer(request.path)
            with self._cond:
                self.requests.append(request)
                self._cond.notify_all()
            try:
                self._answer(conn, answer)
            finally:
                request.answered.set()

    def _answer(self, conn, answer):
        if isinstance(answer, bytes):
            try:
                conn.sendall(answer)
                conn.shutdown(socket.SHUT_WR)
            except OSError:
                pass
            return
        if answer == Behaviour.CLOSE_AT_ONCE:
            return
        if answer == Behaviour.HOLD:
            self._stop.wait()
            return
        kind, seconds = answer
        assert kind == "close after"
        self._stop.wait(seconds)


# -- version pages -----------------------------------------------------------

def version_page(version="5.1", title="塔沃VR游戏启动器5.1.exe", description="本次更新修复了若干问题",
                 notes=("新增中文说明", "启动更快", "修正下载进度", "界面更清晰", "感谢支持"),
                 address=NO_PACKAGE_URL):
    """HTML text with the nine fields, each value ended by a tag."""
    rows = [f"最新版本={version}", f"程序标题={title}", f"更新说明={description}"]
    rows += [f"更新说明{i}={note}" for i, note in enumerate(notes, 1)]
    rows.append(f"更新地址={address}")
    body = "".join(f"<p>{row}</p>\n" for row in rows)
    return f"<html><head><title>版本</title></head><body>\n{body}</body></html>\n"


# -- the launcher --------------------------------------------------------------

def install_e2e_launcher(folder, build):
    """Puts the build whose version page is on loopback in place of launcher.exe."""
    exe = os.path.join(build, E2E_EXE)
    if not os.path.isfile(exe):
        pytest.fail(f"{E2E_EXE} missing in {build}: build the win32 preset first")
    shutil.copyfile(exe, os.path.join(folder, "launcher.exe"))


def game_log(folder):
    path = os.path.join(folder, "Bin", "DemoGame.log")
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def game_starts(folder):
    return game_log(folder).count(b"cmdline=")


def click(wine, wid, x, y):
    """Left click at window coordinates (x, y) of window wid."""
    wx, wy, _, _ = wine.geometry(wid)
    # Raise it first: a game window may have opened on top of it.
    wine.x("xdotool", "windowraise", wid)
    done = wine.x("xdotool", "mousemove", str(wx + x), str(wy + y), "click", "1")
    if done.returncode != 0:
        raise harness.HarnessError(f"xdotool click failed: {done.stderr!r}")


def click_start(wine, launcher):
    x, y, w, h = START_BUTTON
    click(wine, launcher.window, x + w // 2, y + h // 2)


def questions(wine):
    return [wid for wid, name in wine.visible_windows() if name == QUESTION_TITLE]


def wait_question(wine, launcher, timeout=30):
    return wine.wait_window(QUESTION_TITLE, timeout, proc=launcher.proc)


def answer(wine, wid, yes):
    # Return is Yes, "n" is No in Wine's Yes/No box.
    wine.x("xdotool", "key", "--window", wid, "Return" if yes else "n")
    harness.wait_until(lambda: wid not in [w for w, _ in wine.visible_windows()], 10,
                       what="the question to close")


def assert_no_question(wine, launcher, settle=2.0):
    """After the page has been answered: the check compares and returns
    within a moment; no question may show up meanwhile, and the launcher
    must still run."""
    deadline = time.monotonic() + settle
    while time.monotonic() < deadline:
        assert not questions(wine), "the launcher asked about an update"
        assert launcher.proc.poll() is None, f"launcher ended ({launcher.proc.returncode})"
        time.sleep(0.1)


def close_games(wine, build, timeout=15):
    """Closes every demo game window, one by one, as a user would."""
    post = os.path.join(build, "post_message.exe")
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if wine.run(post, f"/class:{DEMO_GAME_CLASS}", "close", timeout=30).returncode != 0:
            return
        time.sleep(0.1)


# -- pictures ----------------------------------------------------------------

def window_picture(wine, wid, name):
    x, y, w, h = wine.geometry(wid)
    shot = wine.screenshot(os.path.join(ARTIFACTS, name + "-screen.png"))
    img = Image.open(shot).convert("RGB").crop((x, y, x + w, y + h))
    img.save(os.path.join(ARTIFACTS, name + ".png"))
    return img


def share(img, box, test):
    px = list(img.crop(box).getdata())
    return sum(1 for p in px if test(p)) / len(px)


def is_white(p):
    return min(p[:3]) >= 230


def is_dark(p):
    return (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000 < 90


def text_rows(img, box):
    """Bands of consecutive rows in box that hold dark pixels: lines of text."""
    left, top, right, bottom = box
    bands, inside = 0, False
    for y in range(top, bottom):
        dark = any(is_dark(img.getpixel((x, y))) for x in range(left, right))
        if dark and not inside:
            bands += 1
        inside = dark
    return bands


def horizontal_line(img, left, right, y):
    """True when row y from left to right is one even line that stands out
    from the rows above and below it: the edge of a frame."""
    def row_mean(row_y):
        row = list(img.crop((left, row_y, right, row_y + 1)).getdata())
        return row, [sum(p[i] for p in row) / len(row) for i in range(3)]

    row, mean = row_mean(y)
    if any(max(abs(p[i] - mean[i]) for i in range(3)) > 12 for p in row):
        return False
    for other in (y - 1, y + 1):
        _, other_mean = row_mean(other)
        if max(abs(a - b) for a, b in zip(mean, other_mean)) < 24:
            return False
    return True


def first_text_band(img, box):
    """(top, bottom) of the first band of rows in box holding dark pixels."""
    left, top, right, bottom = box
    start = None
    for y in range(top, bottom):
        dark = any(is_dark(img.getpixel((x, y))) for x in range(left, right))
        if dark and start is None:
            start = y
        elif not dark and start is not None:
            return start, y
    return (start, bottom) if start is not None else None


def leftmost_dark(img, box, band):
    """x of the leftmost dark pixel of rows band (top, bottom) within box."""
    left, _, right, _ = box
    xs = [x for y in range(*band) for x in range(left, right) if is_dark(img.getpixel((x, y)))]
    return min(xs)
