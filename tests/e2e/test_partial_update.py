"""Updates that fetch only what the game folder lacks, end to end: the
publisher's tool packs release 2 of a game whose folder is at release 1,
and the stamped launcher updates from a web server that answers ranges as
nginx does, one that ignores them, one that alters a byte, and one whose
connection breaks mid-part.
"""

import os
import re
import socket
import threading

import pytest
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import harness
import update_support as us
import version_support as vs
# The publisher's fixtures and steps, as the signed updates use them.
from test_signed_update import (accept, public_key_and_secret, publish,  # noqa: F401
                                stamped_folder, start, tool)

PACKAGE = "update.zip"
FILES = 12
FILE_SIZE = 512 * 1024
CHANGED = "数据/关卡03.pak"
ADDED = "数据/新增.txt"


def level(index, release):
    """Random bytes, which do not deflate: stored, as textures are."""
    return us.pseudo_random(FILE_SIZE, seed=index * 10 + release)


def release_files(release):
    files = {f"数据/关卡{i:02d}.pak": level(i, 1) for i in range(FILES)}
    files["说明.txt"] = "第一版\r\n".encode("gbk")
    if release == 2:
        files[CHANGED] = level(3, 2)
        files[ADDED] = "新文件\r\n".encode("gbk")
    return files


