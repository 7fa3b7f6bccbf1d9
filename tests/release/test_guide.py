"""The publisher's guide in Chinese, as the release archive carries it: it
decodes in the encoding it declares (UTF-8 after its byte order mark), and
names every command and every player message the README names, each
message as the launcher's sources hold it."""

import os
import re
import runpy

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def load_release_script():
    """The release script's functions, by name (it runs nothing when not
    the program started)."""
    return runpy.run_path(os.path.join(ROOT, "scripts", "make-release.py"),
                          run_name="make_release")


def readme():
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        return f.read()


def guide():
    data = load_release_script()["guide_bytes"]()
    assert data.startswith(b"\xef\xbb\xbf")
    text = data[3:].decode("utf-8")  # strict: a stray byte fails
    assert "\n" not in text.replace("\r\n", "")  # every line ends in CRLF, for Notepad
    return text


def readme_commands():
    return set(re.findall(r"tavoro-publish (keygen|pubkey|stamp|show|pack|verify|serve)\b",
                          readme()))


def readme_player_messages():
    section = readme().split("**Messages players see**", 1)[1].split("\n\n", 2)[1]
    return [re.match(r"\| `([^`]+)` \|", row).group(1)
            for row in section.splitlines() if row.startswith("| `")]


def source_text():
    text = ""
    for folder in ("core", "update", "app"):
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if name.endswith((".h", ".cpp")):
                with open(os.path.join(ROOT, folder, name), encoding="utf-8") as f:
                    text += f.read()
    return text


def test_the_guide_names_every_command_the_readme_names():
    commands = readme_commands()
    assert commands == {"keygen", "pubkey", "stamp", "show", "pack", "verify", "serve"}
    text = guide()
    for command in commands:
        assert "tavoro-publish " + command in text, command


def test_the_guide_names_every_player_message_the_readme_names_as_the_launcher_shows_it():
    messages = readme_player_messages()
    assert len(messages) == 14
    text, sources = guide(), source_text()
    for message in messages:
        assert message in text, message
        assert '"' + message in sources, message  # a message's text, from its start


def test_the_guide_covers_each_topic():
    text = guide()
    for topic in ("tavoroConfig.ini", "keygen", "备份私钥", "stamp", "每次发布", "verify",
                  "本机彩排", "玩家会看到的提示", "示例游戏"):
        assert topic in text, topic
