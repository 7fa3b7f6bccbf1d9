#!/usr/bin/python3
"""Writes the seed corpora of the fuzz harnesses into fuzz/corpus/<harness>/.

Every seed is made here (or copied from ui/images, which tools/make_images.py
draws), so the corpora can be made again and read as code. Files named
fault-* reproduce faults found and mended; they stay, so that none returns.

    /usr/bin/python3 fuzz/make-seeds.py

Harnesses that split their input with libFuzzer's FuzzedDataProvider read
strings from the front (each ended by a backslash and one more byte) and
numbers and flags from the back, one byte each here.
"""

import io
import os
import shutil
import struct
import zipfile
import zlib

from PIL import Image

# Archive entries carry this time, so the seeds come out the same each time.
FIXED_TIME = (2026, 1, 1, 12, 0, 0)
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def gbk(text):
    return text.encode("gb18030")


def field(data):
    """One string for FuzzedDataProvider::ConsumeRandomLengthString."""
    return data.replace(b"\\", b"\\\\") + b"\\;"


def write(harness, name, data):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


# Response heads as nginx 1.22.1 sent them on loopback (a static file, the
# same gzip-compressed and chunked, a redirect, a folder without its slash,
# a missing file, a conditional request).
NGINX_OK = (b"HTTP/1.1 200 OK\r\nServer: nginx/1.22.1\r\nDate: Mon, 07 Dec 2026 12:16:02 GMT\r\n"
            b"Content-Type: text/html\r\nContent-Length: 1800\r\n"
            b"Last-Modified: Mon, 07 Dec 2026 12:16:01 GMT\r\nConnection: close\r\n"
            b"ETag: \"6b16a381-708\"\r\nAccept-Ranges: bytes\r\n\r\n")
NGINX_CHUNKED_HEAD = (
    b"HTTP/1.1 200 OK\r\nServer: nginx/1.22.1\r\nDate: Mon, 07 Dec 2026 12:16:02 GMT\r\n"
    b"Content-Type: text/html\r\nLast-Modified: Mon, 07 Dec 2026 12:16:01 GMT\r\n"
    b"Transfer-Encoding: chunked\r\nConnection: close\r\nETag: W/\"6b16a381-708\"\r\n"
    b"Content-Encoding: gzip\r\n\r\n")
NGINX_CHUNKED_BODY = (
    b"30\r\n\x1f\x8b\x08\x00\x00\x00\x00\x00\x04\x03\xb3)\xb0\xab\xb0\xd1/\xb0\xe3\xb2\x19e"
    b"\x8c\x06\xc2hJ\x18\xcd\x05\xa3\xb9`4\x17\x8c\xbc\\\x00\x00\x06O\xae\x99\x08\x07\x00"
    b"\x00\r\n0\r\n\r\n")
NGINX_302 = (b"HTTP/1.1 302 Moved Temporarily\r\nServer: nginx/1.22.1\r\n"
             b"Date: Mon, 07 Dec 2026 12:16:02 GMT\r\nContent-Type: text/html\r\n"
             b"Content-Length: 145\r\nLocation: http://127.0.0.1:18731/launcher/version.html\r\n"
             b"Connection: close\r\n\r\n")
NGINX_301 = (b"HTTP/1.1 301 Moved Permanently\r\nServer: nginx/1.22.1\r\n"
             b"Date: Mon, 07 Dec 2026 12:16:02 GMT\r\nContent-Type: text/html\r\n"
             b"Content-Length: 169\r\nLocation: http://127.0.0.1:18731/launcher/\r\n"
             b"Connection: close\r\n\r\n")
NGINX_404 = (b"HTTP/1.1 404 Not Found\r\nServer: nginx/1.22.1\r\n"
             b"Date: Mon, 07 Dec 2026 12:16:02 GMT\r\nContent-Type: text/html\r\n"
             b"Content-Length: 153\r\nConnection: close\r\n\r\n")
NGINX_304 = (b"HTTP/1.1 304 Not Modified\r\nServer: nginx/1.22.1\r\n"
             b"Date: Mon, 07 Dec 2026 12:16:07 GMT\r\nLast-Modified: Mon, 07 Dec 2026 12:16:01 GMT\r\n"
             b"Connection: close\r\nETag: \"6b16a381-708\"\r\n\r\n")


