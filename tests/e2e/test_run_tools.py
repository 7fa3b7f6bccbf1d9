"""The ring's own machinery, without Wine: the number of workers, the
version page ports each test process picks, the summary's slowest tests,
and the stop of the workers' Wine and Xvfb."""

import ctypes
import os
import socket
import subprocess
import sys
import time

import pytest

import conftest
import harness
import http_server as hs

SLOWEST = os.path.join(harness.REPO_ROOT, "scripts", "slowest-tests.py")
WM_STATE = os.path.join(harness.REPO_ROOT, "scripts", "wm-state.py")


@pytest.mark.parametrize("value, workers", [
    ("3", 3),
    (" 2 ", 2),
    ("1", 1),
    ("0", 1),
    ("", len(os.sched_getaffinity(0))),
])
def test_workers_from_the_variable(monkeypatch, value, workers):
    monkeypatch.setenv("TAVORO_E2E_WORKERS", value)
    assert conftest.e2e_workers() == workers


def test_workers_not_a_number_is_refused(monkeypatch):
    monkeypatch.setenv("TAVORO_E2E_WORKERS", "two")
    with pytest.raises(pytest.UsageError):
        conftest.e2e_workers()


def test_ports_are_two_free_ones_below_the_outgoing_range():
    with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
        first_outgoing = int(f.read().split()[0])
    for _ in range(20):
        ports = hs._unused_ports(2)
        assert len(set(ports)) == 2
        assert all(20000 <= p < first_outgoing for p in ports), ports
    # A port picked is one that can be listened on.
    hs.listen(hs._unused_ports(1)[0], wait=0).close()


def test_a_port_in_use_is_not_picked():
    held = socket.socket()
    try:
        held.bind(("127.0.0.1", hs._unused_ports(1)[0]))
        busy = held.getsockname()[1]
        for _ in range(200):
            assert busy not in hs._unused_ports(2)
    finally:
        held.close()


JUNIT = """<?xml version="1.0" encoding="utf-8"?>
<testsuites><testsuite name="pytest" tests="5">
<testcase classname="tests.e2e.test_update.TestUpdate" name="test_a[x]" time="12.5"/>
<testcase classname="tests.e2e.test_kills" name="test_matrix" time="301.25"/>
<testcase classname="tests.e2e.test_slideshow" name="test_fade" time="9.96"/>
<testcase classname="tests.e2e.test_slideshow" name="test_no_time"/>
<testcase classname="other.module" name="test_b" time="40"/>
</testsuite></testsuites>
"""


ALL_FIVE = ["    301.2 s  test_kills::test_matrix",
            "     40.0 s  other.module::test_b",
            "     12.5 s  test_update.TestUpdate::test_a[x]",
            "     10.0 s  test_slideshow::test_fade",
            "      0.0 s  test_slideshow::test_no_time"]


@pytest.mark.parametrize("count, lines", [
    ([], ALL_FIVE),  # five by default
    (["2"], ALL_FIVE[:2]),
    (["9"], ALL_FIVE),  # more than there are
])
def test_slowest_tests(tmp_path, count, lines):
    results = tmp_path / "results.xml"
    results.write_text(JUNIT)
    done = subprocess.run([sys.executable, SLOWEST, str(results), *count], capture_output=True,
                          text=True, check=True)
    assert done.stdout.splitlines() == lines


@pytest.mark.parametrize("content", [None, "<testsuites><testcase"])
def test_slowest_tests_of_a_missing_or_broken_file_fail(tmp_path, content):
    results = tmp_path / "results.xml"
    if content is not None:
        results.write_text(content)
    done = subprocess.run([sys.executable, SLOWEST, str(results)], capture_output=True, text=True)
    assert done.returncode == 1
    assert done.stdout == ""
    assert str(results) in done.stderr


