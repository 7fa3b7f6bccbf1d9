"""The publisher's guide followed as a studio follows it, on this system's
build of the tool: every command it shows runs, in its order, with the
steps it says in words done in between (copying files, uploading). Run
with TAVORO_PUBLISH_TOOL naming the tool."""

import os
import re
import shlex
import shutil
import socket
import struct
import subprocess
import time

import pytest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
GUIDE = os.path.join(ROOT, "tools", "release", "publisher-guide.zh-CN.txt")
TOOL = os.environ.get("TAVORO_PUBLISH_TOOL", "")
LAUNCHER_NAME = "星海漫游VR启动器.exe"


def stand_in_launcher():
    """A minimal Windows program holding the update settings block where a
    built launcher holds one: the example page, no key, version 5.0."""
    data = bytearray(b"\xab" * 0x800)
    data[0:2] = b"MZ"
    data[0x3C:0x40] = struct.pack("<I", 0x80)
    data[0x80:0x84] = b"PE\0\0"
    data[0x84:0x88] = b"\x4c\x01\x01\x00"  # i386, one section
    data[0x94:0x96] = b"\0\0"  # no optional header
    data[0x98 + 16:0x98 + 24] = struct.pack("<II", 0x700, 0x100)
    block = (b"tavoro-update-settings/4".ljust(32, b"\0") +
             b"http://update.example.invalid/launcher/version.html".ljust(512, b"\0") +
             b"".ljust(64, b"\0") + b"5.0".ljust(32, b"\0") + b"".ljust(64, b"\0"))
    data[0x100:0x100 + len(block)] = block
    return bytes(data)


