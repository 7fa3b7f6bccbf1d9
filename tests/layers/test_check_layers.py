"""Tests of scripts/check-layers.py on small trees made for each test.

Run: /usr/bin/python3 -m pytest -q tests/layers
"""

import os
import re
import subprocess
import sys

import pytest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                       "check-layers.py")

# Every folder, every allowed kind of include, and the things the checker
# must not take for violations: commented-out includes, system headers,
# includes beside the file, win32 files reached from app/ and other win32
# files, and tests/ (outside the layers) including whatever it likes.
CLEAN = {
    "base/bytes.h": "#pragma once\n#include <string>\n",
    "base/text.h": '#include "base/bytes.h"\n',
    "platform/services.h": '#include "base/bytes.h"\n// #include "core/state.h"\n',
    "platform/host/files.cpp": ('#include "platform/services.h"\n#include <unistd.h>\n'
                                '#ifdef __linux__\n#endif\n'),
    "platform/win32/handles.h": "#include <windows.h>\n",
    "platform/win32/files.cpp": '#include "handles.h"\n#include "platform/services.h"\n',
    "ui/controls.h": '#include "platform/services.h"\n/*\n#include <windows.h>\n*/\n',
    "ui/win32/window.cpp": ('#include <CommCtrl.h>\n#include "ui/controls.h"\n'
                            '#include "platform/win32/handles.h"\n'),
    "core/state.h": '#include "ui/controls.h"\n#include "base/text.h"\n',
    "update/download.h": ('#include "core/state.h"\n#include "update/package/unzip.h"\n'
                          '#include "update/version_page.h"\n'),
    "update/version_page.h": "#pragma once\n",
    "update/http/address.h": '#include "base/text.h"\n',
    "update/http/host/transport.cpp": ('#include "update/http/address.h"\n'
                                       '#include "platform/host/files.cpp"\n'),
    "update/download/engine.h": '#include "update/http/address.h"\n',
    "update/package/unzip.h": ('#include "update/download/engine.h"\n'
                               '#include "update/version_page.h"\n'),
    "app/program.cpp": ('#include "update/download.h"\n#include "ui/win32/window.cpp"\n'
                        '#include "platform/win32/handles.h"\n'),
    "app/win32/winmain.cpp": '#include <windows.h>\n#include "app/program.cpp"\n',
    "publisher/pack.cpp": ('#include "update/download.h"\n#include "base/text.h"\n'
                           '#include "platform/win32/handles.h"\n'),
    "publisher/win32/main.cpp": '#include <windows.h>\n#include "publisher/pack.cpp"\n',
    "tests/host/state_test.cpp": '#include <windows.h>\n#include "app/win32/winmain.cpp"\n',
}


def one_file(path, text, *violations):
    """A case that adds one file, with the violations in it as (line, rule)."""
    return {path: text}, {(path, line, rule) for line, rule in violations}


# Each case: files added to the clean tree (replacing any of the same name),
# and every violation the checker must report, as (path, line, rule).
BAD = {
    "base including platform": one_file(
        "base/text.h", '#include "base/bytes.h"\n#include "platform/services.h"\n',
        (2, "base"), (2, "cycle")),
    "core including update": one_file(
        "core/launch.cpp", '#include "core/state.h"\n#include "update/download.h"\n',
        (2, "order"), (2, "cycle")),
    "core including update by a path beside the file": one_file(
        "core/launch.cpp", '#include "../update/download.h"\n', (1, "order"), (1, "cycle")),
    "portable file including <windows.h>": one_file(
        "core/launch.cpp", "#include <string>\n#include <windows.h>\n", (2, "windows-header")),
    "portable file including a Windows header in any case, inside #ifdef": one_file(
        "app/program.cpp",
        '#include "update/download.h"\n#ifdef _WIN32\n#include <WinSock2.h>\n#endif\n',
        (3, "windows-header"), (2, "platform-branch")),
    "portable file including a win32 header": one_file(
        "core/launch.cpp", '#include "platform/win32/handles.h"\n', (1, "win32-reach")),
    "win32 file including a win32 file to its right": one_file(
        "platform/win32/files.cpp", '#include "ui/win32/window.cpp"\n', (1, "order"),
        (1, "cycle")),
    "publisher including app, which stands beside it": one_file(
        "publisher/pack.cpp", '#include "update/download.h"\n#include "app/program.cpp"\n',
        (2, "order")),
    "app including publisher, which stands beside it": one_file(
        "app/program.cpp", '#include "update/download.h"\n#include "publisher/pack.cpp"\n',
        (2, "order")),
    "portable file including a host file": one_file(
        "update/download.h", '#include "core/state.h"\n#include "update/http/host/transport.cpp"\n',
        (2, "host-reach")),
    "win32 file including a host file": one_file(
        "platform/win32/files.cpp",
        '#include "platform/services.h"\n#include "platform/host/files.cpp"\n', (2, "host-reach")),
    "portable file branching on the platform": one_file(
        "core/launch.cpp",
        ('#include "core/state.h"\n#ifndef _WIN32\nint a;\n#elif defined(__MINGW32__)\n#endif\n'
         '#ifdef TAVORO_KILL_POINTS\n#endif\n'),
        (2, "platform-branch"), (4, "platform-branch")),
    "update's http room including the download room": one_file(
        "update/http/address.h", '#include "base/text.h"\n#include "update/download/engine.h"\n',
        (2, "room")),
    "update's package room including the flow": one_file(
        "update/package/unzip.h", '#include "update/version_page.h"\n#include "update/download.h"\n',
        (2, "room")),
    "cycle between ui and core": one_file(
        "ui/chrome.cpp", '#include "ui/controls.h"\n\n#include "core/state.h"\n', (3, "order"),
        (3, "cycle")),
}

VIOLATION = re.compile(r"^(\S+):(\d+): \[([a-z0-9-]+)\] ")


def run_checker(tmp_path, files):
    for path, text in files.items():
        (tmp_path / path).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / path).write_text(text)
    result = subprocess.run([sys.executable, CHECKER, str(tmp_path)], capture_output=True,
                            text=True, check=False)
    lines = result.stdout.splitlines()
    found = set()
    for line in lines:
        match = VIOLATION.match(line)
        if match:
            found.add((match.group(1), int(match.group(2)), match.group(3)))
    return result.returncode, found, lines


def test_clean_tree_passes(tmp_path):
    code, found, lines = run_checker(tmp_path, CLEAN)
    assert (code, found) == (0, set()), "\n".join(lines)
    assert lines == ["check-layers: no violations; folder order "
                     "base <- platform <- ui <- core <- update <- app, publisher"]


@pytest.mark.parametrize("files, expected", BAD.values(), ids=BAD.keys())
def test_bad_include_is_reported_at_its_line(tmp_path, files, expected):
    code, found, lines = run_checker(tmp_path, {**CLEAN, **files})
    assert (code, found) == (1, expected), "\n".join(lines)
    assert re.match(rf"check-layers: {len(expected)} violations? in 1 file \(", lines[-1])


def test_cycle_names_its_folders_and_both_includes(tmp_path):
    _, _, lines = run_checker(tmp_path, {**CLEAN, **BAD["cycle between ui and core"][0]})
    cycle = [line for line in lines if "[cycle]" in line]
    assert cycle == ["ui/chrome.cpp:3: [cycle] folders ui -> core -> ui include each other "
                     "round a cycle; this include is ui -> core, then core -> ui at "
                     "core/state.h:1"]
