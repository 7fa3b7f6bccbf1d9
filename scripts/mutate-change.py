#!/usr/bin/env python3
"""The before-commit check in one command: one-line faults planted in the
product lines a change touched, each built and run through the host ring.
A seeded sample, so a run can be repeated and its survivors re-run.

    scripts/mutate-change.py [--base REV] [--sample N] [--seed S] [--only IDS] [--list]

REV is what the change is measured against: by default the commit before
the last one (HEAD~1), so commit first, check, then share. The mutation
tool restores each file with git, so a file with changes not yet committed
is refused rather than lost. The tool is found at TAVORO_MUTATE or
../shared/tools/mutate.py beside the checkout.
"""

import argparse
import os
import subprocess
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT_FOLDERS = ("base", "platform", "ui", "core", "update", "app", "publisher")
SOURCE_ENDINGS = (".cpp", ".h")
# The 70,000-entry ZIP64 test alone takes longer than the rest of the ring;
# no mutant of a changed line needs it to be caught.
RING = "ctest --preset host -j2 --timeout 180 -E Zip64ByCount"


def mutable(path):
    """Whether a changed path is product code the host ring builds: under a
    product folder, C++ source, and not in a win32/ folder (only the
    cross build compiles those, so no host test could catch a fault there)."""
    parts = path.split("/")
    return (len(parts) > 1 and parts[0] in PRODUCT_FOLDERS and "win32" not in parts[1:-1] and
            path.endswith(SOURCE_ENDINGS))


def git(*arguments):
    return subprocess.run(["git", *arguments], cwd=REPO, check=True, capture_output=True,
                          text=True).stdout


def changed_files(base):
    names = git("diff", "--name-only", "--diff-filter=AM", base, "HEAD").splitlines()
    return sorted(name for name in names if mutable(name))


def uncommitted(files):
    return [name for name in files if git("status", "--porcelain", "--", name).strip()]


def tool_path():
    return os.environ.get("TAVORO_MUTATE") or os.path.join(
        os.path.dirname(REPO), "shared", "tools", "mutate.py")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--base", default="HEAD~1")
    parser.add_argument("--sample", type=int, default=20)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--only")
    parser.add_argument("--list", action="store_true")
    options = parser.parse_args(argv[1:])

    tool = tool_path()
    if not os.path.isfile(tool):
        print(f"mutate-change: no mutation tool at {tool}: set TAVORO_MUTATE to mutate.py",
              file=sys.stderr)
        return 2
    try:
        files = changed_files(options.base)
    except subprocess.CalledProcessError as e:
        print(f"mutate-change: git cannot compare with {options.base}: {e.stderr.strip()}",
              file=sys.stderr)
        return 2
    if not files:
        print(f"mutate-change: no product source changed since {options.base}")
        return 0
    dirty = uncommitted(files)
    if dirty:
        print("mutate-change: commit these first (each mutant is undone with git checkout): " +
              " ".join(dirty), file=sys.stderr)
        return 2
    if not os.path.isdir(os.path.join(REPO, "build", "host")):
        subprocess.run(["cmake", "--preset", "host"], cwd=REPO, check=True)
    command = [sys.executable, tool, "--diff", options.base, "--sample", str(options.sample),
               "--seed", str(options.seed), "--test", RING]
    if options.only:
        command += ["--only", options.only]
    if options.list:
        command.append("--list")
    print(f"mutate-change: {len(files)} files since {options.base}, sample {options.sample}, "
          f"seed {options.seed}", flush=True)
    return subprocess.run(command + files, cwd=REPO).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