def guide_commands():
    """(section, command line) for every command the guide shows, in order."""
    section = ""
    commands = []
    with open(GUIDE, encoding="utf-8") as f:
        for line in f:
            heading = re.match(r"^([一二三四五六七八九十]+)、", line)
            if heading:
                section = heading.group(1)
            found = re.search(r"tavoro-publish (keygen|pubkey|stamp|show|pack|verify|serve) .*",
                              line)
            if found:
                commands.append((section, found.group(0).strip()))
    return commands


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Studio:
    def __init__(self, folder):
        self.folder = folder
        self.site_port = free_port()
        self.rehearsal_port = free_port()
        self.keys = {}
        self.servers = []

    def words(self, command):
        command = command.replace("http://您的网站/", f"http://127.0.0.1:{self.site_port}/")
        command = command.replace("127.0.0.1:8080", f"127.0.0.1:{self.rehearsal_port}")
        command = command.replace("--port 8080", f"--port {self.rehearsal_port}")
        for placeholder, key in self.keys.items():
            command = command.replace(placeholder, key)
        assert "<" not in command, command
        return shlex.split(command.replace("\\", "/"))[1:]

    def run(self, words, status=0):
        done = subprocess.run([TOOL] + words, cwd=self.folder, capture_output=True, text=True,
                              timeout=120)
        assert done.returncode == status, (words, done.stdout, done.stderr)
        return done

    def serve(self, words):
        server = subprocess.Popen([TOOL] + words, cwd=self.folder, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        self.servers.append(server)
        port = int(words[words.index("--port") + 1])
        for _ in range(100):
            with socket.socket() as s:
                if s.connect_ex(("127.0.0.1", port)) == 0:
                    return
            time.sleep(0.1)
        raise AssertionError("serve did not listen")

    def path(self, relative):
        return os.path.join(self.folder, relative)

    def upload(self):
        """What the guide says in words: the package first, then the page."""
        site = self.path("site/launcher")
        os.makedirs(site, exist_ok=True)
        for name in sorted(os.listdir(self.path("upload")), key=lambda n: n == "version.html"):
            shutil.copy(os.path.join(self.path("upload"), name), site)


@pytest.mark.skipif(not TOOL, reason="TAVORO_PUBLISH_TOOL names no tool")
def test_every_command_of_the_guide_runs_in_its_order(tmp_path):
    studio = Studio(str(tmp_path))
    with open(studio.path("launcher.exe"), "wb") as f:
        f.write(stand_in_launcher())
    sample = studio.path("示例游戏")
    os.makedirs(os.path.join(sample, "tavoro"))
    os.makedirs(os.path.join(sample, "Bin"))
    with open(os.path.join(sample, "tavoro", "tavoroConfig.ini"), "wb") as f:
        f.write("[name]\r\nname1=星海漫游VR\r\n[url]\r\nurl2=\\Bin\\MyGame.exe\r\n".encode("gbk"))
    with open(os.path.join(sample, "Bin", "MyGame.exe"), "wb") as f:
        f.write(b"MZ game")
    shutil.copytree(sample, studio.path("我的游戏"))
    os.makedirs(studio.path("NewFiles"))
    ran = []
    try:
        for section, command in guide_commands():
            if "..." in command or command.endswith("--help 列出全部命令)"):
                continue
            words = studio.words(command)
            if words[0] == "keygen":
                key = studio.run(words).stdout.strip()
                name = os.path.basename(words[-1])
                placeholder = {"publisher.key": "<公钥>", "backup.key": "<备用公钥>",
                               "backup2.key": "<新备用公钥>"}[name]
                studio.keys[placeholder] = key
            elif words[0] == "serve":
                # The rehearsal's folder, as its steps 1 and 2 made it.
                studio.serve(words)
            elif words[0] == "pack" and section == "七":
                shutil.copytree(sample, studio.path("彩排游戏"), dirs_exist_ok=True)
                os.makedirs(studio.path("彩排发布"), exist_ok=True)
                shutil.copy(studio.path("彩排游戏/launcher.exe"), studio.path("彩排发布/新启动器.exe"))
                studio.run(words)
            elif words[0] == "stamp" and section == "七":
                shutil.copytree(sample, studio.path("彩排游戏"), dirs_exist_ok=True)
                studio.run(words)
            elif words[0] == "pack":
                shutil.copy(studio.path("我的游戏/launcher.exe"),
                            studio.path("NewFiles/" + LAUNCHER_NAME))
                out = studio.run(words).stdout
                assert "recorded in the release ledger" in out, out
                # Players' launcher is now the ledger's copy.
                assert os.path.exists(studio.path("release-ledger/launcher-1/" + LAUNCHER_NAME))
            elif words[0] == "verify" and words[2].startswith("http://127.0.0.1:%d/" %
                                                              studio.site_port):
                # The studio's web site, empty until the upload: a page not
                # uploaded yet is named as such.
                os.makedirs(studio.path("site"))
                studio.serve(["serve", "--dir", studio.path("site"), "--port",
                              str(studio.site_port)])
                early = studio.run(words, status=1)
                assert "was not uploaded there" in early.stderr, early.stderr
                studio.upload()
                done = studio.run(words)
                assert ("players have now the launcher shipped with the game (version 5.0)"
                        in done.stdout), done.stdout
                assert "they get version 5.1 now" in done.stdout, done.stdout
            elif words[0] == "verify" and "--package" in words:
                # Before the upload, the same check on the files.
                done = studio.run(words)
                assert "they get version 5.1 now" in done.stdout, done.stdout
                # The launcher the release brings is not offered it again.
                studio.run(words + ["--launcher", "release-ledger/launcher-1/" + LAUNCHER_NAME],
                           status=1)
            elif words[0] == "stamp" and section == "十":
                studio.run(words)
                # Step 3: the release signed with the backup key.
                pack = next(studio.words(c) for s, c in guide_commands()
                            if s == "五" and "pack" in c)
                pack[pack.index("--version") + 1] = "5.2"
                pack[pack.index("--url") + 1] = pack[pack.index("--url") + 1].replace("5.1", "5.2")
                pack[pack.index("--secret") + 1] = "备用密钥/backup.key"
                studio.run(pack)
                shipped = studio.path("release-ledger/launcher-1/" + LAUNCHER_NAME)
                studio.run(["verify", "--page", "upload/version.html", "--package",
                            "upload/update-5.2.zip", "--launcher", shipped])
            else:
                studio.run(words)
            ran.append(words[0])
    finally:
        for server in studio.servers:
            server.terminate()
            server.wait(timeout=10)
    assert ran.count("pack") == 2 and ran.count("verify") == 3, ran
    assert set(ran) == {"keygen", "pubkey", "stamp", "show", "pack", "verify", "serve"}
