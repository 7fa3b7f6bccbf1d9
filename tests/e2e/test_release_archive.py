"""The publisher's download end to end: scripts/make-release.py makes the
archive, it is unpacked, and a whole publish-and-update cycle runs under Wine
with nothing but what it holds: tavoro-publish.exe makes the key, stamps the
archive's launcher.exe into a copy of the sample game for a page on this
machine, packs a release, serves it and verifies it; the launcher then takes
the update and the new launcher takes over. The guide's local rehearsal,
step by step.
"""

import os
import re
import shutil
import subprocess
import sys
import urllib.request
import zipfile

import pytest

import harness
import http_server as hs
import update_support as us
import version_support as vs

RELEASE_SCRIPT = os.path.join(harness.REPO_ROOT, "scripts", "make-release.py")
SAMPLE = "示例游戏"
GUIDE = "发布指南.txt"


@pytest.fixture(scope="module")
def unpacked(win32_build, tmp_path_factory):
    out = tmp_path_factory.mktemp("release")
    made = subprocess.run([sys.executable, RELEASE_SCRIPT, "--no-build", "--build-dir", win32_build,
                           "--out", str(out)], check=True, capture_output=True, text=True)
    archive = made.stdout.strip()
    assert re.fullmatch(r"tavoro-launcher-[^-/]+-win32\.zip", os.path.basename(archive))
    target = out / "unpacked"
    with zipfile.ZipFile(archive, metadata_encoding="gbk") as z:
        names = z.namelist()
        assert all(entry.flag_bits & 0x800 == 0 for entry in z.infolist())
        z.extractall(target)
    tops = {name.split("/")[0] for name in names}
    assert tops == {"launcher.exe", "tavoro-publish.exe", SAMPLE, GUIDE}
    assert f"{SAMPLE}/tavoro/tavoroConfig.ini" in names
    assert f"{SAMPLE}/launcher.exe" not in names  # the publisher stamps one in
    guide = (target / GUIDE).read_bytes()
    assert guide.startswith(b"\xef\xbb\xbf") and "本机彩排" in guide[3:].decode("utf-8")
    return target


def publish(wine, tool, *args, status=0):
    done = wine.run(tool, *args, timeout=120)
    assert done.returncode == status, (args, done.stderr.decode("gbk", "replace"))
    return done.stdout.decode("gbk", "replace")


def free_port():
    sock = hs.listen(0)
    port = sock.getsockname()[1]
    sock.close()
    return port