def test_stop_ends_the_xvfb_of_each_workers_prefix(tmp_path):
    # Stand-ins for what two workers left: their records name processes as
    # their Xvfb and WM_STATE keeper. A folder of that name without records
    # is passed over.
    stand_ins = {}
    for name in ("wineprefix-e2e-gw0", "wineprefix-e2e-gw1"):
        state = tmp_path / name / ".tavoro-run"
        state.mkdir(parents=True)
        for record in ("xvfb", "wm-state"):
            stand_ins[name, record] = subprocess.Popen(["sleep", "60"])
            (state / f"{record}.pid").write_text(f"{stand_ins[name, record].pid}\n")
        (state / "xvfb.display").write_text("99\n")
    (tmp_path / "wineprefix-e2e-gw2").mkdir()
    try:
        env = dict(os.environ, TAVORO_WINEPREFIX=str(tmp_path / "wineprefix"))
        subprocess.run([harness.WINE_RUN, "--stop"], env=env, check=True, timeout=60,
                       capture_output=True)
        for (name, record), proc in stand_ins.items():
            assert proc.wait(10) is not None, (name, record)
            assert not (tmp_path / name / ".tavoro-run" / f"{record}.pid").exists()
    finally:
        for proc in stand_ins.values():
            proc.kill()
            proc.wait()


class XClient:
    """A bare Xlib client through ctypes: top-level windows to map and unmap."""

    CW_OVERRIDE_REDIRECT = 1 << 9

    class Attributes(ctypes.Structure):  # XSetWindowAttributes
        _fields_ = [("background_pixmap", ctypes.c_ulong), ("background_pixel", ctypes.c_ulong),
                    ("border_pixmap", ctypes.c_ulong), ("border_pixel", ctypes.c_ulong),
                    ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                    ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                    ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                    ("event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                    ("override_redirect", ctypes.c_int), ("colormap", ctypes.c_ulong),
                    ("cursor", ctypes.c_ulong)]

    def __init__(self, display):
        x = self.xlib = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XCreateWindow.restype = ctypes.c_ulong
        x.XCreateWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, *[ctypes.c_int] * 4,
                                    ctypes.c_uint, ctypes.c_int, ctypes.c_uint, ctypes.c_void_p,
                                    ctypes.c_ulong, ctypes.c_void_p]
        for name in ("XMapWindow", "XUnmapWindow"):
            getattr(x, name).argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = x.XOpenDisplay(display.encode())
        assert self.display, f"cannot open {display}"

    def window(self, override_redirect=False):
        attributes = self.Attributes(override_redirect=int(override_redirect))
        return self.xlib.XCreateWindow(self.display, self.xlib.XDefaultRootWindow(self.display),
                                       10, 10, 50, 40, 0, 0, 1, None, self.CW_OVERRIDE_REDIRECT,
                                       ctypes.byref(attributes))

    def show(self, window, shown=True):
        (self.xlib.XMapWindow if shown else self.xlib.XUnmapWindow)(self.display, window)
        self.xlib.XSync(self.display, 0)

    def close(self):
        self.xlib.XCloseDisplay(self.display)


def has_normal_state(display, window):
    done = subprocess.run(["xprop", "-display", display, "-id", str(window), "WM_STATE"],
                          capture_output=True, text=True, timeout=10)
    return "window state: Normal" in done.stdout


def test_wm_state_follows_map_and_unmap_and_ends_with_the_display(tmp_path):
    with open(tmp_path / "number", "w+") as number:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(number.fileno()), "-screen", "0",
                                 "320x240x24", "-nolisten", "tcp"], pass_fds=[number.fileno()],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        display = ":" + harness.wait_until(lambda: number.seek(0) == 0 and number.read().strip(),
                                           10, what="Xvfb's display number")
    keeper = subprocess.Popen([WM_STATE], env=dict(os.environ, DISPLAY=display))
    client = None
    try:
        client = XClient(display)
        managed, unmanaged = client.window(), client.window(override_redirect=True)
        time.sleep(0.5)  # the keeper is listening before the first map
        assert not has_normal_state(display, managed)
        for round_ in (1, 2):
            client.show(managed)
            client.show(unmanaged)
            harness.wait_until(lambda: has_normal_state(display, managed), 5,
                               what=f"WM_STATE Normal after map {round_}")
            client.show(managed, shown=False)
            harness.wait_until(lambda: not has_normal_state(display, managed), 5,
                               what=f"no WM_STATE after unmap {round_}")
        assert not has_normal_state(display, unmanaged)
        assert keeper.poll() is None
        client.close()
        client = None
        xvfb.terminate()
        xvfb.wait(10)
        assert keeper.wait(10) is not None
    finally:
        if client:
            client.close()
        for proc in (keeper, xvfb):
            if proc.poll() is None:
                proc.kill()
                proc.wait()
