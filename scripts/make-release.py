#!/usr/bin/python3
"""Makes the publisher's download: build/release/tavoro-launcher-<version>-win32.zip
holding exactly

  launcher.exe          the launcher as built (stamped by the publisher)
  tavoro-publish.exe    the publisher's tool
  示例游戏/              a sample game folder, drawn by scripts/make-demo-game.py
  发布指南.txt           the publisher's guide, UTF-8 with a byte order mark and
                        CRLF line ends, so that Notepad opens it right

Names are stored in code page 936 without the UTF-8 flag, as Chinese
Windows' own unpacker reads them.

    scripts/make-release.py              # set up, build the win32 preset, pack
    scripts/make-release.py --no-build   # pack what build/win32 holds
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GUIDE_SOURCE = os.path.join(ROOT, "tools", "release", "publisher-guide.zh-CN.txt")
GUIDE_NAME = "发布指南.txt"
SAMPLE_NAME = "示例游戏"
UTF8_BOM = b"\xef\xbb\xbf"


def guide_bytes():
    """The guide as it goes into the archive."""
    with open(GUIDE_SOURCE, encoding="utf-8") as f:
        text = f.read()
    return UTF8_BOM + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


class Cp936Name(zipfile.ZipInfo):
    """An entry whose name is stored in code page 936, UTF-8 flag off."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits & ~0x800


def built_version(build_dir):
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as f:
        found = re.search(r"^TAVORO_LOCAL_VERSION:STRING=(.*)$", f.read(), re.M)
    if not found or not found.group(1):
        sys.exit("make-release: no TAVORO_LOCAL_VERSION in " + build_dir)
    return found.group(1)


def add_file(archive, name, data, stamp):
    entry = Cp936Name(name, date_time=stamp)
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.external_attr = 0o644 << 16
    archive.writestr(entry, data)


def make_archive(build_dir, out_dir):
    version = built_version(build_dir)
    os.makedirs(out_dir, exist_ok=True)
    target = os.path.join(out_dir, f"tavoro-launcher-{version}-win32.zip")
    stamp = time.localtime()[:6]
    with tempfile.TemporaryDirectory() as work:
        sample = os.path.join(work, SAMPLE_NAME)
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make-demo-game.py"), sample,
                        "--launcher", os.path.join(build_dir, "launcher.exe"),
                        "--game", os.path.join(build_dir, "DemoGame.exe")],
                       check=True, stdout=subprocess.DEVNULL)
        # The publisher stamps a launcher into it (the guide's first steps).
        os.remove(os.path.join(sample, "launcher.exe"))
        partial = target + ".partial"
        with zipfile.ZipFile(partial, "w") as archive:
            for program in ("launcher.exe", "tavoro-publish.exe"):
                with open(os.path.join(build_dir, program), "rb") as f:
                    add_file(archive, program, f.read(), stamp)
            for folder, subfolders, files in os.walk(sample):
                subfolders.sort()
                relative = os.path.relpath(folder, work).replace(os.sep, "/")
                folder_entry = Cp936Name(relative + "/", date_time=stamp)
                folder_entry.external_attr = (0o755 << 16) | 0x10
                archive.writestr(folder_entry, b"")
                for name in sorted(files):
                    with open(os.path.join(folder, name), "rb") as f:
                        add_file(archive, relative + "/" + name, f.read(), stamp)
            add_file(archive, GUIDE_NAME, guide_bytes(), stamp)
        os.replace(partial, target)
    return target


def build():
    subprocess.run([os.path.join(ROOT, "scripts", "setup.sh")], check=True)
    subprocess.run(["cmake", "--preset", "win32"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "win32", "--target", "launcher",
                    "tavoro_publish", "demo_game"], cwd=ROOT, check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--no-build", action="store_true", help="pack what the build holds")
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "win32"))
    parser.add_argument("--out", default=os.path.join(ROOT, "build", "release"))
    args = parser.parse_args()
    if not args.no_build:
        build()
    print(make_archive(args.build_dir, args.out))


if __name__ == "__main__":
    main()
