"""HTTP on loopback for the end-to-end tests: one Python server for version
pages and packages, and nginx for packages served the ordinary way.

The Python server speaks raw sockets so that a test sees each request
exactly as it arrived (request line and header lines as bytes, in order),
follows a transfer byte by byte, and can misbehave on purpose: send slowly,
cut a body short, close without a byte, drop the connection unread.

Both speak https too, with a certificate of the tests' own authority
(tests/tls/make-test-authority.sh), addressed as localhost, the name the
certificates carry.
"""

import os
import random
import socket
import ssl
import struct
import subprocess
import threading
import time
from dataclasses import dataclass, field

import harness



def _unused_ports(count):
    """`count` loopback ports that nothing listens on, below the range the
    system hands out to outgoing connections, so that no client's own end
    takes one of them later."""
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
            first_outgoing = int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        first_outgoing = 32768
    found = []
    while len(found) < count:
        port = random.randrange(20000, max(first_outgoing, 20001))
        if port in found:
            continue
        probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            probe.bind(("127.0.0.1", port))
            found.append(port)
        except OSError:
            pass
        finally:
            probe.close()
    return found


# launcher-e2e.exe is built to ask http://127.0.0.1:47811/version.html for
# its version page, launcher-e2e-https.exe https://localhost:47812/... Each
# test process (a worker of a parallel run, or the one process of a serial
# one) stamps copies of them with ports of its own (conftest.py), so that
# neither the workers of one run nor test runs of other clones on this
# machine take turns on one port.
PORT, HTTPS_PORT = _unused_ports(2)
VERSION_PATH = "/version.html"
# PORT is free when picked; should another program take it meanwhile, it
# is retried for this long before the test fails.
PORT_WAIT_S = 180


def listen(port=0, wait=PORT_WAIT_S):
    """A listening socket on 127.0.0.1:port (0 = any free port). A busy fixed
    port is retried for up to `wait` seconds."""
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
            if port == 0 or time.monotonic() >= deadline:
                raise harness.HarnessError(
                    f"cannot listen on 127.0.0.1:{port} ({e}), tried for {wait:.0f} s: "
                    "something else holds the port") from e
            time.sleep(0.25)


def port_answers(port=PORT):
    probe = socket.socket()
    try:
        return probe.connect_ex(("127.0.0.1", port)) == 0
    finally:
        probe.close()


@dataclass
class Request:
    """One request as the server saw it, and how its answer went."""
    request_line: bytes
    header_lines: list  # [bytes], in the order received
    observed: object = None  # what the server's observer saw on arrival
    sent: int = 0  # body bytes handed to the socket
    client_gone: bool = False  # the peer closed or reset while we sent
    done: threading.Event = field(default_factory=threading.Event)

    @property
    def path(self):
        parts = self.request_line.split(b" ")
        return parts[1].decode("latin-1") if len(parts) > 1 else ""

    def headers_named(self, name):
        """Values of the header lines called `name` (case-insensitive)."""
        wanted = name.lower().encode() + b":"
        return [line.split(b":", 1)[1].strip() for line in self.header_lines
                if line.lower().startswith(wanted)]


