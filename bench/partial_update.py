#!/usr/bin/python3
"""An update that changes 1 % of a game's files, three ways in one run:
launcher.exe fetching only the entries its folder lacks, launcher.exe
taking the whole package, and zsync rebuilding the new package from the old
one.

tavoro-publish.exe packs release 1 and release 2 of a game of 2,000 files
(212 MiB, a package of about 190 MiB, by default; three in four hold
random bytes and are stored, as textures are, the rest deflate); release 2
has new contents for 1 % of the files and its launcher's new version. nginx on loopback serves them, at a player's link
speed (--mbit, 0 for no limit), and logs every answer's body bytes.

- partial: launcher.exe in a folder at release 1, stamped for the page, is
  started, its start clicked and the update accepted; its time runs from
  the Yes to its own end (list, folder check, ranges, apply, hand over to
  the new launcher, whose sign of life ends the old one).
- whole: the same in a fresh copy of that folder, with the page's entry
  list taken off, so that the launcher takes the whole package.
- zsync: zsyncmake's control file for the new package beside it, and zsync
  seeded with release 1's package (which its client must keep); its time
  is the rebuild of the package only, not unpacking it.

Prints bytes sent and seconds for each, and the ratios.

    bench/partial_update.py [--files 2000] [--mib 212] [--mbit 100] [--build build/win32]
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

import large_update as lu  # noqa: E402  (the launcher run and the tool, as there)

harness = lu.harness
sys.path.insert(0, os.path.join(lu.REPO_ROOT, "tests", "e2e"))
import update_support as us  # noqa: E402
hs = lu.hs
REPO_ROOT = lu.REPO_ROOT


def release_files(count, total, release):
    """{name: bytes} of release 1 or 2: the same sizes, 1 % new in 2."""
    rng = random.Random(1)
    sizes = [rng.randint(20, 180) for _ in range(count)]
    scale = total / sum(sizes)
    changed = set(range(0, count, 100))
    files = {}
    for index, size in enumerate(sizes):
        length = max(1, int(size * scale))
        seed = index + (count if release == 2 and index in changed else 0)
        data = random.Random(seed).randbytes(length)
        if index % 4 == 3:  # compressible: text-like, deflated in the package
            data = bytes(b % 16 + 65 for b in data)
        files[f"Data/area{index % 20:02d}/asset{index:04d}.pak"] = data
    return files


def write_files(folder, files):
    for name, data in files.items():
        path = os.path.join(folder, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def logged_bytes(log, since):
    """Body bytes nginx logged after offset `since`, and the answers."""
    with open(log, "rb") as f:
        f.seek(since)
        lines = f.read().decode("latin-1").splitlines()
    sent = 0
    for line in lines:
        found = re.search(r'" (\d{3}) (\d+) ', line)
        if found:
            sent += int(found.group(2))
    return sent, len(lines)


def log_size(log):
    return os.path.getsize(log) if os.path.exists(log) else 0


def measured(log, run):
    """(seconds, body bytes, answers) of `run`, which returns its seconds."""
    time.sleep(0.5)  # nginx writes its log line after the answer
    since = log_size(log)
    seconds = run()
    time.sleep(0.5)
    sent, answers = logged_bytes(log, since)
    return seconds, sent, answers


def launcher_run(wine, build, folder):
    """Seconds from the Yes to the old launcher's end: the new one has
    shown its sign of life by then. Both are closed after."""
    launcher = harness.Launcher(wine, folder, build)
    launcher.exe = os.path.join(folder, "launcher.exe")
    launcher.start()
    try:
        launcher.wait_window()
        lu.vs.click_start(wine, launcher)
        question = lu.vs.wait_question(wine, launcher, 60)
        began = time.monotonic()
        lu.vs.answer(wine, question, yes=True)
        lu.vs.close_games(wine, build)
        code = launcher.proc.wait(3600)
        elapsed = time.monotonic() - began
    finally:
        launcher.kill()
        lu.vs.close_games(wine, build)
        wine.run("taskkill", "/f", "/im", lu.NEW_LAUNCHER, timeout=30)
        harness.wait_until(lambda: not us.processes_within(folder), 30,
                           what="the launchers to end")
    if code != 0 or not os.path.exists(os.path.join(folder, lu.NEW_LAUNCHER)):
        raise harness.HarnessError(f"the update did not hand over (exit code {code})")
    return elapsed


def pack(wine, tool, source, version, url, page_url, key, out, ledger):
    lu.publish(wine, tool, "pack", "--from", harness.windows_path(source),
               "--launcher", lu.NEW_LAUNCHER, "--version", version, "--url", url,
               "--page", page_url, "--secret", harness.windows_path(key),
               "--out", harness.windows_path(out), "--ledger", harness.windows_path(ledger))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--mib", type=float, default=212)
    parser.add_argument("--mbit", type=float, default=100)
    parser.add_argument("--build", default=os.path.join(REPO_ROOT, "build", "win32"))
    args = parser.parse_args(argv)
    build = os.path.abspath(args.build)
    tool = os.path.join(build, "tavoro-publish.exe")
    if not shutil.which("zsync") or not shutil.which("zsyncmake"):
        print("needs zsync and zsyncmake (scripts/setup.sh installs them)")
        return 1

    with tempfile.TemporaryDirectory(prefix="tavoro-partial-update-") as tmp:
        log = os.path.join(tmp, "nginx", "access.log")
        rate = f"limit_rate {int(args.mbit * 1e6 / 8)};" if args.mbit > 0 else ""
        nginx = hs.Nginx(os.path.join(tmp, "nginx"), server_lines=f"access_log {log}; {rate}")
        nginx.start()
        wine = harness.Wine()
        try:
            key = os.path.join(tmp, "publisher.key")
            printed = lu.publish(wine, tool, "keygen", "--secret", harness.windows_path(key))
            public_key = re.search(r"[A-Za-z0-9+/]{43}=", printed).group(0)
            page_url = nginx.url("/version.html")

            # The launcher players have, and the one each release carries.
            stamped = os.path.join(tmp, "stamped-launcher.exe")
            lu.publish(wine, tool, "stamp", "--in",
                       harness.windows_path(os.path.join(build, "launcher.exe")),
                       "--out", harness.windows_path(stamped), "--page", page_url,
                       "--public-key", public_key)
            releases = [release_files(args.files, args.mib * (1 << 20), n) for n in (1, 2)]
            ledger = os.path.join(tmp, "ledger")
            old_out = os.path.join(tmp, "release-1")
            for number, out in ((1, old_out), (2, nginx.root)):
                source = os.path.join(tmp, f"source-{number}")
                write_files(source, releases[number - 1])
                shutil.copy(stamped, os.path.join(source, lu.NEW_LAUNCHER))
                pack(wine, tool, source, f"5.{number}", nginx.url(f"/update-5.{number}.zip"),
                     page_url, key, out, ledger)
                shutil.rmtree(source)
            old_package = os.path.join(old_out, "update-5.1.zip")
            new_package = os.path.join(nginx.root, "update-5.2.zip")
            changed = [n for n in releases[0] if releases[0][n] != releases[1][n]]
            link = f"{args.mbit:g} Mbit/s" if args.mbit > 0 else "unlimited"
            print(f"package: {os.path.getsize(new_package) / (1 << 20):.1f} MiB, "
                  f"{len(releases[1])} files, {len(changed)} changed; link {link}", flush=True)

            pristine = os.path.join(tmp, "game-release-1")
            subprocess.run([os.path.join(REPO_ROOT, "scripts", "make-demo-game.py"), pristine,
                            "--launcher", os.path.join(build, "launcher.exe"),
                            "--game", os.path.join(build, "DemoGame.exe")], check=True,
                           stdout=subprocess.DEVNULL)
            shutil.copy(stamped, os.path.join(pristine, "launcher.exe"))
            write_files(pristine, releases[0])

            def launcher_update(folder):
                def run():
                    shutil.copytree(pristine, folder)
                    seconds = launcher_run(wine, build, folder)
                    for name in changed:
                        path = os.path.join(folder, *name.split("/"))
                        with open(path, "rb") as f:
                            if f.read() != releases[1][name]:
                                raise harness.HarnessError(f"{name} is not new after the update")
                    return seconds
                return run

            results = {"partial": measured(log, launcher_update(os.path.join(tmp, "partial")))}
            page = os.path.join(nginx.root, "version.html")
            with open(page, encoding="utf-8") as f:
                text = f.read()
            without_list = re.sub(r"<p>(更新清单|更新签名3)=[^<]*</p>\s*", "", text)
            if without_list == text:
                raise harness.HarnessError("the page has no entry list to take off")
            with open(page, "w", encoding="utf-8") as f:
                f.write(without_list)
            results["whole"] = measured(log, launcher_update(os.path.join(tmp, "whole")))

            subprocess.run(["zsyncmake", "-u", "update-5.2.zip", "-o", new_package + ".zsync",
                            new_package], check=True, stdout=subprocess.DEVNULL)
            rebuilt = os.path.join(tmp, "zsync", "update-5.2.zip")
            os.makedirs(os.path.dirname(rebuilt))

            def zsync():
                began = time.monotonic()
                subprocess.run(["zsync", "-q", "-i", old_package, "-o", rebuilt,
                                nginx.url("/update-5.2.zip.zsync")], check=True,
                               cwd=os.path.dirname(rebuilt), stdout=subprocess.DEVNULL)
                return time.monotonic() - began
            results["zsync"] = measured(log, zsync)
            with open(rebuilt, "rb") as a, open(new_package, "rb") as b:
                if a.read() != b.read():
                    raise harness.HarnessError("zsync did not rebuild the package")
        finally:
            nginx.stop()
            lu.vs.close_games(wine, build)

    for name, (seconds, sent, answers) in results.items():
        print(f"{name:8} {sent / (1 << 20):9.2f} MiB sent in {answers:3} answers, {seconds:7.1f} s")
    partial, whole, zs = results["partial"], results["whole"], results["zsync"]
    print(f"bytes  partial / zsync: {partial[1] / zs[1]:.2f}   partial / whole: "
          f"{partial[1] / whole[1]:.3f}")
    print(f"time   whole / partial: {whole[0] / partial[0]:.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
