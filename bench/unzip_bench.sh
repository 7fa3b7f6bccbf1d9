#!/usr/bin/env bash
# Unpacks one update-sized package (about 2,000 files, ~190 MiB unpacked,
# mixed compressibility, made by Info-ZIP zip) over a game folder that holds
# the previous version of every file, with the launcher's unpacker (staged,
# then applied at once), the unpacker of an earlier revision (each entry
# written straight into place; TAVORO_BENCH_BASELINE, default bf6a617),
# Info-ZIP unzip and 7z, alternating over a few rounds, and prints each
# tool's median time and the ratios to ours.
#
#   bench/unzip_bench.sh [rounds]      (default 3)
set -euo pipefail

rounds=${1:-3}
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
make_work_dir unzip-bench

# Our unpacker, optimised.
ours="$work/unzip_bench"
build_bench_driver unzip_bench "$ours"

# The earlier one, built the same way from its own checkout.
source_dir=$(cd "$(dirname "$0")/.." && pwd)
baseline_rev=${TAVORO_BENCH_BASELINE:-bf6a617}
before="$work/unzip_bench_before"
echo "building the unpacker of $baseline_rev ..."
git -C "$source_dir" worktree add --detach "$work/before-src" "$baseline_rev" >/dev/null 2>&1
# Its own lib.sh, not this one.
# shellcheck source=/dev/null
(cd "$work/before-src" && source bench/lib.sh && build_bench_driver unzip_bench "$before")
git -C "$source_dir" worktree remove --force "$work/before-src"

echo "generating the package ..."
make_bench_tree "$work/tree"
# The version before: the same names, other bytes of the same sizes.
cp -r "$work/tree" "$work/previous"
find "$work/previous" -type f -exec sh -c 'head -c "$(stat -c %s "$1")" /dev/zero > "$1"' _ {} \;
(cd "$work/tree" && zip -q -r "$work/package.zip" .)
entries=$(zipinfo -1 "$work/package.zip" | wc -l)
echo "  package: $(($(stat -c %s "$work/package.zip") >> 20)) MiB, $entries entries"

declare -A times
run_tool() {
  local tool=$1 dest="$work/out-$1"
  rm -rf "$dest"
  cp -r "$work/previous" "$dest"
  sync
  local ms
  case $tool in
    ours) ms=$(elapsed_ms "$ours" "$work/package.zip" "$dest") ;;
    before) ms=$(elapsed_ms "$before" "$work/package.zip" "$dest") ;;
    unzip) ms=$(elapsed_ms unzip -q -o "$work/package.zip" -d "$dest") ;;
    7z) ms=$(elapsed_ms 7z x -y -bd -bso0 -bsp0 -o"$dest" "$work/package.zip") ;;
  esac
  times[$tool]+="$ms "
  rm -rf "$dest"
}

# Check once that ours and the earlier one write what unzip writes.
unzip -q -o "$work/package.zip" -d "$work/check-unzip"
for driver in "$ours" "$before"; do
  "$driver" "$work/package.zip" "$work/check-ours"
  diff -r "$work/check-ours" "$work/check-unzip" >/dev/null || { echo "outputs differ" >&2; exit 1; }
  rm -rf "$work/check-ours"
done
rm -rf "$work/check-unzip"

run_rounds "$rounds" "ours before unzip 7z" "before unzip 7z ours" "unzip 7z ours before"

ours_ms=$(echo "${times[ours]}" | median_of)
echo
printf '%-6s %-22s %s\n' tool "runs (ms)" "median / ours"
for tool in ours before unzip 7z; do
  m=$(echo "${times[$tool]}" | median_of)
  printf '%-6s %-22s %s ms, %s x ours\n' "$tool" "${times[$tool]}" "$m" \
    "$(ratio_of "$m" "$ours_ms")"
done