def test_the_archive_alone_publishes_and_updates(wine, unpacked, tmp_path, start_launcher,
                                                  win32_build):
    tool = str(unpacked / "tavoro-publish.exe")
    win = us.windows_path
    printed = publish(wine, tool, "keygen", "--secret", win(tmp_path / "publisher.key"))
    key = re.search(r"[A-Za-z0-9+/]{43}=", printed).group(0)
    assert publish(wine, tool, "pubkey", "--secret", win(tmp_path / "publisher.key")).strip() == key

    port = free_port()
    page = f"http://127.0.0.1:{port}/version.html"
    game = tmp_path / "彩排游戏"
    shutil.copytree(unpacked / SAMPLE, game)
    stamped = publish(wine, tool, "stamp", "--in", win(unpacked / "launcher.exe"), "--out",
                      win(game / "launcher.exe"), "--page", page, "--public-key", key,
                      "--version", "5.0")
    assert "副本中替换的内容：" in stamped and f"版本页: {page}" in stamped

    release = tmp_path / "彩排发布"
    release.mkdir()
    shutil.copy(game / "launcher.exe", release / "新启动器.exe")
    (release / "新功能.txt").write_bytes("彩排".encode("gbk"))
    upload = tmp_path / "彩排上传"
    packed = publish(wine, tool, "pack", "--from", win(release), "--launcher", "新启动器.exe",
                     "--version", "5.1", "--url", f"http://127.0.0.1:{port}/update-5.1.zip",
                     "--secret", win(tmp_path / "publisher.key"), "--out", win(upload), "--list")
    assert "已把 2 个文件" in packed, packed
    assert sorted(os.listdir(upload)) == ["update-5.1.zip", "version.html"]

    server = wine.start(tool, "serve", "--dir", win(upload), "--port", str(port))
    try:
        harness.wait_until(lambda: hs.port_answers(port), 60, what="tavoro-publish serve")
        verified = publish(wine, tool, "verify", "--page", page, "--launcher",
                           win(game / "launcher.exe"))
        # The prefix runs in Chinese: so does the tool.
        assert verified.startswith("正确：http://127.0.0.1:") and "处的更新包" in verified

        launcher = start_launcher(game)
        launcher.wait_window()
        vs.click_start(wine, launcher)
        vs.answer(wine, vs.wait_question(wine, launcher, 60), yes=True)
        vs.close_games(wine, win32_build)
        harness.wait_until(lambda: not os.path.exists(game / "launcher.exe"), 90,
                           what="the old launcher to go")
        assert us.wait_exit(launcher.proc, 30) == 0
    finally:
        server.kill()
        server.wait(10)
        wine.run("taskkill", "/f", "/im", "tavoro-publish.exe", timeout=30)
    assert (game / "新功能.txt").read_bytes() == "彩排".encode("gbk")
    # The new launcher runs; it carries the release's version.
    shown = publish(wine, tool, "show", win(game / "新启动器.exe"))
    assert "版本: 5.1" in shown and f"版本页: {page}" in shown
    harness.wait_until(lambda: wine.find_window(harness.LAUNCHER_TITLE), 60,
                       what="the new launcher's window")
    # Closed, and gone, before the next test looks for a Launch window.
    wine.run(os.path.join(win32_build, "post_message.exe"), "/wait:2000", "close", timeout=30)
    try:
        harness.wait_until(lambda: not wine.find_window(harness.LAUNCHER_TITLE), 30,
                           what="the new launcher to close")
    finally:
        wine.run("taskkill", "/f", "/im", "新启动器.exe", timeout=30)


