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
make_bench_tree "$work/tree"
(cd "$work/tree" && zip -q -r "$work/package.zip" .)
entries=$(zipinfo -1 "$work/package.zip" | wc -l)
echo "  package: $(($(stat -c %s "$work/package.zip") >> 20)) MiB, $entries entries"

declare -A times
run_tool() {
  local tool=$1 dest="$work/out-$1"
  rm -rf "$dest"
  mkdir -p "$dest"
  sync
  local ms
  case $tool in
    ours) ms=$(elapsed_ms "$ours" "$work/package.zip" "$dest") ;;
    unzip) ms=$(elapsed_ms unzip -q -o "$work/package.zip" -d "$dest") ;;
    7z) ms=$(elapsed_ms 7z x -y -bd -bso0 -bsp0 -o"$dest" "$work/package.zip") ;;
  esac
  times[$tool]+="$ms "
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

ours_ms=$(echo "${times[ours]}" | median_of)
echo
printf '%-6s %-22s %s\n' tool "runs (ms)" "median / ours"
for tool in ours unzip 7z; do
  m=$(echo "${times[$tool]}" | median_of)
  printf '%-6s %-22s %s ms, %s x ours\n' "$tool" "${times[$tool]}" "$m" \
    "$(awk -v a="$m" -v b="$ours_ms" 'BEGIN {printf "%.2f", a / b}')"
done
