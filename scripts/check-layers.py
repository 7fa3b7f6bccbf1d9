#!/usr/bin/python3
"""Checks that the source folders include each other in one direction only.

    check-layers.py [ROOT]      ROOT: the repository root by default

Prints each violation as "path:line: [rule] why", then a one-line summary;
exits 1 on any violation, 0 otherwise. The rules (README.md, "Developer
notes: folder order"):

  order           a folder includes its own headers and those of the folders
                  left of it in LAYERS, never those to its right, nor those of
                  a folder beside it (app/ and publisher/)
  base            base/ includes nothing of ours outside base/
  windows-header  only files under a win32/ folder include Windows SDK headers
  win32-reach     files under a win32/ folder are included only from app/,
                  publisher/ or other win32 files
  host-reach      files under a host/ folder (built for the host alone) are
                  included only from other host files
  platform-branch a portable file (under neither win32/ nor host/) has no
                  #if on the platform (_WIN32, __linux__, ...): each build's
                  part lives in its own folder
  room            inside update/, a room includes its own files and those of
                  the rooms left of it in UPDATE_ROOMS, never those to its
                  right; the page's format (update/version_page.h) and the
                  launcher's own file names (update/record_names.h) are for all
  cycle           top-level folders that include each other round a circle

Our files are named by "..." includes with paths from the repository root
("core/state.h"), or by a "..." path that exists beside the including file;
<...> includes are system headers and are looked at only for Windows SDK
names. Every #include line counts, inside #if blocks too; lines commented out
with // or inside a /* ... */ that starts a line do not.
"""

import os
import posixpath
import re
import sys
from collections import Counter, deque

# Left to right: each folder may include its own folder and those to its left.
# Folders of one step stand side by side: neither includes the other. The
# launcher's program (app/) and the publisher's tool (publisher/) both build
# on everything else.
LAYERS = [["base"], ["platform"], ["ui"], ["core"], ["update"], ["app", "publisher"]]
FOLDERS = [folder for step in LAYERS for folder in step]

# The rooms of update/, left to right as LAYERS: the flow (files directly in
# update/) puts the others together.
UPDATE_ROOMS = ["update/http", "update/download", "update/package", "update"]
ROOM_RANK = {room: i for i, room in enumerate(UPDATE_ROOMS)}
# Headers every room of update/ may read: the version page's format, and
# the names of the launcher's own files in the game folder.
SHARED_IN_UPDATE = {"update/version_page.h", "update/record_names.h"}

# Macros that tell one platform's build from another's.
PLATFORM_BRANCH = re.compile(
    r"^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|WIN32|__MINGW32__|__MINGW64__|"
    r"_MSC_VER|__linux__|__unix__|__APPLE__)\b")

# The programs' own folders, which put the pieces together: they may reach
# the Windows-specific files of the folders they build on.
WIN32_REACHERS = {"app", "publisher"}

# Windows SDK headers, compared in lower case.
WINDOWS_HEADERS = {
    "windows.h", "winsock2.h", "ws2tcpip.h", "wininet.h", "commctrl.h",
    "objbase.h", "shlobj.h", "shellapi.h", "shlwapi.h", "wincrypt.h",
    "sspi.h", "schannel.h", "security.h", "winbase.h", "wingdi.h",
    "winuser.h", "mmsystem.h", "ole2.h", "shobjidl.h", "winerror.h",
    "psapi.h", "tlhelp32.h", "windowsx.h", "uxtheme.h", "dwmapi.h",
}

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
RANK = {folder: i for i, step in enumerate(LAYERS) for folder in step}


def layer_of(path):
    return path.split("/", 1)[0]


def in_subfolder(path, kind):
    """Under a `kind` folder below a top-level folder: platform/win32/x.cpp,
    update/http/host/x.cpp."""
    return kind in path.split("/")[1:-1]


def is_win32(path):
    return in_subfolder(path, "win32")


def is_host(path):
    return in_subfolder(path, "host")


def room_of(path):
    """The room of update/ a path is in, or None outside update/."""
    if layer_of(path) != "update":
        return None
    parts = path.split("/")
    return f"update/{parts[1]}" if f"update/{parts[1]}" in ROOM_RANK else "update"


def source_files(root):
    for layer in FOLDERS:
        for folder, dirs, files in os.walk(os.path.join(root, layer)):
            dirs.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


def include_lines(text):
    """(line number, "<" or '"', name) of each #include outside comments."""
    in_comment = False
    for number, line in enumerate(text.splitlines(), 1):
        stripped = line.lstrip()
        if in_comment or stripped.startswith("/*"):
            in_comment = "*/" not in stripped
            continue
        match = INCLUDE.match(line)
        if match:
            yield number, match.group(1), match.group(2).replace("\\", "/")


def our_file(root, path, name):
    """The repository path a "..." include names, or None if not one of ours."""
    if layer_of(name) in RANK:
        return posixpath.normpath(name)
    beside = posixpath.normpath(posixpath.join(posixpath.dirname(path), name))
    if layer_of(beside) in RANK and os.path.isfile(os.path.join(root, beside)):
        return beside
    return None


def goes_against_order(source, target):
    """An include from folder source into folder target breaks the order."""
    return RANK[target] > RANK[source] or (RANK[target] == RANK[source] and target != source)


def order_text():
    return " <- ".join(", ".join(step) for step in LAYERS)