def test_a_year_of_releases_with_the_archives_tool(wine, unpacked, tmp_path, start_launcher,
                                                   win32_build):
    """Five releases in a row, each packed from the launcher the ledger says
    players have and offered to it, across 5.9 to 5.10 and 9.9 to 10.0;
    the traps a studio meets on the way are refused with the way out, in
    Chinese, as the tool speaks to a Chinese user."""
    tool = str(unpacked / "tavoro-publish.exe")
    win = us.windows_path
    key = re.search(r"[A-Za-z0-9+/]{43}=",
                    publish(wine, tool, "keygen", "--secret", win(tmp_path / "keys" / "studio.key")))
    key = key.group(0)
    # Saved again by Notepad: a byte order mark and CR LF.
    secret = tmp_path / "keys" / "studio.key"
    secret.write_bytes(b"\xef\xbb\xbf" + secret.read_bytes().strip() + b"\r\n")

    port = free_port()
    page = f"http://127.0.0.1:{port}/launcher/version.html"
    site = tmp_path / "site" / "launcher"
    site.mkdir(parents=True)
    release = tmp_path / "NewFiles"
    release.mkdir()
    name = "星海漫游VR启动器.exe"
    publish(wine, tool, "stamp", "--in", win(unpacked / "launcher.exe"), "--out",
            win(release / name), "--page", page, "--public-key", key, "--version", "5.7")
    ledger = tmp_path / "release-ledger"
    help_text = publish(wine, tool, "--help")
    assert "退出码" in help_text and "发布记录" in help_text, help_text
    server = wine.start(tool, "serve", "--dir", win(tmp_path / "site"), "--port", str(port))
    try:
        harness.wait_until(lambda: hs.port_answers(port), 60, what="tavoro-publish serve")
        previous = "5.7"
        for version in ("5.8", "5.9", "5.10", "9.9", "10.0"):
            (release / f"notes-{version}.txt").write_bytes(f"release {version}\r\n".encode())
            url = f"http://127.0.0.1:{port}/launcher/update-{version}.zip"
            out = tmp_path / "upload" / version
            packed = publish(wine, tool, "pack", "--from", win(release), "--launcher", name,
                             "--version", version, "--url", url, "--secret", win(secret),
                             "--out", win(out), "--ledger", win(ledger))
            assert f"版本 {version}，签名对应的公钥是 {key}" in packed, packed
            if version == "5.8":
                # Not uploaded yet: named as such.
                done = wine.run(tool, "verify", "--page", page, "--ledger", win(ledger),
                                timeout=120)
                assert done.returncode == 1
                said = done.stderr.decode("gbk", "replace")
                assert "404" in said and "版本页还没有上传到这个地址" in said, said
            # The package first, then the page.
            shutil.copy(out / f"update-{version}.zip", site)
            shutil.copy(out / "version.html", site)
            verified = publish(wine, tool, "verify", "--page", page, "--ledger", win(ledger))
            assert (f"（版本 {previous}）的玩家会收到它：他们现在会得到版本 {version}"
                    in verified), verified
            # The next release starts from the launcher players have now.
            copies = sorted(ledger.glob("launcher-*"), key=lambda p: int(p.name.split("-")[1]))
            shutil.copy(copies[-1] / name, release / name)
            previous = version

        # A player still at 9.9, with the launcher the ledger kept of it, is
        # asked about 10.0, which text order would never offer.
        game = tmp_path / "玩家游戏"
        shutil.copytree(unpacked / SAMPLE, game)
        shutil.copy(ledger / "launcher-4" / name, game / "launcher.exe")
        assert "版本: 9.9" in publish(wine, tool, "show", win(game / "launcher.exe"))
        launcher = start_launcher(game)
        launcher.wait_window()
        vs.click_start(wine, launcher)
        vs.answer(wine, vs.wait_question(wine, launcher, 60), yes=False)
        vs.close_games(wine, win32_build)
        wine.run(os.path.join(win32_build, "post_message.exe"), "/wait:2000", "close", timeout=30)
        assert us.wait_exit(launcher.proc, 30) == 0

        # A hot-fix at the address of 10.0, and a colleague's new key.
        done = wine.run(tool, "pack", "--from", win(release), "--launcher", name, "--version",
                        "10.0.1", "--url", f"http://127.0.0.1:{port}/launcher/update-10.0.zip",
                        "--secret", win(secret), "--out", win(tmp_path / "upload" / "fix"),
                        "--ledger", win(ledger), timeout=120)
        said = done.stderr.decode("gbk", "replace")
        assert done.returncode == 1 and "已被发布 10.0 用过" in said, said
        publish(wine, tool, "keygen", "--secret", win(tmp_path / "keys" / "colleague.key"))
        done = wine.run(tool, "pack", "--from", win(release), "--launcher", name, "--version",
                        "10.1", "--url", f"http://127.0.0.1:{port}/launcher/update-10.1.zip",
                        "--secret", win(tmp_path / "keys" / "colleague.key"), "--out",
                        win(tmp_path / "upload" / "10.1"), "--ledger", win(ledger), timeout=120)
        said = done.stderr.decode("gbk", "replace")
        assert done.returncode == 1 and key in said and "studio.key" in said, said
        assert "stamp" not in said, said

        # Resuming rehearsed: one range, with validators.
        request = urllib.request.Request(f"http://127.0.0.1:{port}/launcher/update-10.0.zip",
                                         headers={"Range": "bytes=4-13"})
        with urllib.request.urlopen(request, timeout=30) as answer:
            assert answer.status == 206
            assert answer.headers["Content-Range"].startswith("bytes 4-13/")
            assert answer.headers["ETag"] and answer.headers["Last-Modified"]
            assert answer.read() == (site / "update-10.0.zip").read_bytes()[4:14]
    finally:
        server.kill()
        server.wait(10)
        wine.run("taskkill", "/f", "/im", "tavoro-publish.exe", timeout=30)
