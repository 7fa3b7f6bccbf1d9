"""scripts/check-messages.py on statements as the publisher's sources write
them, and on a small tree of its own."""

import os
import subprocess
import sys
import types

import pytest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "check-messages.py")
check = types.ModuleType("check_messages")
check.__file__ = SCRIPT
with open(SCRIPT) as script:
    exec(compile(script.read(), SCRIPT, "exec"), check.__dict__)


@pytest.mark.parametrize("source, english", [
    ('throw Refusal("cannot make a key pair");', ["cannot make a key pair"]),
    # Over lines, after values, and in a subclass of Refusal.
    ('throw Refusal(path +\n    " exists; keygen never replaces it");', [" exists; keygen never replaces it"]),
    ('throw NotALauncher(std::string("no block"));', ["no block"]),
    ('tools.err << "note: " << path << "\\n";', ["note: "]),
    ('tools_.out << "OK: " << shown;', ["OK: "]),
    ('err_ << "packing";', ["packing"]),
    # What is no English: the catalogue's own, option and value names,
    # file names, punctuation.
    ('throw Refusal(Message::kBadPort, {"--port"});', []),
    ('throw Refusal(Message::kForOption, {readFailure(tools, f), "--secret"});', []),
    ('err << "} OPTIONS...   (" << kToolName << " --help)\\n";', []),
    ('tools.out << "  " << name << ": " << value << "\\n";', []),
    ('throw Refusal(Message::kInFile, {"launcher.exe", "x"});', []),
    # Literals outside such statements are no message.
    ('const char* type = "application/zip";', []),
    ('// throw Refusal("in a comment");', []),
])
def test_english_in_a_statement_is_found(source, english):
    found = [literal for _, literal in check.offences(check.without_comments(source))]
    assert found == english


def run_on(tmp_path, files):
    for name, text in files.items():
        path = tmp_path / "publisher" / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")
    return subprocess.run([sys.executable, SCRIPT, str(tmp_path)], capture_output=True, text=True)


def test_a_tree_fails_on_english_anywhere_but_the_catalogue(tmp_path):
    clean = 'void f() { throw Refusal(Message::kBadPort, {}); }\n'
    english = 'void f() { throw Refusal("cannot listen"); }\n'
    result = run_on(tmp_path, {"a.cpp": clean, "messages.cpp": english})
    assert result.returncode == 0, result.stdout
    result = run_on(tmp_path, {"b.cpp": english})
    assert result.returncode == 1
    assert 'publisher/b.cpp:1: "cannot listen"' in result.stdout
    # A platform's own folder is read too, and one clean file does not hide another.
    os.remove(tmp_path / "publisher" / "b.cpp")
    result = run_on(tmp_path, {"win32/folder_reader.cpp": english, "host/c.cpp": clean})
    assert result.returncode == 1
    assert 'publisher/win32/folder_reader.cpp:1: "cannot listen"' in result.stdout
    os.remove(tmp_path / "publisher" / "win32" / "folder_reader.cpp")
    assert run_on(tmp_path, {}).returncode == 0
