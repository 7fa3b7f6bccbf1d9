"""Fixtures for the end-to-end tests of launcher.exe under Wine.

The ring runs in parallel: TAVORO_E2E_WORKERS worker processes (default:
the number of cores; 1 runs everything in this process), pytest-xdist's
where it is installed. Each test process has a Wine prefix and an Xvfb of
its own (a worker's prefix is a copy of the run's, scripts/wine-env.sh) and
its own version page ports (http_server), so tests of different workers
share no wineserver, window, named object or port. One fresh demo game
folder per test, screenshots of failures under build/e2e-artifacts/.
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
# gw0, gw1, ... in a worker of a parallel run; None in a serial run.
WORKER = os.environ.get("PYTEST_XDIST_WORKER")

if WORKER:
    # Set before the session's Wine is prepared: the run's prefix (made
    # ready once) is the template of this worker's own, and the worker
    # starts an Xvfb of its own even when the caller has a display.
    _run_prefix = os.path.abspath(os.environ.get("TAVORO_WINEPREFIX") or
                                  os.path.join(harness.REPO_ROOT, "build", "wineprefix"))
    os.environ["TAVORO_WINEPREFIX_TEMPLATE"] = _run_prefix
    os.environ["TAVORO_WINEPREFIX"] = f"{_run_prefix}-e2e-{WORKER}"
    os.environ.pop("DISPLAY", None)


def e2e_workers():
    """TAVORO_E2E_WORKERS, or the number of cores this process may use."""
    wanted = os.environ.get("TAVORO_E2E_WORKERS", "").strip()
    if wanted:
        try:
            return max(1, int(wanted))
        except ValueError:
            raise pytest.UsageError(f"TAVORO_E2E_WORKERS={wanted!r} is no number") from None
    return len(os.sched_getaffinity(0))


@pytest.hookimpl(tryfirst=True)
def pytest_cmdline_main(config):
    # Runs before xdist reads its options; an explicit -n (or -p no:xdist,
    # or a Python without xdist) is left as it is.
    if WORKER or getattr(config.option, "numprocesses", "absent") is not None:
        return
    if config.getoption("usepdb", False) or config.getoption("collectonly", False):
        return
    workers = e2e_workers()
    if workers > 1:
        config.option.numprocesses = workers


def pytest_sessionfinish(session):
    # A worker's Wine and Xvfb end with it; the run's own prefix stays up
    # for the next program, as scripts/wine-run leaves it.
    if WORKER:
        subprocess.run([harness.WINE_RUN, "--stop"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)


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


@pytest.fixture(scope="session")
def e2e_launchers(wine, win32_build, tmp_path_factory):
    """{name: path} of launcher-e2e.exe and launcher-e2e-https.exe stamped
    by tavoro-publish with this process's version page ports."""
    pages = {"launcher-e2e.exe": f"http://127.0.0.1:{http_server.PORT}/version.html",
             "launcher-e2e-https.exe":
                 f"https://localhost:{http_server.HTTPS_PORT}/version.html"}
    tool = os.path.join(win32_build, "tavoro-publish.exe")
    out = tmp_path_factory.mktemp("e2e-launchers")
    stamped = {}
    for name, page in pages.items():
        built = os.path.join(win32_build, name)
        for exe in (built, tool):
            if not os.path.isfile(exe):
                pytest.fail(f"{exe} missing: build the win32 preset first")
        stamped[name] = str(out / name)
        done = wine.run(tool, "stamp", "--in", harness.windows_path(built), "--out",
                        harness.windows_path(stamped[name]), "--page", page, timeout=120)
        if done.returncode != 0 or not os.path.isfile(stamped[name]):
            pytest.fail(f"stamping {name} for {page} failed ({done.returncode}): "
                        f"{done.stderr.decode('gbk', 'replace')}")
    return stamped


def _with_launcher(game_folder, exe):
    shutil.copyfile(exe, game_folder / "launcher.exe")
    return game_folder


@pytest.fixture
def e2e_folder(game_folder, e2e_launchers):
    """The demo folder with launcher-e2e.exe, the build that asks loopback
    for its version page (http_server.PORT), as its launcher.exe."""
    return _with_launcher(game_folder, e2e_launchers["launcher-e2e.exe"])


@pytest.fixture
def e2e_https_folder(game_folder, e2e_launchers):
    """The same with launcher-e2e-https.exe, which asks for its version page
    over https (http_server.HTTPS_PORT)."""
    return _with_launcher(game_folder, e2e_launchers["launcher-e2e-https.exe"])


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
                    harness.windows_path(der))
    if done.returncode != 0:
        pytest.fail(f"trust_root.exe failed ({done.returncode}): {done.stderr!r}")
    return folder


@pytest.fixture(scope="session")
def browser(wine, tmp_path_factory):
    """The recorder registered as Wine's browser. One for the run: the
    prefix has one such setting, and the last recorder registered wins."""
    return harness.BrowserRecorder(wine, str(tmp_path_factory.mktemp("browser")))


@pytest.fixture(scope="session")
def desktop_folder(wine):
    import startup_support  # it reads this module's names
    return startup_support.desktop_dir(wine)


@pytest.fixture
def desktop(desktop_folder):
    """The Wine desktop folder without any shortcut."""
    import startup_support
    startup_support.clear_shortcuts(desktop_folder)
    yield desktop_folder
    startup_support.clear_shortcuts(desktop_folder)


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


# The locale that gives Wine each ANSI code page (toolchain notes): the
# launcher's own, a Western system's and a Traditional Chinese one's.
CODE_PAGE_LOCALES = {936: "zh_CN.UTF-8", 1252: "C.UTF-8", 950: "zh_TW.UTF-8"}


@pytest.fixture
def code_page(request):
    """The system code page the test's launchers run on: 936, or what the
    test is parametrized with (indirect=True)."""
    return getattr(request, "param", 936)


@pytest.fixture
def start_launcher(request, wine, win32_build, code_page):
    """start_launcher(folder, name="launcher.exe") -> harness.Launcher,
    started on the test's code page; every launcher still running at the
    end of the test is ended, after a screenshot when the test failed."""
    started = []

    def start(folder, name="launcher.exe"):
        launcher = harness.Launcher(wine, str(folder), win32_build)
        launcher.exe = os.path.join(launcher.folder, name)
        started.append(launcher.start(env={"LC_ALL": CODE_PAGE_LOCALES[code_page]}))
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
