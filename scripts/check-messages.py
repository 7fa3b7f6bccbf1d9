#!/usr/bin/env python3
"""Fails when a publisher source passes English words of its own to what the
publisher reads: a refusal thrown, or a line written to the tool's output.
Such words belong in the message catalogue (publisher/messages.cpp), which
has both languages.

A statement is looked at from "throw X(" or "tools.out/err <<" to its ";";
a string literal in it with two letters in a row is English, unless it is
an option name ("--out"), a value's name ("FILE") or a file name.

Usage: check-messages.py [ROOT]
"""

import pathlib
import re
import sys

STATEMENT = re.compile(r"(throw\s+\w+\s*\(|\btools_?\.(?:out|err)\s*<<|\berr_?\s*<<)")
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
# Option names, their values' names (FILE, OPTIONS) and file names.
NOT_WORDS = re.compile(r"--[a-z-]+|\b[A-Z][A-Z0-9_]{2,}\b|[\w.-]+\.(?:exe|zip|html|ini|journal)\b")


def without_comments(text):
    return re.sub(r"//[^\n]*", "", text)


def statement_end(source, start):
    """Where the statement from `start` ends: its ";" outside literals."""
    at = start
    while at < len(source) and source[at] != ";":
        literal = LITERAL.match(source, at)
        at = literal.end() if literal else at + 1
    return at


def offences(source):
    """The English literals in statements that refuse or write."""
    found = []
    for match in STATEMENT.finditer(source):
        statement = source[match.start():statement_end(source, match.end())]
        for literal in LITERAL.findall(statement):
            if re.search(r"[A-Za-z]{2}", NOT_WORDS.sub("", literal)):
                line = source.count("\n", 0, match.start()) + 1
                found.append((line, literal))
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".") / "publisher"
    failed = False
    for path in sorted(root.rglob("*.cpp")):
        name = path.relative_to(root).as_posix()
        if name == "messages.cpp":
            continue
        for line, literal in offences(without_comments(path.read_text(encoding="utf-8"))):
            print(f'check-messages: publisher/{name}:{line}: "{literal}" belongs in the '
                  "message catalogue")
            failed = True
    if not failed:
        print("check-messages: every message is in the catalogue")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
