"""Support for the end-to-end tests of the update: HTTP servers on loopback
(the version page on the port launcher-e2e.exe asks, packages on ports of
their own, from nginx or from a Python server that can throttle or break a
transfer), update packages made here, the browser recorder, and driving the
launcher from the start click to the download.
"""

import io
import os
import socket
import subprocess
import threading
import time
import zipfile
from dataclasses import dataclass, field

import harness
import version_support as vs

VERSION_PORT = vs.PORT
QUESTION_TITLE = vs.QUESTION_TITLE
OPEN_PACKAGE_TITLE = "更新包打开提示"
NEW_LAUNCHER = "塔沃VR游戏启动器5.1.exe"
PACKAGE_PATH = "/pkg/update.zip"

# Window coordinates of the download panel (Launch window layout).
PROGRESS_BAR = vs.PROGRESS_BAR  # left, top, right, bottom
PERCENT_LABEL = (342, 238, 430, 254)
SPEED_LABEL = (189, 263, 312, 281)
SIZE_LABEL = (314, 263, 444, 281)
RECEIVED_LABEL = (446, 263, 574, 281)


# -- HTTP on loopback --------------------------------------------------------

def bind_loopback(port, wait=60.0):
    """A listening socket on 127.0.0.1:port (0 = any free port). A busy fixed
    port is retried for up to `wait` seconds: the version page port is shared
    with other test runs on this machine, each holding it for one test."""
    deadline = time.monotonic() + wait
    while True:
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        # TIME_WAIT leftovers must not block us; a live listener still does.
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            sock.bind(("127.0.0.1", port))
            sock.listen(16)
            return sock
        except OSError as e:
            sock.close()
            if port == 0 or time.monotonic() >= deadline:
                raise harness.HarnessError(f"cannot listen on 127.0.0.1:{port}: {e}") from e
            time.sleep(0.25)


@dataclass
class Transfer:
    """One answered request, as the server saw it."""
    path: str
    body_size: int = 0
    sent: int = 0  # body bytes handed to the socket
    client_gone: bool = False  # the peer closed or reset while we sent
    done: threading.Event = field(default_factory=threading.Event)


def _head(status, length, content_type):
    lines = [f"HTTP/1.1 {status}", "Connection: close"]
    if length is not None:
        lines.append(f"Content-Length: {length}")
    if content_type:
        lines.append(f"Content-Type: {content_type}")
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


class Answer:
    """What the server sends for a path: a head, then the body in blocks,
    paced at `rate` bytes/s (None: at once), cut after `cut_after` body
    bytes (the connection then closes short of Content-Length)."""

    def __init__(self, body, status="200 OK", content_type="application/zip", rate=None,
                 block=8192, cut_after=None):
        self.body = body
        self.status = status
        self.content_type = content_type
        self.rate = rate
        self.block = block
        self.cut_after = cut_after

    def send(self, conn, transfer, stop):
        transfer.body_size = len(self.body)
        conn.sendall(_head(self.status, len(self.body), self.content_type))
        end = len(self.body) if self.cut_after is None else min(self.cut_after, len(self.body))
        started = time.monotonic()
        while transfer.sent < end and not stop.is_set():
            if self.rate:
                due = started + transfer.sent / self.rate
                wait = due - time.monotonic()
                if wait > 0 and stop.wait(wait):
                    return
            chunk = self.body[transfer.sent:min(end, transfer.sent + self.block)]
            conn.sendall(chunk)
            transfer.sent += len(chunk)


def page_answer(html):
    return Answer(html.encode("utf-8"), content_type="text/html; charset=utf-8")


