#!/usr/bin/env bash
# Packs one update-sized game folder (the unpack benchmark's: about 2,000
# files, ~190 MiB, mixed compressibility) with tavoro-publish pack (ZIP,
# signature and page) and with Info-ZIP zip -r (deflate at the same default
# level), alternating over a few rounds, and prints each one's median wall
# time and the ratio pack / zip.
#
#   bench/publish_bench.sh [rounds]      (default 3)
set -euo pipefail

rounds=${1:-3}
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
make_work_dir publish-bench

# The tool, optimised.
tool="$(build_bench_target tavoro-publish)/tavoro-publish"
"$tool" keygen --secret "$work/secret.key" >/dev/null 2>&1

echo "generating the folder ..."
make_bench_tree "$work/tree"
printf 'MZ' >"$work/tree/launcher.exe"

declare -A times
run_tool() {
  local tool_name=$1 dest="$work/out-$1"
  rm -rf "$dest"
  mkdir -p "$dest"
  sync
  local ms
  case $tool_name in
    pack)
      ms=$(elapsed_ms "$tool" pack --from "$work/tree" --launcher launcher.exe --version 5.1 \
        --url http://example.com/update.zip --secret "$work/secret.key" --out "$dest" 2>/dev/null)
      ;;
    zip) ms=$(cd "$work/tree" && elapsed_ms zip -q -r "$dest/update.zip" .) ;;
  esac
  times[$tool_name]+="$ms "
  sizes[$tool_name]=$(stat -c %s "$dest/update.zip")
  rm -rf "$dest"
}

declare -A sizes
run_rounds "$rounds" "pack zip" "zip pack"

pack_ms=$(echo "${times[pack]}" | median_of)
zip_ms=$(echo "${times[zip]}" | median_of)
echo
printf '%-5s %-22s %-10s %s\n' tool "runs (ms)" median "package"
for tool_name in pack zip; do
  printf '%-5s %-22s %-10s %s MiB\n' "$tool_name" "${times[$tool_name]}" \
    "$(echo "${times[$tool_name]}" | median_of) ms" "$((${sizes[$tool_name]} >> 20))"
done
echo "ratio pack / zip: $(ratio_of "$pack_ms" "$zip_ms")"
