#!/usr/bin/env bash
# The update's two heavy steps side by side: the download (engine vs curl,
# 256 MiB from nginx on loopback) and the unpack (ours vs unzip -o vs 7z x),
# run one after the other; prints each one's output, then one summary of
# their ratio lines.
#
#   bench/update_bench.sh [download rounds] [unzip rounds]   (defaults 5 and 3)
set -euo pipefail

bench_dir=$(cd "$(dirname "$0")" && pwd)
download_log=$(mktemp "${TMPDIR:-/tmp}/update-bench-download.XXXXXX")
unzip_log=$(mktemp "${TMPDIR:-/tmp}/update-bench-unzip.XXXXXX")
trap 'rm -f "$download_log" "$unzip_log"' EXIT

echo "== download =="
"$bench_dir/download_bench.sh" "${1:-5}" | tee "$download_log"
echo
echo "== unpack =="
"$bench_dir/unzip_bench.sh" "${2:-3}" | tee "$unzip_log"

echo
echo "== summary =="
grep -E '^https?:|ratio to curl' "$download_log" | sed 's/^/download  /'
grep -E '^(ours|unzip|7z) ' "$unzip_log" | sed 's/^/unpack    /'