class Answer:
    """A response: the head, then the body in blocks, paced at `rate`
    bytes/s (None: at once), cut after `cut_after` body bytes (the
    connection then closes short of Content-Length). content_type None sends
    no Content-Type line."""

    BLOCK = 8192

    def __init__(self, body, status="200 OK", content_type="text/html; charset=utf-8", rate=None,
                 cut_after=None, etag=None, cut_once=False):
        """With `etag` it names that ETag and answers a Range whose If-Range
        names it with the rest (206); with `cut_once` only the first answer
        is cut."""
        self.body = body
        self.status = status
        self.content_type = content_type
        self.rate = rate
        self.end = len(body) if cut_after is None else min(cut_after, len(body))
        self.etag = etag
        self.cut_once = cut_once
        self.answered = 0

    def _range_start(self, request):
        ranges = request.headers_named("Range")
        if not self.etag or not ranges or request.headers_named("If-Range") != [self.etag.encode()]:
            return 0
        return int(ranges[0].split(b"=", 1)[1].split(b"-", 1)[0])

    def send(self, conn, request, stop):
        first = self._range_start(request)
        end = len(self.body) if self.cut_once and self.answered else self.end
        self.answered += 1
        status = "206 Partial Content" if first else self.status
        head = [f"HTTP/1.1 {status}", f"Content-Length: {len(self.body) - first}",
                "Connection: close"]
        if self.etag:
            head.append(f"ETag: {self.etag}")
        if first:
            head.append(f"Content-Range: bytes {first}-{len(self.body) - 1}/{len(self.body)}")
        if self.content_type:
            head.append(f"Content-Type: {self.content_type}")
        conn.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
        started = time.monotonic()
        while first + request.sent < end and not stop.is_set():
            if self.rate:
                wait = started + request.sent / self.rate - time.monotonic()
                if wait > 0 and stop.wait(wait):
                    return
            at = first + request.sent
            chunk = self.body[at:min(end, at + self.BLOCK)]
            conn.sendall(chunk)
            request.sent += len(chunk)
        conn.shutdown(socket.SHUT_WR)


class Endless:
    """A body that never ends: the same block again and again, without a
    length, until the client goes away."""

    def __init__(self, block=b"<p>endless</p>\n" * 512):
        self.block = block

    def send(self, conn, request, stop):
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                     b"Connection: close\r\n\r\n")
        while not stop.is_set():
            conn.sendall(self.block)
            request.sent += len(self.block)


class Generated:
    """A body of `length` bytes made on the fly from one repeated block, so
    that gigabytes cost no memory; it halts once `pause_at` bytes have gone
    until `resume` is set (or the server stops)."""

    def __init__(self, length, pause_at=None, block=None):
        self.length = length
        self.pause_at = pause_at
        self.block = block if block is not None else bytes(range(256)) * 1024
        self.resume = threading.Event()

    def send(self, conn, request, stop):
        conn.sendall((f"HTTP/1.1 200 OK\r\nContent-Length: {self.length}\r\n"
                      "Content-Type: application/zip\r\nConnection: close\r\n\r\n")
                     .encode("latin-1"))
        while request.sent < self.length and not stop.is_set():
            if self.pause_at is not None and request.sent >= self.pause_at:
                while not self.resume.wait(0.2):
                    if stop.is_set():
                        return
            end = self.length if self.pause_at is None or request.sent >= self.pause_at \
                else self.pause_at
            chunk = memoryview(self.block)[:min(len(self.block), end - request.sent)]
            conn.sendall(chunk)
            request.sent += len(chunk)
        conn.shutdown(socket.SHUT_WR)


class Silence:
    """No response: the request is read, and the connection closes after
    `seconds` without a byte."""

    def __init__(self, seconds=0):
        self.seconds = seconds

    def send(self, conn, request, stop):
        stop.wait(self.seconds)


NOT_FOUND = Answer(b"<html><body>404 Not Found</body></html>", status="404 Not Found")