def write_files(folder, files):
    for name, data in files.items():
        path = os.path.join(str(folder), *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


class RangeServer:
    """Serves one package as a plain file server does (single ranges with
    an ETag), counting the body bytes it sends; or ignores ranges, alters
    one byte of every answer, or breaks the first range answer midway."""

    def __init__(self):
        self.package = b""
        self.ignore_ranges = False
        self.break_after = None
        self.sent = 0
        self.ranges = []
        self.lock = threading.Lock()
        owner = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                owner.answer(self)

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def serve(self, package, altered_at=None):
        changed = bytearray(package)
        if altered_at is not None:
            changed[altered_at] ^= 0x01
        self.package = bytes(changed)

    def url(self):
        return f"http://127.0.0.1:{self.httpd.server_address[1]}/{PACKAGE}"

    def answer(self, handler):
        body = self.package
        asked = re.fullmatch(r"bytes=(\d+)-(\d+)", handler.headers.get("Range", ""))
        if asked and not self.ignore_ranges:
            first, last = int(asked.group(1)), int(asked.group(2))
            with self.lock:
                self.ranges.append((first, last))
            handler.send_response(206)
            handler.send_header("Content-Range", f"bytes {first}-{last}/{len(body)}")
            body = body[first:last + 1]
        else:
            handler.send_response(200)
        handler.send_header("Content-Length", str(len(body)))
        handler.send_header("ETag", '"r2"')
        handler.end_headers()
        if asked and self.break_after is not None and len(body) > self.break_after:
            cut, self.break_after = self.break_after, None
            handler.wfile.write(body[:cut])
            handler.wfile.flush()
            with self.lock:
                self.sent += cut
            handler.connection.shutdown(socket.SHUT_RDWR)
            handler.close_connection = True
            return
        handler.wfile.write(body)
        with self.lock:
            self.sent += len(body)

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def listed_entries(package, page):
    """{name: (offset, span)} from the package's list, and the list's length."""
    offset, length, _ = re.search(r"更新清单=([^<]*)<", page).group(1).split(" ")
    text = package[int(offset):int(offset) + int(length)]
    line = re.compile(rb"([0-9a-f]{16}) ([0-9a-f]{16}) [0-9a-f]{16} \S+ (\d+):")
    entries = {}
    at = text.index(b"\n") + 1
    while at < len(text):
        found = line.match(text, at)
        name_end = found.end() + int(found.group(3))
        name = text[found.end():name_end].decode("gbk")
        entries[name] = (int(found.group(1), 16), int(found.group(2), 16))
        at = name_end + 1
    return entries, int(length)




def pack_release_2(wine, tool, tmp_path, secret, win32_build, url):
    """(package, page) of release 2, packed by the publisher's tool."""
    source = tmp_path / "release-2"
    write_files(source, release_files(2))
    (source / us.NEW_LAUNCHER).write_bytes(us.read(os.path.join(win32_build, "DemoGame.exe")))
    upload = tmp_path / "upload"
    publish(wine, tool, "pack", "--from", us.windows_path(source), "--launcher", us.NEW_LAUNCHER,
            "--version", "5.1", "--url", url, "--page", vs.VERSION_URL, "--secret",
            us.windows_path(secret), "--out", us.windows_path(upload), "--note", "部分更新")
    return us.read(upload / PACKAGE), (upload / "version.html").read_text("utf-8")


def assert_all_new(folder, launcher):
    log = os.path.join(str(folder), os.path.splitext(us.NEW_LAUNCHER)[0] + ".log")
    harness.wait_until(lambda: os.path.exists(log), 90, what="the new launcher's log")
    # The old launcher waits up to 15 s for a program that is no launcher.
    assert us.wait_exit(launcher.proc, 60) == 0
    for name, data in release_files(2).items():
        assert us.read(os.path.join(str(folder), *name.split("/"))) == data, name
    for leftover in (PACKAGE, PACKAGE + ".tmp", PACKAGE + ".entries", "tavoro-update.entries"):
        assert not os.path.exists(os.path.join(str(folder), leftover)), leftover


@pytest.fixture
def server():
    served = RangeServer()
    yield served
    served.stop()


@pytest.fixture
def release(server, wine, tool, tmp_path, stamped_folder, public_key_and_secret, win32_build):
    """The folder at release 1, and (package, page) of release 2 for the server."""
    write_files(stamped_folder, release_files(1))
    return pack_release_2(wine, tool, tmp_path, public_key_and_secret[1], win32_build,
                          server.url())


def damaged(folder, name):
    path = os.path.join(str(folder), *name.split("/"))
    data = bytearray(us.read(path))
    data[len(data) // 2] ^= 0xFF
    with open(path, "wb") as f:
        f.write(data)


class TestPartialUpdate:
    def test_only_the_changed_entries_are_sent(
            self, wine, server, release, start_launcher, stamped_folder, win32_build):
        package, page = release
        server.serve(package)
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)
        assert_all_new(stamped_folder, launcher)
        entries, list_length = listed_entries(package, page)
        changed = sum(entries[name][1] for name in (CHANGED, ADDED, us.NEW_LAUNCHER))
        assert server.sent <= 1.2 * changed + list_length + 256 * 1024, (server.sent, changed)
        assert server.sent < len(package) / 4
        assert len(server.ranges) >= 2

    def test_a_server_that_ignores_ranges_sends_the_whole_package(
            self, wine, server, release, start_launcher, stamped_folder, win32_build):
        package, page = release
        server.ignore_ranges = True
        server.serve(package)
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)
        assert_all_new(stamped_folder, launcher)
        assert server.sent >= len(package)

    def test_a_damaged_unchanged_file_ends_all_new(
            self, wine, server, release, start_launcher, stamped_folder, win32_build):
        package, page = release
        damaged(stamped_folder, "数据/关卡07.pak")
        server.serve(package)
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)
        assert_all_new(stamped_folder, launcher)
        assert server.sent < len(package) / 2

    def test_one_altered_byte_applies_nothing(
            self, wine, server, release, start_launcher, stamped_folder, win32_build):
        package, page = release
        entries, _ = listed_entries(package, page)
        offset, span = entries[CHANGED]
        server.serve(package, altered_at=offset + span // 2)
        before = us.tree(str(stamped_folder))
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)
        refusal = us.wait_box(wine, us.QUESTION_TITLE, launcher)
        us.press(wine, refusal, "Return")
        assert us.tree(str(stamped_folder)).keys() - before.keys() <= {"Bin/DemoGame.log"}
        for name, data in release_files(1).items():
            assert us.read(os.path.join(str(stamped_folder), *name.split("/"))) == data, name
        assert launcher.close() == 0

    def test_a_break_during_the_range_requests_resumes(
            self, wine, server, release, start_launcher, stamped_folder, win32_build):
        package, page = release
        server.break_after = 100 * 1024
        server.serve(package)
        launcher = start(start_launcher, stamped_folder)
        accept(wine, launcher, page, win32_build)
        assert_all_new(stamped_folder, launcher)
        assert server.sent < len(package) / 4
        # The part that broke was asked for again from where it stopped.
        assert any(first == earlier[0] + 100 * 1024 and last == earlier[1]
                   for earlier in server.ranges for first, last in server.ranges), server.ranges