def text_seeds():
    # needle, ending, text, then the flag (odd: ignore case) and from (n + 1).
    write("text", "quote-word",
          field(gbk("#引号")) + field(gbk("#引号")) + gbk('name="星海漫游" size=3') + b"\x01\x02")
    write("text", "header-lines", field(b"\r\n") + field(b";") + NGINX_302 + b"\x00\x02")
    write("text", "two-byte-trail-bytes",
          field(gbk("说明")) + field(b"<") +
          gbk("\u3000\u3000更新说明=") + b"\x81\x5c\x81/ A\xa1\xa1<p>  \xa1\xa1" + b"\x01\x05")


def path_seeds():
    # the name, then the number.
    for name, data in [("gbk-folders", gbk("dir/sub/说明.txt")),
                       ("parent-folders", b"..\\..\\Windows\\system32\\evil.dll"),
                       ("trail-backslash", gbk("名字") + b"\x81\\CON.txt"),
                       ("drive-path", b"C:\\Games\\Demo\\launcher.exe"),
                       ("no-extension", b"game/readme"),
                       # 0xFF is no lead byte of code page 936, yet any byte
                       # from 0x80 leads by the text rule: is ":" alone here?
                       ("lead-byte-ff-before-colon", b"\xff\xd9:x")]:
        write("path", name, data + b"\x02")
    # Fault: a name ending in a character whose second byte is 0x5C counts
    # as a folder, so a package of that name is not moved into place.
    write("path", "fault-name-ending-in-trail-backslash", b"\xfa\x5c" + b"\x02")
    # Fault: "./x" passes as a plain name although it holds a separator.
    write("path", "fault-dot-folder-in-plain-name", b"./x" + b"\x02")
    # Fault: 0xFF was taken for a lead byte, hiding an alternate data stream.
    write("path", "fault-ff-before-colon", b"ok.txt\xff:zone" + b"\x02")
    # Fault: a package name from an address that climbs out of the folder.
    write("path", "fault-package-name-leaves-folder", b"dl/..\\..\\x.zip" + b"\x02")
    # Backslashes as second bytes around a lone 0xFF: no separator by the
    # code page's own rule, one by the text rule.
    write("path", "trail-backslashes-around-ff", b"\xfa\x5c\xff\xfa\x5c" + b"\x02")


def http_head_seeds():
    for name, head in [("nginx-ok", NGINX_OK), ("nginx-chunked", NGINX_CHUNKED_HEAD),
                       ("nginx-302", NGINX_302), ("nginx-301", NGINX_301),
                       ("nginx-404", NGINX_404), ("nginx-304", NGINX_304)]:
        write("http_head", name, head)
    write("http_head", "bare-lf-mixed-framing",
          b"HTTP/1.0 200 OK\nTransfer-Encoding: gzip, chunked\nContent-Length: 5\n"
          b"content-length:5\n\nbody")


def header_scan_seeds():
    cookies = (b"Set-Cookie: sid=8f2c; path=/; HttpOnly\r\n"
               b"Set-Cookie: theme=deleted; expires=Thu, 01 Jan 1970 00:00:00 GMT\r\n")
    # location before, cookies kept, the block, then the flag (odd: read).
    write("header_scan", "redirect-with-cookies",
          field(b"") + field(b"sid=old; theme=dark; lang=zh") + NGINX_302[:-2] + cookies + b"\x01")
    write("header_scan", "no-location", field(b"http://old.example/") + field(b"") + NGINX_OK + b"\x01")
    write("header_scan", "not-read", field(b"") + field(b"a=1") + NGINX_404 + b"\x00")


def chunked_seeds():
    # the body, then the piece size (n + 1).
    write("chunked", "nginx-gzip", NGINX_CHUNKED_BODY + b"\x06")
    write("chunked", "extension-and-trailer",
          b"4\r\nWiki\r\n5;name=value\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\nExpires: never\r\n\r\n"
          b"after" + b"\x02")
    write("chunked", "bare-lf", b"a\nabcdefghij\n0\n\n" + b"\x00")