def server_tls(authority_dir, certificate="localhost.pem"):
    """A server-side TLS context showing `certificate` of the test authority."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(authority_dir, certificate),
                            os.path.join(authority_dir, "server.key"))
    return context


class Server:
    """HTTP/1.1 on 127.0.0.1:port (0 = a free port), one thread per
    connection; https with `tls` (a server_tls context). Every request is
    recorded; a path is answered by what `serve` set for it, others get a
    404."""

    def __init__(self, port=0, tls=None):
        self._tls = tls
        self._sock = listen(port)
        self._sock.settimeout(0.2)
        self.port = self._sock.getsockname()[1]
        self.requests = []
        self.observer = None  # called on each request's arrival
        self.connections = 0
        # True: end every connection before reading it; "reset": with an RST.
        self.close_on_accept = False
        self._answers = {}
        self._cond = threading.Condition()
        self._stop = threading.Event()
        self._threads = []
        self._accepting = threading.Thread(target=self._accept_loop, daemon=True)
        self._accepting.start()

    def url(self, path):
        if self._tls:
            return f"https://localhost:{self.port}{path}"
        return f"http://127.0.0.1:{self.port}{path}"

    def serve(self, path, answer):
        with self._cond:
            self._answers[path] = answer

    def serve_page(self, body, path=VERSION_PATH, **how):
        self.serve(path, Answer(body, **how))

    def stop(self):
        """Stops listening at once (the port is free again) and ends every
        answer still running."""
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
        with self._cond:
            if not self._cond.wait_for(lambda: len(self.requests_for(path)) >= count, timeout):
                raise harness.HarnessError(
                    f"{len(self.requests_for(path))} request(s) for {path} after {timeout} s, "
                    f"wanted {count}; all requests: {[r.request_line for r in self.requests]}")
            return self.requests_for(path)

    def wait_answered(self, count, path=VERSION_PATH, timeout=30):
        """Waits until the server has finished with `count` requests for path."""
        found = self.wait_requests(count, path, timeout)
        for request in found[:count]:
            if not request.done.wait(timeout):
                raise harness.HarnessError(f"request for {path} not answered in {timeout} s")
        return found

    def wait_connections(self, count, timeout=30):
        with self._cond:
            if not self._cond.wait_for(lambda: self.connections >= count, timeout):
                raise harness.HarnessError(
                    f"{self.connections} connection(s) after {timeout} s, wanted {count}")

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
        return data.split(b"\r\n\r\n", 1)[0]

    def _handle(self, conn):
        with self._cond:
            self.connections += 1
            self._cond.notify_all()
        if self._tls:
            try:
                conn.settimeout(15)
                conn = self._tls.wrap_socket(conn, server_side=True)
            except (OSError, ssl.SSLError):
                conn.close()
                return  # the client refused us, or gave up
        with conn:
            if self.close_on_accept == "reset":
                # An RST instead of a FIN.
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            if self.close_on_accept:
                return  # before a byte is read
            lines = self._read_head(conn).split(b"\r\n")
            request = Request(lines[0], lines[1:])
            if self.observer is not None:
                try:
                    request.observed = self.observer()
                except Exception as e:  # recorded, so that the test sees it
                    request.observed = e
            with self._cond:
                self.requests.append(request)
                answer = self._answers.get(request.path, NOT_FOUND)
                self._cond.notify_all()
            try:
                answer.send(conn, request, self._stop)
            except OSError:
                request.client_gone = True
            finally:
                request.done.set()


class Nginx:
    """nginx in the foreground on a free loopback port, serving `root`; all
    it writes stays in `folder`. With `tls` (certificate, key) it speaks
    https only; `server_lines` are more directives for its one server (a
    log, a rate limit)."""

    BINARY = "/usr/sbin/nginx"

    def __init__(self, folder, tls=None, server_lines=""):
        self.tls = tls
        self.server_lines = server_lines
        self.folder = str(folder)
        self.root = os.path.join(self.folder, "www")
        os.makedirs(os.path.join(self.folder, "temp"), exist_ok=True)
        os.makedirs(self.root, exist_ok=True)
        self.proc = None
        self.port = None

    def start(self):
        # A port found free may be taken before nginx binds it: try a few.
        for _ in range(5):
            probe = listen(0)
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
        if self.tls:
            return f"https://localhost:{self.port}{path}"
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
        listen_line = f"listen 127.0.0.1:{self.port};"
        if self.tls:
            listen_line = (f"listen 127.0.0.1:{self.port} ssl; ssl_certificate {self.tls[0]}; "
                           f"ssl_certificate_key {self.tls[1]};")
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
  server {{ {listen_line} root {self.root}; {self.server_lines} }}
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
