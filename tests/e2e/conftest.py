"""Fixtures for the end-to-end tests of launcher.exe under Wine.

One Wine prefix and display for the session (scripts/wine-run prepares
them), one fresh demo game folder per test, screenshots of failures under
build/e2e-artifacts/.
"""

import os
import re
import shutil
import subprocess
import sys

import pytest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import http_server  # noqa: E402

WIN32_BUILD = os.environ.get("TAVORO_WIN32_BUILD", os.path.join(harness.REPO_ROOT, "build", "win32"))
ARTIFACTS = os.path.join(harness.REPO_ROOT, "build", "e2e-artifacts")
MAKE_DEMO = os.path.join(harness.REPO_ROOT, "scripts", "make-demo-game.py")


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    setattr(item, "report_" + report.when, report)


def _failed(request):
    return any(getattr(getattr(request.node, "report_" + when, None), "failed", False)
               for when in ("setup", "call"))


@pytest.fixture(scope="session")
def win32_build():
    for exe in ("launcher.exe", "DemoGame.exe", "post_message.exe"):
        if not os.path.isfile(os.path.join(WIN32_BUILD, exe)):
            pytest.fail(f"{exe} missing in {WIN32_BUILD}: build the win32 preset first")
    return WIN32_BUILD


@pytest.fixture(scope="session")
def wine():
    return harness.Wine()


@pytest.fixture(scope="session")
def demo_template(tmp_path_factory, win32_build):
    out = tmp_path_factory.mktemp("demo-template") / "game"
    subprocess.run([MAKE_DEMO, str(out), "--launcher", os.path.join(win32_build, "launcher.exe"),
                    "--game", os.path.join(win32_build, "DemoGame.exe")], check=True,
                   stdout=subprocess.DEVNULL)
    return out


@pytest.fixture
def game_folder(tmp_path, demo_template):
    """A fresh copy of the demo game folder for this test."""
    folder = tmp_path / "game"
    shutil.copytree(demo_template, folder)
    return folder


def _with_launcher(game_folder, win32_build, name):
    exe = os.path.join(win32_build, name)
    if not os.path.isfile(exe):
        pytest.fail(f"{name} missing in {win32_build}: build the win32 preset first")
    shutil.copyfile(exe, game_folder / "launcher.exe")
    return game_folder


@pytest.fixture
def e2e_folder(game_folder, win32_build):
    """The demo folder with launcher-e2e.exe, the build that asks loopback
    for its version page, as its launcher.exe."""
    return _with_launcher(game_folder, win32_build, "launcher-e2e.exe")


@pytest.fixture
def e2e_https_folder(game_folder, win32_build):
    """The same with launcher-e2e-https.exe, which asks for its version page
    over https (http_server.HTTPS_PORT)."""
    return _with_launcher(game_folder, win32_build, "launcher-e2e-https.exe")


@pytest.fixture(scope="session")
def test_authority(wine, win32_build):
    """The folder of the tests' certificate authority (made by the win32
    build), which is trusted in the Wine prefix from here on, and only
    there."""
    folder = os.path.join(win32_build, "test-authority")
    der = os.path.join(folder, "ca.der")
    if not os.path.isfile(der):
        pytest.fail(f"{der} missing: build the win32 preset first")
    done = wine.run(os.path.join(win32_build, "trust_root.exe"),
                    "Z:" + os.path.abspath(der).replace("/", "\\"))
    if done.returncode != 0:
        pytest.fail(f"trust_root.exe failed ({done.returncode}): {done.stderr!r}")
    return folder


@pytest.fixture
def config_path(game_folder):
    return game_folder / "tavoro" / "tavoroConfig.ini"


@pytest.fixture
def package_server():
    """A Python HTTP server on a free loopback port, for update packages."""
    server = http_server.Server()
    yield server
    server.stop()


@pytest.fixture
def nginx(tmp_path):
    """nginx on a free loopback port, for update packages."""
    server = http_server.Nginx(tmp_path / "nginx").start()
    yield server
    server.stop()


def save_screenshot(wine, name):
    safe = re.sub(r"[^A-Za-z0-9_.-]+", "_", name)
    try:
        return wine.screenshot(os.path.join(ARTIFACTS, safe + ".png"))
    except (harness.HarnessError, subprocess.SubprocessError, OSError):
        return None


@pytest.fixture
def start_launcher(request, wine, win32_build):
    """start_launcher(folder) -> harness.Launcher, started; every launcher
    still running at the end of the test is ended, after a screenshot when
    the test failed."""
    started = []

    def start(folder):
        launcher = harness.Launcher(wine, str(folder), win32_build).start()
        started.append(launcher)
        return launcher

    yield start
    if _failed(request):
        save_screenshot(wine, request.node.name)
    for launcher in started:
        launcher.kill()


@pytest.fixture
def launcher(start_launcher, game_folder):
    """launcher.exe started on the demo folder, its window mapped."""
    running = start_launcher(game_folder)
    running.wait_window()
    return running