def address_seeds():
    # the Location value, then the address.
    for name, location, address in [
            ("package", b"/launcher/update-5.1.zip",
             b"http://www.example.com/launcher/update-5.1.zip"),
            ("gbk-path-port-fragment", b"//cdn.example.com:8080/pkg.zip",
             b"HTTP://Update.Example.com:8080/" + gbk("路径/更新 5.1.zip") + b"#part"),
            ("relative-location", b"../other/file.zip?x=1", b"http://127.0.0.1:65535/a/b/c"),
            ("no-scheme", b"https://secure.example.com/x", b"www.example.com:81/no-scheme")]:
        write("address", name, field(location) + address)


def version_page_seeds():
    notes = "".join(f"<p>更新说明{n}=</p>\n" for n in range(3, 6))
    page = ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>launcher</title></head>\n"
            "<body>\n<p>最新版本=5.1</p>\n<p>程序标题=星海漫游VR启动器.exe</p>\n"
            "<p>更新说明=新增存档云同步</p>\n<p>更新说明1=修复手柄断开后无法重连</p>\n"
            "<p>更新说明2=启动速度提升</p>\n" + notes +
            "<p>更新地址=http://www.example.com/launcher/update-5.1.zip</p>\n</body></html>\n")
    write("version_page", "newer", page.encode("utf-8"))
    write("version_page", "same-version",
          "<p>更新地址=http://x/</p><p>最新版本=5.0</p><p>最新版本=9.9</p>".encode("utf-8"))
    # Dotted numbers compare as numbers: 10.0 is newer than 5.0, 5.00 is not,
    # even length (no key).
    write("version_page", "numbered-newer",
          "<p>最新版本=10.0</p><p>更新地址=http://x/u.zip</p>".encode("utf-8"))
    write("version_page", "leading-zeros", "<p>最新版本=5.00</p><p>更新地址=http://x/</p>".encode("utf-8"))
    write("version_page", "unterminated-field", "程序标题=a.exe 最新版本=5.0.1".encode("utf-8"))
    # Odd length: checked by a launcher with a key.
    signed = page.replace("</body>", "<p>更新签名=" + "A" * 86 + "==</p>\n</body>") + " "
    write("version_page", "signed", signed.encode("utf-8"))


def ini_seeds():
    config = gbk("; 游戏配置\r\n[http]\r\nHome = \"http://www.example.com/\"\r\n"
                 "video=http://www.example.com/v.mp4\r\n\r\n[name]\r\nname1 = 星海漫游\r\n"
                 "[url]\r\nurl1='C:\\Games\\Demo\\game.exe'\r\n[http]\r\nHome=second\r\n")
    # section, key, then the file.
    for name, section, key in [("quoted", b"http", b"home"), ("gbk-value", b"name", b"name1"),
                               ("blank-before-section", b" \turl", b"url1")]:
        write("ini", name, field(section) + field(key) + config)


def zip_bytes(entries, gbk_names=()):
    """A ZIP archive of (name, data) entries, deflated; names in `gbk_names`
    are stored as code page 936 bytes without the UTF-8 flag, as Windows
    archivers do."""
    buffer = io.BytesIO()
    placeholders = {}
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in entries:
            stored = name
            if name in gbk_names:
                stored = "".join(chr(0x61 + i % 26) for i in range(len(gbk(name))))
                placeholders[stored.encode()] = gbk(name)
            archive.writestr(zipfile.ZipInfo(stored, FIXED_TIME), data, zipfile.ZIP_DEFLATED)
    archive = buffer.getvalue()
    for placeholder, raw in placeholders.items():
        archive = archive.replace(placeholder, raw)
    return archive


def with_declared_size(archive, name, size):
    """The archive with entry `name` declaring `size` bytes in its local
    header and its directory record, the data and CRC unchanged."""
    raw = name.encode()
    out = bytearray(archive)
    for signature, size_offset in [(b"PK\x03\x04", 22), (b"PK\x01\x02", 24)]:
        at = out.find(signature)
        while at != -1:
            name_offset = 30 if signature == b"PK\x03\x04" else 46
            if out[at + name_offset:at + name_offset + len(raw)] == raw:
                struct.pack_into("<I", out, at + size_offset, size)
            at = out.find(signature, at + 4)
    return bytes(out)


