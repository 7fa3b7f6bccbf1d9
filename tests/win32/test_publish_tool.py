"""tavoro-publish.exe under Wine: a stamped copy of a program that carries
the launcher's settings block reads what was stamped, and pack reads names
through the wide API and stores them in code page 936.

Run by ctest --preset win32, which names the two programs in
TAVORO_PUBLISH_EXE and TAVORO_SETTINGS_PROBE_EXE.
"""

import os
import subprocess
import zipfile

TOOL = os.environ["TAVORO_PUBLISH_EXE"]
PROBE = os.environ["TAVORO_SETTINGS_PROBE_EXE"]
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                        "wine-run")
BUILT_PAGE = "http://update.example.invalid/launcher/version.html"


def wine(*args):
    # The prefix runs in Chinese on code page 936: so does the tool's output.
    return subprocess.run([WINE_RUN, *map(str, args)], capture_output=True, encoding="gbk",
                          errors="replace", check=False)


def tool(*args):
    return wine(TOOL, *args)


def keygen(path):
    result = tool("keygen", "--secret", path)
    assert result.returncode == 0, result.stderr
    return result.stdout.strip()


def test_stamped_copy_reads_the_stamped_page_key_and_version(tmp_path):
    key = keygen(tmp_path / "secret.key")
    page = "https://updates.example.com/" + "p" * 400 + "/version.html"
    stamped = tmp_path / "stamped.exe"
    longest_version = "5." + "9" * 29  # 31 bytes
    result = tool("stamp", "--in", PROBE, "--out", stamped, "--page", page, "--public-key", key,
                  "--version", longest_version)
    assert result.returncode == 0, result.stderr
    assert wine(stamped).stdout.splitlines() == [page, key, longest_version]
    assert wine(PROBE).stdout.splitlines() == [BUILT_PAGE, "", "5.0"]

    # Stamped again without a key or version, the copy keeps the ones it has.
    restamped = tmp_path / "restamped.exe"
    result = tool("stamp", "--in", stamped, "--out", restamped, "--page", "http://b.example/v")
    assert result.returncode == 0, result.stderr
    assert wine(restamped).stdout.splitlines() == ["http://b.example/v", key, longest_version]


def test_stamp_refuses_the_tool_itself_and_an_oversized_address(tmp_path):
    result = tool("stamp", "--in", TOOL, "--out", tmp_path / "copy.exe", "--page", "http://a/v")
    assert result.returncode == 1
    assert "其中没有更新设置" in result.stderr
    result = tool("stamp", "--in", PROBE, "--out", tmp_path / "copy.exe", "--page",
                  "http://" + "p" * 505)
    assert result.returncode == 1
    assert "启动器最多只能存放 511 字节" in result.stderr
    assert os.listdir(tmp_path) == []


def test_pack_stores_code_page_936_names_that_verify_accepts(tmp_path):
    game = tmp_path / "game"
    (game / "数据").mkdir(parents=True)
    (game / "启动器.exe").write_bytes(b"MZ new launcher")
    (game / "说.txt").write_bytes(b"one character")
    (game / "数据" / "说明.txt").write_bytes(os.urandom(100000))
    key = keygen(tmp_path / "secret.key")
    result = tool("pack", "--from", game, "--launcher", "启动器.exe", "--version", "5.1", "--url",
                  "http://example.com/u.zip", "--secret", tmp_path / "secret.key", "--out",
                  tmp_path / "out", "--note", "新功能")
    assert result.returncode == 0, result.stderr
    assert sorted(os.listdir(tmp_path / "out")) == ["u.zip", "version.html"]

    with zipfile.ZipFile(tmp_path / "out" / "u.zip") as package:
        entries = package.infolist()
    assert all(entry.flag_bits & 0x800 == 0 for entry in entries)
    # Without the flag, Python decodes names as CP437: encoding back gives the bytes.
    names = {entry.orig_filename.encode("cp437").decode("gbk") for entry in entries}
    # And the package's list of its entries, last.
    assert names == {"启动器.exe", "说.txt", "数据/", "数据/说明.txt", "tavoro-update.entries"}
    assert entries[-1].filename == "tavoro-update.entries"
    page = (tmp_path / "out" / "version.html").read_text(encoding="utf-8")
    assert "<p>程序标题=启动器.exe</p>" in page and "<p>更新说明=新功能</p>" in page

    result = tool("verify", "--page", tmp_path / "out" / "version.html", "--package",
                  tmp_path / "out" / "u.zip", "--public-key", key)
    assert result.returncode == 0, result.stderr
    assert result.stdout.startswith("正确：")

    # A name code page 936 cannot hold: refused, nothing written.
    (game / "한글.txt").write_bytes(b"hangul")
    result = tool("pack", "--from", game, "--launcher", "启动器.exe", "--version", "5.2", "--url",
                  "http://example.com/v.zip", "--secret", tmp_path / "secret.key", "--out",
                  tmp_path / "out2")
    assert result.returncode == 1
    # The console cannot show the name either: "?" stands for what it cannot.
    assert "??.txt：名字里有代码页 936（简体中文 Windows）写不出的字符" in result.stderr
    assert not (tmp_path / "out2").exists() or os.listdir(tmp_path / "out2") == []


def test_pack_refuses_what_would_leak_or_clash_on_windows_and_show_reads_a_launcher(tmp_path):
    game = tmp_path / "game"
    game.mkdir()
    (game / "启动器.exe").write_bytes(b"MZ new launcher")
    keygen(tmp_path / "secret.key")
    key_text = (tmp_path / "secret.key").read_bytes()

    def pack(**changed):
        options = {"--from": game, "--launcher": "启动器.exe", "--version": "5.1",
                   "--url": "http://example.com/u.zip", "--secret": tmp_path / "secret.key",
                   "--out": tmp_path / "out", **changed}
        return tool("pack", *[word for pair in options.items() for word in pair])

    cases = [
        ("a key in the folder", lambda: (game / "publisher.key").write_bytes(key_text), {},
         "publisher.key 是私钥或含有私钥"),
        ("--out inside --from", lambda: None, {"--out": game / "upload"}, "在 --from"),
        ("one name to Windows", lambda: ((game / "Ω.txt").write_bytes(b"upper"),
                                         (game / "ω.txt").write_bytes(b"lower")), {},
         "只有大小写不同"),
        ("a secret file not there", lambda: None, {"--secret": tmp_path / "publisher.kye"},
         "publisher.kye：找不到（--secret）"),
    ]
    for name, prepare, changed, says in cases:
        for extra in ("publisher.key", "Ω.txt", "ω.txt"):
            if (game / extra).exists():
                (game / extra).unlink()
        prepare()
        result = pack(**{key: str(value) for key, value in changed.items()})
        assert result.returncode == 1, name
        assert says in result.stderr, (name, result.stderr)
        assert not (tmp_path / "out").exists(), name
        assert not (game / "upload").exists(), name

    result = tool("show", PROBE)
    assert result.returncode == 0, result.stderr
    assert "  版本页: " + BUILT_PAGE + "（示例版本页" in result.stdout
    assert "  版本: 5.0" in result.stdout
    result = tool("show", TOOL)
    assert result.returncode == 1
    assert "不是启动器：其中没有更新设置" in result.stderr