class HttpServer:
    """HTTP/1.1 on 127.0.0.1, one thread per connection. Paths are answered
    by their Answer; others get a 404 page."""

    def __init__(self, port=0, bind_wait=60.0):
        self._sock = bind_loopback(port, bind_wait)
        self._sock.settimeout(0.2)
        self.port = self._sock.getsockname()[1]
        self.transfers = []
        self._answers = {}
        self._cond = threading.Condition()
        self._stop = threading.Event()
        self._threads = []
        self._accepting = threading.Thread(target=self._accept_loop, daemon=True)
        self._accepting.start()

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def serve(self, path, answer):
        with self._cond:
            self._answers[path] = answer

    def transfers_for(self, path):
        with self._cond:
            return [t for t in self.transfers if t.path == path]

    def wait_transfer(self, path, count=1, timeout=60):
        """The count-th request for path, once it has arrived."""
        with self._cond:
            if not self._cond.wait_for(lambda: len(self.transfers_for(path)) >= count, timeout):
                raise harness.HarnessError(
                    f"{len(self.transfers_for(path))} request(s) for {path} after {timeout} s; "
                    f"all: {[t.path for t in self.transfers]}")
            return self.transfers_for(path)[count - 1]

    def stop(self):
        """Stops listening at once (the port is free again) and ends every
        transfer still running."""
        self._stop.set()
        self._accepting.join(5)
        self._sock.close()
        for thread in self._threads:
            thread.join(5)

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

    def _handle(self, conn):
        with conn:
            conn.settimeout(20)
            data = b""
            try:
                while b"\r\n\r\n" not in data and len(data) < 65536:
                    chunk = conn.recv(4096)
                    if not chunk:
                        break
                    data += chunk
            except OSError:
                return
            parts = data.split(b"\r\n", 1)[0].split(b" ")
            path = parts[1].decode("latin-1") if len(parts) > 1 else ""
            transfer = Transfer(path)
            with self._cond:
                self.transfers.append(transfer)
                answer = self._answers.get(path)
                self._cond.notify_all()
            if answer is None:
                answer = Answer(b"<html><body>404 Not Found</body></html>", status="404 Not Found",
                                content_type="text/html")
            try:
                answer.send(conn, transfer, self._stop)
                conn.shutdown(socket.SHUT_WR)
            except OSError:
                transfer.client_gone = True
            finally:
                transfer.done.set()


class Nginx:
    """nginx in the foreground on a free loopback port, serving `root`; all
    it writes stays in `folder`."""

    BINARY = "/usr/sbin/nginx"

    def __init__(self, folder):
        self.folder = str(folder)
        self.root = os.path.join(self.folder, "www")
        os.makedirs(os.path.join(self.folder, "temp"), exist_ok=True)
        os.makedirs(self.root, exist_ok=True)
        self.proc = None
        self.port = None

    def start(self):
        # A port found free may be taken before nginx binds it: try a few.
        for _ in range(5):
            probe = bind_loopback(0)
            self.port = probe.getsockname()[1]
            probe.close()
            self._write_config()
            self.proc = subprocess.Popen(
                [self.BINARY, "-e", os.path.join(self.folder, "error.log"),
                 "-c", os.path.join(self.folder, "nginx.conf"), "-p", self.folder + "/"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if self._wait_listening():
                return self
            self.stop()
        raise harness.HarnessError(f"nginx did not start; see {self.folder}/error.log")

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def put(self, path, data):
        target = os.path.join(self.root, path.lstrip("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)

    def stop(self):
        if self.proc is None:
            return
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(5)
        self.proc = None

    def _write_config(self):
        d = self.folder
        with open(os.path.join(d, "nginx.conf"), "w") as f:
            f.write(f"""daemon off;
master_process off;
worker_processes 1;
error_log {d}/error.log warn;
pid {d}/nginx.pid;
events {{ worker_connections 64; }}
http {{
  access_log off;
  sendfile on;
  default_type application/octet-stream;
  client_body_temp_path {d}/temp/body;
  proxy_temp_path {d}/temp/proxy;
  fastcgi_temp_path {d}/temp/fastcgi;
  uwsgi_temp_path {d}/temp/uwsgi;
  scgi_temp_path {d}/temp/scgi;
  server {{ listen 127.0.0.1:{self.port}; root {self.root}; }}
}}
""")

    def _wait_listening(self, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                return False
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return True
            except OSError:
                time.sleep(0.05)
        return False


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

def version_page(address, title=NEW_LAUNCHER):
    return vs.version_page(version="5.1", title=title, address=address)


def offer_update(wine, launcher, page, timeout=60):
    """Serves `page` on the version port, clicks start and waits for the
    update question; the port is released as soon as the page has gone out.
    Returns the question's window id."""
    server = HttpServer(VERSION_PORT)
    try:
        server.serve(vs.VERSION_PATH, page_answer(page))
        vs.click_start(wine, launcher)
        server.wait_transfer(vs.VERSION_PATH, timeout=timeout).done.wait(timeout)
        return vs.wait_question(wine, launcher, timeout)
    finally:
        server.stop()


def accept_update(wine, launcher, page, win32_build):
    """Start click, Yes to the question; the demo game that the click
    started is closed again so that it covers nothing."""
    question = offer_update(wine, launcher, page)
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


def windows_path(path):
    """The Windows name Wine gives a Unix path (the Z: drive)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


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
