#!/usr/bin/python3
"""Start-up time of launcher.exe against a minimal Win32 window, side by side.

Both run alternately in the same Wine prefix and on the same display; each
run is timed from the process start to its window being mapped, then closed
with WM_CLOSE. Prints the medians, their ratio (goal: launcher/minimal at
most 1.3), the size of launcher.exe (goal: at most 2 MiB) and the DLLs it
imports (goal: Windows system DLLs only).

After the timed runs, launcher-trace.exe (launcher.exe that notes when each
start-up step ends) runs as often again, and the median time of each step
from the start of `wine` is printed: where the launcher's milliseconds go.

    bench/startup.py [--runs N] [--build build/win32] [--check]

--check makes the exit status non-zero when a goal is missed.
"""

import argparse
import copy
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO_ROOT, "tests", "e2e"))
import harness  # noqa: E402

RATIO_GOAL = 1.3
SIZE_GOAL = 2 * 1024 * 1024
# What a plain Windows installation provides; anything else would have to ship
# beside the launcher.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msimg32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "uuid.dll", "version.dll", "wininet.dll", "winmm.dll", "ws2_32.dll", "crypt32.dll",
    "imm32.dll", "uxtheme.dll", "gdiplus.dll", "winhttp.dll", "mswsock.dll", "bcrypt.dll",
}
POLL_S = 0.01


class Program:
    def __init__(self, name, exe, class_arg, title):
        self.name, self.exe, self.class_arg, self.title = name, exe, class_arg, title
        self.times = []


def mapped(wine, exe_name):
    """Ids of mapped windows whose WM_CLASS is the exe's name, as Wine sets it."""
    out = wine.x("xdotool", "search", "--onlyvisible", "--class", "^" + exe_name.replace(".", r"\.") + "$")
    return out.stdout.split()


def time_one(wine, program, post_message, trace_file=None):
    """Seconds from starting the program to its window mapped; with
    `trace_file`, also the wall-clock time of the start."""
    exe_name = os.path.basename(program.exe)
    if trace_file:
        env = dict(wine.wine_env, TAVORO_STARTUP_TRACE=windows_path(trace_file))
        wine = copy.copy(wine)
        wine.wine_env = env
    wall_start = time.time()
    start = time.monotonic()
    proc = wine.start(program.exe)
    while True:
        if mapped(wine, exe_name):
            elapsed = time.monotonic() - start
            break
        if proc.poll() is not None:
            raise harness.HarnessError(f"{program.name} ended with {proc.returncode} before mapping")
        if time.monotonic() - start > 60:
            proc.kill()
            raise harness.HarnessError(f"{program.name}: no window within 60 s")
        time.sleep(POLL_S)
    # Outside the timed part: it is the window we meant.
    wid = harness.wait_until(lambda: wine.find_window(program.title), 10,
                             what=f"{program.name} window title")
    args = [program.class_arg] if program.class_arg else []
    done = wine.run(post_message, "/wait:2000", *args, "close", timeout=30)
    if done.returncode != 0:
        proc.kill()
        raise harness.HarnessError(f"could not close {program.name} (window {wid})")
    code = proc.wait(30)
    if code != 0:
        raise harness.HarnessError(f"{program.name} exited with code {code}")
    return (elapsed, wall_start) if trace_file else elapsed


