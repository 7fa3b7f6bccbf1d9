# shellcheck shell=bash
# Sourced by the benchmark scripts.

# Builds one target of the host preset optimised, in the Release tree that
# the benchmarks share, and prints that tree's folder.
#   build_bench_target <target>
build_bench_target() {
  local source_dir build_dir
  source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  build_dir="$source_dir/build/host-bench-release"
  cmake --preset host -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build_dir" --target "$1" >/dev/null
  echo "$build_dir"
}

# Builds the portable logic optimised (one Release tree that the benchmarks
# share) and links the small driver bench/$1.cpp against it into $2, so that
# a benchmark times the launcher's code as it ships, not a debug build.
#   build_bench_driver <driver> <output>
build_bench_driver() {
  local driver=$1 output=$2
  local source_dir build_dir
  source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  build_dir=$(build_bench_target tavoro_logic)
  # shellcheck disable=SC2046
  g++ -O2 -std=c++20 -I"$source_dir" "$source_dir/bench/$driver.cpp" \
    "$source_dir/app/update_settings.cpp" -o "$output" \
    "$build_dir/libtavoro_logic.a" $(pkg-config --libs libzip libsodium openssl) -lpng -ljpeg -lz -lpthread
}

# Makes the benchmark's scratch folder, removed when the script exits, and
# sets $work to it.
#   make_work_dir <name>
make_work_dir() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

# Calls run_tool <name> for each name of each of <rounds> rounds, the rounds
# taking the orders in turn, so that no tool always runs first.
#   run_rounds <rounds> <order> [order...]      (an order: names between spaces)
run_rounds() {
  local count=$1 round tool_name
  shift
  local orders=("$@")
  for ((round = 0; round < count; round++)); do
    for tool_name in ${orders[round % ${#orders[@]}]}; do
      run_tool "$tool_name"
    done
  done
}

# a / b to two decimals.
#   ratio_of <a> <b>
ratio_of() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# The median of whitespace-separated numbers on stdin.
median_of() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Runs a command, its output discarded, and prints its wall time in whole
# milliseconds; fails when the command does (a failed run is no time).
#   elapsed_ms <command> [args...]
elapsed_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null || { echo "failed: $*" >&2; return 1; }
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

# Writes an update-sized game folder to <dir>: about 2,000 files in 40x3
# folders, ~190 MiB, a third each of incompressible, text-like and
# binary-like data, always the same bytes.
#   make_bench_tree <dir>
make_bench_tree() {
  /usr/bin/python3 - "$1" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(20240601)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
         for _ in range(3000)]
noise = rng.randbytes(1 << 20)
def content(size, kind):
    if kind == 0:  # already compressed: pictures, archives
        start = rng.randrange(len(noise) - size) if size < len(noise) else 0
        return (noise * (size // len(noise) + 1))[start:start + size]
    if kind == 1:  # text and configuration
        out = bytearray()
        while len(out) < size:
            out += b" ".join(rng.choices(words, k=64)) + b"\n"
        return bytes(out[:size])
    # binaries: a few repeated blocks among fresh bytes
    block = rng.randbytes(4096)
    out = bytearray()
    while len(out) < size:
        out += block if rng.random() < 0.5 else rng.randbytes(4096)
    return bytes(out[:size])
total = 0
for i in range(2000):
    folder = os.path.join(root, "data%02d" % (i % 40), "sub%d" % (i % 3))
    os.makedirs(folder, exist_ok=True)
    size = int(rng.lognormvariate(10.6, 1.1)) + 1
    size = min(size, 4 << 20)
    data = content(size, i % 3)
    with open(os.path.join(folder, "file%04d.bin" % i), "wb") as f:
        f.write(data)
    total += len(data)
# Top up to ~190 MiB with a few large files of each kind.
j = 0
while total < 190 << 20:
    data = content(min(8 << 20, (190 << 20) - total), j % 3)
    with open(os.path.join(root, "big%d.dat" % j), "wb") as f:
        f.write(data)
    total += len(data)
    j += 1
print("  %d MiB in files" % (total >> 20))
PY
}
