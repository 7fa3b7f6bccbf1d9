#!/usr/bin/python3
"""A package past 4 GiB downloaded and applied by launcher.exe, side by side
with curl + unzip in the same run.

tavoro-publish.exe packs a release whose one data file (6 GiB by default)
repeats a random MiB, so that it is stored and the package is ZIP64, and
signs it; nginx on loopback serves the page and the package. launcher.exe,
stamped with the key and that page, is started under Wine, its start is
clicked and the update accepted: its time runs from the Yes to its own end
(downloaded, hashed, checked, staged, applied and handed over), its memory
(VmRSS of its Wine process) sampled every half second. Then curl fetches the
same package and unzip unpacks it. Prints both times, their ratio and the
launcher's peak memory. Needs about three times the package's size free.

    bench/large_update.py [--gib 6] [--build build/win32]
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO_ROOT, "tests", "e2e"))
import harness  # noqa: E402
import http_server as hs  # noqa: E402
import version_support as vs  # noqa: E402

BLOCK = 1 << 20
NEW_LAUNCHER = "new-launcher.exe"


def publish(wine, tool, *args):
    done = wine.run(tool, *args, timeout=3600)
    if done.returncode != 0:
        raise harness.HarnessError(f"tavoro-publish {args[0]}: "
                                   f"{done.stderr.decode('gbk', 'replace')}")
    return done.stdout.decode("gbk", "replace")


def resident_kib(pid, field="VmRSS:"):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def timed(command):
    began = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.monotonic() - began


def launcher_run(wine, build, folder):
    """Seconds from the Yes to the launcher's end, and its peak memory in KiB."""
    launcher = harness.Launcher(wine, folder, build)
    launcher.exe = os.path.join(folder, "launcher.exe")
    launcher.start()
    try:
        launcher.wait_window()
        vs.click_start(wine, launcher)
        question = vs.wait_question(wine, launcher, 60)
        samples = []
        done = threading.Event()

        def sample():
            while not done.wait(0.5):
                samples.append(max(resident_kib(launcher.proc.pid),
                                   resident_kib(launcher.proc.pid, "VmHWM:")))

        sampler = threading.Thread(target=sample, daemon=True)
        began = time.monotonic()
        vs.answer(wine, question, yes=True)
        sampler.start()
        vs.close_games(wine, build)
        code = launcher.proc.wait(3600)
        elapsed = time.monotonic() - began
        done.set()
        sampler.join()
    finally:
        launcher.kill()
        vs.close_games(wine, build)  # the new launcher here is the demo game
    log = os.path.join(folder, os.path.splitext(NEW_LAUNCHER)[0] + ".log")
    if code != 0 or not os.path.exists(log):
        raise harness.HarnessError(f"the update did not hand over (exit code {code})")
    return elapsed, max(samples, default=0)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--gib", type=float, default=6)
    parser.add_argument("--build", default=os.path.join(REPO_ROOT, "build", "win32"))
    args = parser.parse_args(argv)
    build = os.path.abspath(args.build)
    tool = os.path.join(build, "tavoro-publish.exe")
    blocks = int(args.gib * 1024)
    size = blocks * BLOCK

    with tempfile.TemporaryDirectory(prefix="tavoro-large-update-") as tmp:
        room = shutil.disk_usage(tmp).free
        if room < 3 * size + (1 << 30):
            print(f"needs {(3 * size >> 30) + 1} GiB free in {tmp}; it has {room >> 30} GiB")
            return 1
        wine = harness.Wine()
        nginx = hs.Nginx(os.path.join(tmp, "nginx")).start()
        try:
            key = os.path.join(tmp, "publisher.key")
            printed = publish(wine, tool, "keygen", "--secret", harness.windows_path(key))
            public_key = re.search(r"[A-Za-z0-9+/]{43}=", printed).group(0)
            page_url = nginx.url("/version.html")

            folder = os.path.join(tmp, "game")
            subprocess.run([os.path.join(REPO_ROOT, "scripts", "make-demo-game.py"), folder,
                            "--launcher", os.path.join(build, "launcher.exe"),
                            "--game", os.path.join(build, "DemoGame.exe")], check=True,
                           stdout=subprocess.DEVNULL)
            os.remove(os.path.join(folder, "launcher.exe"))
            publish(wine, tool, "stamp", "--in", harness.windows_path(os.path.join(build, "launcher.exe")),
                    "--out", harness.windows_path(os.path.join(folder, "launcher.exe")),
                    "--page", page_url, "--public-key", public_key)

            source = os.path.join(tmp, "release")
            os.makedirs(os.path.join(source, "Data"))
            shutil.copy(os.path.join(build, "DemoGame.exe"), os.path.join(source, NEW_LAUNCHER))
            block = os.urandom(BLOCK)
            with open(os.path.join(source, "Data", "big.pak"), "wb") as f:
                for _ in range(blocks):
                    f.write(block)
            publish(wine, tool, "pack", "--from", harness.windows_path(source),
                    "--launcher", NEW_LAUNCHER, "--version", "5.1",
                    "--url", nginx.url("/update.zip"), "--page", page_url,
                    "--secret", harness.windows_path(key), "--out", harness.windows_path(nginx.root))
            shutil.rmtree(source)
            package = os.path.join(nginx.root, "update.zip")
            print(f"package: {os.path.getsize(package) / (1 << 30):.2f} GiB, "
                  f"one stored file of {size >> 20} MiB")

            ours, peak = launcher_run(wine, build, folder)
            print(f"launcher.exe (download, check, unpack, hand over): {ours:7.1f} s, "
                  f"peak memory {peak / 1024:.1f} MiB", flush=True)
            # The old launcher's file goes by a helper of its own meanwhile.
            shutil.rmtree(folder, ignore_errors=True)

            theirs_folder = os.path.join(tmp, "curl-unzip")
            os.makedirs(theirs_folder)
            download = os.path.join(theirs_folder, "update.zip")
            fetch = timed(["curl", "-sS", "-o", download, nginx.url("/update.zip")])
            unpack = timed(["unzip", "-q", "-o", download, "-d", theirs_folder])
        finally:
            nginx.stop()

    theirs = fetch + unpack
    print(f"curl + unzip:                                      {theirs:7.1f} s "
          f"({fetch:.1f} + {unpack:.1f})")
    print(f"ratio launcher / (curl + unzip): {ours / theirs:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
