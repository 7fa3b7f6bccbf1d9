#!/usr/bin/env bash
# Unpacks one update-sized package (about 2,000 files, ~190 MiB unpacked,
# mixed compressibility, made by Info-ZIP zip) with the launcher's unpacker,
# Info-ZIP unzip and 7z, alternating over a few rounds, and prints each
# tool's median time and the ratios to ours.
#
#   bench/unzip_bench.sh [rounds]      (default 3)
set -euo pipefail

rounds=${1:-3}
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/unzip-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Our unpacker, optimised.
ours="$work/unzip_bench"
build_bench_driver unzip_bench "$ours"

echo "generating the package ..."
/usr/bin/python3 - "$work/tree" <<'PY'
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
(cd "$work/tree" && zip -q -r "$work/package.zip" .)
entries=$(zipinfo -1 "$work/package.zip" | wc -l)
echo "  package: $(($(stat -c %s "$work/package.zip") >> 20)) MiB, $entries entries"

declare -A times
run_tool() {
  local tool=$1 dest="$work/out-$1"
  rm -rf "$dest"
  mkdir -p "$dest"
  sync
  local start end
  start=$(date +%s%N)
  case $tool in
    ours) "$ours" "$work/package.zip" "$dest" ;;
    unzip) unzip -q -o "$work/package.zip" -d "$dest" ;;
    7z) 7z x -y -bd -bso0 -bsp0 -o"$dest" "$work/package.zip" ;;
  esac
  end=$(date +%s%N)
  times[$tool]+="$(((end - start) / 1000000)) "
  rm -rf "$dest"
}

# Check once that ours writes what unzip writes.
"$ours" "$work/package.zip" "$work/check-ours"
unzip -q -o "$work/package.zip" -d "$work/check-unzip"
diff -r "$work/check-ours" "$work/check-unzip" >/dev/null || { echo "outputs differ" >&2; exit 1; }
rm -rf "$work/check-ours" "$work/check-unzip"

orders=("ours unzip 7z" "unzip 7z ours" "7z ours unzip")
for ((round = 0; round < rounds; round++)); do
  for tool in ${orders[round % 3]}; do
    run_tool "$tool"
  done
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ours_ms=$(echo "${times[ours]}" | median)
echo
printf '%-6s %-22s %s\n' tool "runs (ms)" "median / ours"
for tool in ours unzip 7z; do
  m=$(echo "${times[$tool]}" | median)
  printf '%-6s %-22s %s ms, %s x ours\n' "$tool" "${times[$tool]}" "$m" \
    "$(awk -v a="$m" -v b="$ours_ms" 'BEGIN {printf "%.2f", a / b}')"
done
