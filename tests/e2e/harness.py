"""Driving launcher.exe and other win32 programs under Wine on an X display:
shared by the end-to-end tests, ./run and the start-up benchmark.

Wine programs run with LC_ALL=zh_CN.UTF-8 (code page 936); X tools run with
the caller's locale. Windows are found by their UTF-8 title
(`xdotool getwindowname`), since `xdotool search --name` only sees the
Latin-1 WM_NAME, where every Chinese character is "?".
"""

import os
import stat
import subprocess
import tempfile
import time

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(REPO_ROOT, "scripts", "wine-run")

LAUNCHER_TITLE = "塔沃VR游戏启动器"
LAUNCHER_SIZE = (597, 373)
DEMO_GAME_TITLE = "演示游戏"


class HarnessError(AssertionError):
    pass


def wait_until(predicate, timeout, interval=0.05, what="condition"):
    """Polls predicate until it returns something truthy; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise HarnessError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def windows_path(path):
    """The Windows name Wine gives a Unix path (the Z: drive)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Wine:
    """The run's Wine prefix and display, as scripts/wine-run prepares them."""

    def __init__(self, prefix=None):
        env = dict(os.environ)
        if prefix:
            env["TAVORO_WINEPREFIX"] = prefix
        out = subprocess.run([WINE_RUN, "--env"], env=env, check=True, capture_output=True,
                             text=True, timeout=900).stdout
        settings = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        self.prefix = settings["WINEPREFIX"]
        self.display = settings["DISPLAY"]
        self.x_env = dict(env, DISPLAY=self.display)
        self.x_env.pop("LC_ALL", None)
        self.wine_env = dict(env, **settings, LC_ALL="zh_CN.UTF-8")

    # -- win32 programs --------------------------------------------------
    def start(self, exe, *args, cwd=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
              env=None):
        """`env`: variables for this program on top of the run's."""
        return subprocess.Popen(["wine", exe, *args], cwd=cwd or os.path.dirname(exe),
                                env=dict(self.wine_env, **(env or {})),
                                stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr)

    def run(self, exe, *args, timeout=60, cwd=None):
        """Runs a program to its end; CompletedProcess with bytes output.

        Output goes through files, not pipes: helper processes that Wine
        starts on the way (explorer.exe /desktop) outlive the program and
        would keep a pipe open."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run(["wine", exe, *args], cwd=cwd or os.path.dirname(exe) or None,
                                  env=self.wine_env, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            done.stdout, done.stderr = out.read(), err.read()
        return done

    def reg_add(self, key, name, value):
        done = self.run("reg", "add", key, "/v", name, "/d", value, "/f", cwd=self.prefix)
        if done.returncode != 0:
            raise HarnessError(f"reg add {key} {name} failed: {done.stderr!r}")

    # -- X side ----------------------------------------------------------
    def x(self, *args, timeout=10):
        return subprocess.run(list(args), env=self.x_env, capture_output=True, timeout=timeout)

    def visible_windows(self):
        """[(id, utf-8 title)] of the mapped windows that have a name."""
        found = self.x("xdotool", "search", "--onlyvisible", "--name", ".")
        result = []
        for wid in found.stdout.split():
            name = self.x("xdotool", "getwindowname", wid)
            if name.returncode == 0:
                result.append((wid.decode(), name.stdout.decode("utf-8", "replace").rstrip("\n")))
        return result

    def find_window(self, title):
        for wid, name in self.visible_windows():
            if name == title:
                return wid
        return None

    def wait_window(self, title, timeout=60, proc=None):
        """Waits until a window titled `title` is mapped; fails early when
        `proc` (the program expected to show it) has ended."""

        def probe():
            wid = self.find_window(title)
            if wid:
                return wid
            if proc is not None and proc.poll() is not None:
                raise HarnessError(f"process ended (exit code {proc.returncode}) "
                                   f"before a window titled {title!r} appeared")
            return None

        return wait_until(probe, timeout, interval=0.1, what=f"window {title!r}")

    def geometry(self, wid):
        """(x, y, width, height) of a window relative to the screen."""
        out = self.x("xdotool", "getwindowgeometry", "--shell", wid).stdout.decode()
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def screen_size(self):
        out = self.x("xdotool", "getdisplaygeometry").stdout.split()
        return int(out[0]), int(out[1])

    def screenshot(self, path):
        """Saves the whole screen as PNG and returns the path."""
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        done = self.x("import", "-window", "root", path, timeout=30)
        if done.returncode != 0:
            raise HarnessError(f"screenshot failed: {done.stderr.decode(errors='replace')}")
        return path


class Launcher:
    """One launcher.exe process in a game folder."""

    def __init__(self, wine, folder, helpers_dir):
        self.wine = wine
        self.folder = os.path.abspath(folder)
        self.exe = os.path.join(self.folder, "launcher.exe")
        self.post_message = os.path.join(os.path.abspath(helpers_dir), "post_message.exe")
        self.proc = None
        self.window = None

    def start(self, env=None):
        self.proc = self.wine.start(self.exe, cwd=self.folder, env=env)
        return self

    def wait_window(self, timeout=60):
        self.window = self.wine.wait_window(LAUNCHER_TITLE, timeout, proc=self.proc)
        return self.window

    def post(self, *args):
        """Posts a message to the Launch window (default WM_CLOSE); True when posted."""
        done = self.wine.run(self.post_message, *args, timeout=30)
        return done.returncode == 0

    def close(self, timeout=15):
        """Asks the window to close and returns the process's exit code."""
        # post_message finds the window by class: with two launchers up, it
        # could close the wrong one.
        others = [w for w, name in self.wine.visible_windows() if name == LAUNCHER_TITLE]
        if len(others) > 1:
            raise HarnessError(f"{len(others)} Launch windows are open; cannot tell which to close")
        if not self.post("/wait:2000", "close"):
            raise HarnessError("post_message found no Launch window to close")
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"launcher still running {timeout} s after WM_CLOSE") from None

    def kill(self):
        """Last resort after a failed test: end the process and its Wine side."""
        if self.proc and self.proc.poll() is None:
            self.post("/wait:0", "quit")
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)


class BrowserRecorder:
    """A Unix script registered as Wine's browser: every address the shell
    opens in the browser is appended to a file, one line each."""

    def __init__(self, wine, directory):
        self.wine = wine
        self.log = os.path.join(directory, "opened.txt")
        self.script = os.path.join(directory, "record-browser")
        with open(self.script, "w") as f:
            f.write("#!/bin/sh\n")
            f.write(f"for a in \"$@\"; do printf '%s\\n' \"$a\" >> '{self.log}'; done\n")
        os.chmod(self.script, os.stat(self.script).st_mode | stat.S_IXUSR | stat.S_IXGRP)
        wine.reg_add("HKCU\\Software\\Wine\\WineBrowser", "Browsers", self.script)

    def clear(self):
        if os.path.exists(self.log):
            os.unlink(self.log)

    def opened(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def wait_count(self, count, timeout=30):
        return wait_until(lambda: len(self.opened()) >= count and self.opened(), timeout,
                                  interval=0.1, what=f"{count} address(es) opened in the browser")