def check_include(path, bracket, name, target):
    """Yields (rule, message) for one include of one file."""
    layer = layer_of(path)
    shown = f"<{name}>" if bracket == "<" else f'"{name}"'
    if target is None:
        if name.lower() in WINDOWS_HEADERS and not is_win32(path):
            yield ("windows-header",
                   f"{shown} is a Windows SDK header; only files under a win32/ "
                   f"folder may include it, and this file is portable")
        return
    to = layer_of(target)
    if layer == "base" and to != "base":
        yield "base", f"base/ includes nothing of ours outside base/, but {shown} is in {to}/"
    elif goes_against_order(layer, to):
        allowed = ", ".join(FOLDERS[: FOLDERS.index(LAYERS[RANK[layer]][0])] + [layer])
        where = ("stands beside it" if RANK[to] == RANK[layer]
                 else f"comes after {layer}/")
        yield ("order",
               f"{layer}/ may include {allowed} only; {shown} is in {to}/, "
               f"which {where} in the folder order")
    if is_win32(target) and not is_win32(path) and layer not in WIN32_REACHERS:
        yield ("win32-reach",
               f"{shown} is a win32 file, reached only from app/, publisher/ or "
               f"other win32 files; this file is portable")
    if is_host(target) and not is_host(path):
        yield ("host-reach",
               f"{shown} is built for the host alone, reached only from other host "
               f"files; this file is built for Windows too")
    room, to_room = room_of(path), room_of(target)
    if (room and to_room and target not in SHARED_IN_UPDATE
            and ROOM_RANK[to_room] > ROOM_RANK[room]):
        allowed = ", ".join(r + "/" for r in UPDATE_ROOMS[: ROOM_RANK[room] + 1])
        yield ("room",
               f"{room}/ may include {allowed} only; {shown} is in {to_room}/, "
               f"which comes after it in update/'s rooms")


def platform_branches(path, text):
    """(line, message) of each #if on the platform in a portable file."""
    if is_win32(path) or is_host(path):
        return
    for number, line in enumerate(text.splitlines(), 1):
        match = PLATFORM_BRANCH.match(line)
        if match:
            yield number, (f"#{match.group(1)} on {match.group(2)} in a portable file; "
                           f"put each build's part under win32/ or host/")


def path_between(edges, start, goal):
    """The shortest folder path start -> ... -> goal along edges, or None."""
    came_from = {start: None}
    queue = deque([start])
    while queue:
        node = queue.popleft()
        if node == goal:
            steps = []
            while node is not None:
                steps.append(node)
                node = came_from[node]
            return steps[::-1]
        for a, b in edges:
            if a == node and b not in came_from:
                came_from[b] = node
                queue.append(b)
    return None


def cycles(edges):
    """Yields (path, line, message) once for each cycle between folders, at
    the include of its first step against the folder order."""
    seen = set()
    for a, b in edges:
        back = path_between(edges, b, a)
        if not back:
            continue
        folders = [a] + back
        steps = list(zip(folders, folders[1:]))
        if frozenset(steps) in seen:
            continue
        seen.add(frozenset(steps))
        start = next(i for i, (x, y) in enumerate(steps) if goes_against_order(x, y))
        steps = steps[start:] + steps[:start]
        circle = " -> ".join([x for x, _ in steps] + [steps[0][0]])
        others = "; ".join(f"{x} -> {y} at {':'.join(map(str, edges[x, y]))}"
                           for x, y in steps[1:])
        path, line = edges[steps[0]]
        yield path, line, (f"folders {circle} include each other round a cycle; this include "
                           f"is {steps[0][0]} -> {steps[0][1]}, then {others}")


def check(root):
    """Every violation under root as (path, line, rule, message), in file order."""
    violations = []
    edges = {}  # (from folder, to folder) -> (path, line) of its first include
    for path in source_files(root):
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for line, message in platform_branches(path, text):
            violations.append((path, line, "platform-branch", message))
        for line, bracket, name in include_lines(text):
            target = our_file(root, path, name) if bracket == '"' else None
            for rule, message in check_include(path, bracket, name, target):
                violations.append((path, line, rule, message))
            if target and layer_of(target) != layer_of(path):
                edges.setdefault((layer_of(path), layer_of(target)), (path, line))
    for path, line, message in cycles(edges):
        violations.append((path, line, "cycle", message))
    violations.sort(key=lambda v: (v[0], v[1]))
    return violations


def plural(n, word):
    return f"{n} {word}" if n == 1 else f"{n} {word}s"


def main(argv):
    if len(argv) > 2 or (len(argv) == 2 and argv[1].startswith("-")):
        print(__doc__, file=sys.stderr)
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    root = argv[1] if len(argv) == 2 else os.path.dirname(here)
    if not os.path.isdir(root):
        print(f"check-layers: {root}: not a folder", file=sys.stderr)
        return 2
    violations = check(root)
    for path, line, rule, message in violations:
        print(f"{path}:{line}: [{rule}] {message}")
    if not violations:
        print(f"check-layers: no violations; folder order {order_text()}")
        return 0
    counts = Counter(rule for _, _, rule, _ in violations)
    by_rule = ", ".join(f"{rule} {n}" for rule, n in sorted(counts.items()))
    files = len({v[0] for v in violations})
    print(f"check-layers: {plural(len(violations), 'violation')} in {plural(files, 'file')} "
          f"({by_rule})")
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