def unzip_seeds():
    write("unzip", "gbk-names-and-folders",
          zip_bytes([("readme.txt", b"start the game with launcher.exe\r\n" * 3),
                     ("data/", b""), ("data/说明.txt", gbk("说明：按开始键启动游戏"))],
                    gbk_names={"data/说明.txt"}))
    write("unzip", "utf8-names", zip_bytes([("更新/新版.txt", "新版".encode("utf-8")),
                                            ("empty.dat", b"")]))
    write("unzip", "escape-after-good-entry",
          zip_bytes([("good.txt", b"ok"), ("../neighbour/known.txt", b"overwritten")]))
    link = zipfile.ZipInfo("link", FIXED_TIME)
    link.external_attr = (0o120777 << 16)
    link.create_system = 3
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        archive.writestr(zipfile.ZipInfo("stored.bin", FIXED_TIME), bytes(range(64)))
        archive.writestr(link, "../neighbour")
    write("unzip", "stored-and-symbolic-link", buffer.getvalue())
    # Faults: the temporary name of "x" is the entry before it; an entry
    # whose data inflates to a mebibyte while it declares 10 bytes.
    write("unzip", "fault-unpacking-name-clash",
          zip_bytes([("x.unpacking", b"first entry"), ("x", b"second entry")]))
    write("unzip", "fault-size-beyond-declared",
          with_declared_size(zip_bytes([("big.bin", bytes(1 << 20))]), "big.bin", 10))


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def saved(image, fmt, **options):
    buffer = io.BytesIO()
    image.save(buffer, fmt, **options)
    return buffer.getvalue()


def picture_seeds():
    os.makedirs(os.path.join(HERE, "corpus", "picture"), exist_ok=True)
    for name in ["minimize_normal.png", "close_normal.png"]:
        shutil.copyfile(os.path.join(ROOT, "ui", "images", name),
                        os.path.join(HERE, "corpus", "picture", name))
    colours = Image.new("RGB", (12, 9))
    colours.putdata([(x * 20, y * 28, (x * y) % 256) for y in range(9) for x in range(12)])
    write("picture", "baseline.jpg", saved(colours, "JPEG", quality=75, optimize=True))
    write("picture", "progressive.jpg", saved(colours, "JPEG", progressive=True))
    write("picture", "grey.jpg", saved(colours.convert("L"), "JPEG", subsampling=0))
    write("picture", "bgr24.bmp", saved(colours.resize((5, 3)), "BMP"))
    palette = colours.resize((6, 4)).convert("P", palette=Image.Palette.ADAPTIVE, colors=4)
    write("picture", "palette-transparent.png", saved(palette, "PNG", transparency=0))
    write("picture", "grey16.png", saved(colours.resize((3, 3)).convert("L").convert("I"), "PNG"))
    # Faults: headers declaring 16384 x 16384 pixels (1 GiB decoded).
    small = bytearray(saved(Image.new("L", (8, 8), 128), "JPEG", quality=50, optimize=True))
    sof = small.find(b"\xff\xc0")
    struct.pack_into(">HH", small, sof + 5, 16384, 16384)
    write("picture", "fault-huge-jpeg-header", bytes(small))
    # A progressive one: libjpeg allocates its coefficient buffer for the
    # whole picture within jpeg_start_decompress.
    progressive = bytearray(saved(Image.new("L", (8, 8), 128), "JPEG", progressive=True))
    sof = progressive.find(b"\xff\xc2")
    struct.pack_into(">HH", progressive, sof + 5, 16384, 16384)
    write("picture", "fault-huge-progressive-jpeg-header", bytes(progressive))
    header = struct.pack(">IIBBBBB", 16384, 16384, 8, 6, 0, 0, 0)
    write("picture", "fault-huge-png-header",
          b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
          png_chunk(b"IDAT", zlib.compress(b"\x00" * 64)) + png_chunk(b"IEND", b""))


def main():
    for make in [text_seeds, path_seeds, http_head_seeds, header_scan_seeds, chunked_seeds,
                 address_seeds, version_page_seeds, ini_seeds, unzip_seeds, picture_seeds]:
        make()


if __name__ == "__main__":
    main()
