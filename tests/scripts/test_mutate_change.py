"""scripts/mutate-change.py in a small git repository of its own, with a
mutation tool that records how it was called."""

import json
import os
import shutil
import subprocess
import sys
import types

import pytest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "mutate-change.py")
# The script's name has a dash: loaded by path, as a module of its own.
mutate_change = types.ModuleType("mutate_change")
mutate_change.__file__ = SCRIPT
with open(SCRIPT) as script:
    exec(compile(script.read(), SCRIPT, "exec"), mutate_change.__dict__)


@pytest.mark.parametrize("path, expected", [
    ("update/download/room.cpp", True),
    ("base/text.h", True),
    ("publisher/host/native_files.cpp", True),
    ("platform/win32/files.cpp", False),  # only the cross build compiles it
    ("ui/win32/fonts.cpp", False),
    ("update/win32_name.cpp", True),  # a file named so is no win32 folder
    ("tests/host/base/text_test.cpp", False),
    ("fuzz/version_page_fuzz.cpp", False),
    ("scripts/check-layers.py", False),
    ("update/README.md", False),
    ("main.cpp", False),
])
def test_which_changed_paths_are_mutated(path, expected):
    assert mutate_change.mutable(path) == expected


RECORDER = """#!/usr/bin/env python3
import json, os, sys
with open(os.environ["RECORD"], "w") as f:
    json.dump(sys.argv[1:], f)
"""


@pytest.fixture
def repo(tmp_path):
    root = tmp_path / "repo"
    (root / "scripts").mkdir(parents=True)
    (root / "build" / "host").mkdir(parents=True)  # no configure step in the test
    shutil.copy(SCRIPT, root / "scripts" / "mutate-change.py")

    def write(name, text):
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_text(text)

    def git(*arguments):
        subprocess.run(["git", *arguments], cwd=root, check=True, capture_output=True)

    git("init", "-q")
    git("config", "user.email", "t@example.invalid")
    git("config", "user.name", "t")
    write("base/a.cpp", "int a;\n")
    git("add", "-A")
    git("commit", "-qm", "first")
    tool = tmp_path / "mutate.py"
    tool.write_text(RECORDER)
    record = tmp_path / "record.json"
    env = dict(os.environ, TAVORO_MUTATE=str(tool), RECORD=str(record))

    def run(*arguments):
        done = subprocess.run([sys.executable, str(root / "scripts" / "mutate-change.py"),
                               *arguments], cwd=root, env=env, capture_output=True, text=True)
        called = None
        if record.exists():
            called = json.loads(record.read_text())
            record.unlink()
        return done, called

    return write, git, run


def test_the_tool_gets_the_changed_product_files_and_the_seeded_sample(repo):
    write, git, run = repo
    write("base/a.cpp", "int a = 1;\n")
    write("update/b.h", "#pragma once\n")
    write("platform/win32/c.cpp", "int c;\n")
    write("tests/host/a_test.cpp", "int t;\n")
    git("add", "-A")
    git("commit", "-qm", "second")
    done, called = run("--sample", "7", "--seed", "3")
    assert done.returncode == 0, done.stderr
    assert called[:6] == ["--diff", "HEAD~1", "--sample", "7", "--seed", "3"]
    assert called[6:8] == ["--test", mutate_change.RING]
    assert called[8:] == ["base/a.cpp", "update/b.h"]


def test_a_change_without_product_code_calls_nothing(repo):
    write, git, run = repo
    write("README.md", "words\n")
    git("add", "-A")
    git("commit", "-qm", "words")
    done, called = run()
    assert done.returncode == 0
    assert called is None
    assert "no product source changed" in done.stdout


def test_uncommitted_edits_of_a_target_are_refused_not_overwritten(repo):
    write, git, run = repo
    write("base/a.cpp", "int a = 2;\n")
    git("commit", "-qam", "second")
    write("base/a.cpp", "int a = 3; // not committed\n")
    done, called = run()
    assert done.returncode == 2
    assert called is None
    assert "commit these first" in done.stderr and "base/a.cpp" in done.stderr


def test_a_missing_tool_or_base_is_said_plainly(repo, tmp_path):
    write, git, run = repo
    done, called = run("--base", "no-such-rev")
    assert done.returncode == 2 and "no-such-rev" in done.stderr
    os.unlink(tmp_path / "mutate.py")
    done, called = run()
    assert done.returncode == 2 and "TAVORO_MUTATE" in done.stderr