def windows_path(path):
    """The Unix path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# Windows keeps times in 100 ns units since 1601; Unix counts seconds since 1970.
FILETIME_UNIX_EPOCH = 116444736000000000


def traced_steps(wine, program, post_message, trace_file):
    """[(step, ms since `wine` started)] of one traced run, ending with the
    window seen mapped."""
    if os.path.exists(trace_file):
        os.remove(trace_file)
    elapsed, wall_start = time_one(wine, program, post_message, trace_file)
    steps = []
    with open(trace_file, encoding="ascii", errors="replace") as f:
        for line in f:
            name, ticks = line.rstrip("\n").split("\t")
            unix = (int(ticks) - FILETIME_UNIX_EPOCH) / 1e7
            steps.append((name, (unix - wall_start) * 1000))
    steps.append(("window seen mapped", elapsed * 1000))
    return steps


def print_trace(runs):
    """Each step in the order of its median time since `wine` started, with
    the median of what it took after the step before it (run by run)."""
    print(f"launcher-trace.exe, median of {len(runs)} runs (ms since wine started, "
          f"and the step's own share):")
    by_name = [dict(run) for run in runs]
    names = [name for name, _ in runs[0] if all(name in run for run in by_name)]
    names.sort(key=lambda name: statistics.median(run[name] for run in by_name))
    for i, name in enumerate(names):
        at = statistics.median(run[name] for run in by_name)
        took = statistics.median(run[name] - (run[names[i - 1]] if i else 0) for run in by_name)
        print(f"  {name:32s} {at:7.1f}  {took:+6.1f}")


def imported_dlls(exe):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-p", exe], capture_output=True, text=True,
                         check=True).stdout
    return [line.split("DLL Name:")[1].strip() for line in out.splitlines() if "DLL Name:" in line]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=10, help="timed runs of each program")
    parser.add_argument("--build", default=os.path.join(REPO_ROOT, "build", "win32"))
    parser.add_argument("--check", action="store_true", help="fail when a goal is missed")
    args = parser.parse_args(argv)

    build = os.path.abspath(args.build)
    launcher_exe = os.path.join(build, "launcher.exe")
    post_message = os.path.join(build, "post_message.exe")
    trace_exe = os.path.join(build, "launcher-trace.exe")
    for exe in (launcher_exe, post_message, os.path.join(build, "minimal_window.exe"),
                os.path.join(build, "DemoGame.exe"), trace_exe):
        if not os.path.isfile(exe):
            sys.exit(f"bench: {exe} missing; build the win32 preset first")

    wine = harness.Wine()
    with tempfile.TemporaryDirectory(prefix="tavoro-bench-") as tmp:
        game = os.path.join(tmp, "game")
        subprocess.run([os.path.join(REPO_ROOT, "scripts", "make-demo-game.py"), game,
                        "--launcher", launcher_exe, "--game", os.path.join(build, "DemoGame.exe")],
                       check=True, stdout=subprocess.DEVNULL)
        minimal_dir = os.path.join(tmp, "minimal")
        os.makedirs(minimal_dir)
        shutil.copy2(os.path.join(build, "minimal_window.exe"), minimal_dir)

        launcher = Program("launcher.exe", os.path.join(game, "launcher.exe"), None,
                           harness.LAUNCHER_TITLE)
        minimal = Program("minimal window", os.path.join(minimal_dir, "minimal_window.exe"),
                          "/class:TavoroMinimalWindow", "minimal window")
        # One untimed start each: the first start of a program in a prefix
        # pays for loading its DLLs from disk.
        for program in (minimal, launcher):
            time_one(wine, program, post_message)
        for _ in range(args.runs):
            for program in (launcher, minimal):
                program.times.append(time_one(wine, program, post_message))

        # Beside launcher.exe, so that it finds the same game folder.
        shutil.copy2(trace_exe, game)
        traced = Program("launcher-trace.exe", os.path.join(game, "launcher-trace.exe"), None,
                         harness.LAUNCHER_TITLE)
        trace_file = os.path.join(tmp, "steps.txt")
        time_one(wine, traced, post_message)
        trace_runs = [traced_steps(wine, traced, post_message, trace_file)
                      for _ in range(args.runs)]

    ok = True
    print(f"start-up to window mapped, {args.runs} runs each, alternating "
          f"(Wine prefix {wine.prefix}, display {wine.display})")
    for program in (launcher, minimal):
        ms = sorted(t * 1000 for t in program.times)
        print(f"  {program.name:15s} median {statistics.median(ms):7.1f} ms   "
              f"min {ms[0]:7.1f}   max {ms[-1]:7.1f}")
    ratio = statistics.median(launcher.times) / statistics.median(minimal.times)
    ok &= ratio <= RATIO_GOAL
    print(f"  ratio launcher/minimal: {ratio:.2f} (goal <= {RATIO_GOAL}) "
          f"{'ok' if ratio <= RATIO_GOAL else 'MISSED'}")
    print_trace(trace_runs)

    size = os.path.getsize(launcher_exe)
    ok &= size <= SIZE_GOAL
    print(f"launcher.exe size: {size} bytes = {size / 1048576:.2f} MiB (goal <= 2 MiB) "
          f"{'ok' if size <= SIZE_GOAL else 'MISSED'}")
    dlls = imported_dlls(launcher_exe)
    foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
    ok &= not foreign
    print(f"imported DLLs: {', '.join(dlls)}")
    print(f"  Windows system DLLs only: {'yes' if not foreign else 'NO: ' + ', '.join(foreign)}")
    return 0 if ok or not args.check else 1


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except harness.HarnessError as e:
        sys.exit(f"bench: {e}")
