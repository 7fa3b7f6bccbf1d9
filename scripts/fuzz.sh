#!/usr/bin/env bash
# Builds the libFuzzer harnesses (CMake preset `fuzz`), replays every seed of
# fuzz/corpus/<harness>/, then fuzzes each harness for SECONDS (default 60),
# two at a time.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
#
# Seeds listed in fuzz/known-failures.txt reproduce faults not mended yet:
# they are expected to fail, and a run that fails the same way (the same
# broken promise or kind of error) is reported as known, not failed, and
# goes on for the rest of its time.
# A run starts from the seeds and from what earlier runs kept in
# build/fuzz/corpus/<harness>/; an input that fails is saved in
# build/fuzz/crashes/<harness>/, the logs in build/fuzz/logs/. The exit status
# is non-zero when a replay or a run fails in a way not listed.
set -uo pipefail
cd "$(dirname "$(readlink -f "$0")")/.." || exit 1

seconds="${1:-60}"
shift $(($# > 0 ? 1 : 0))
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS] [HARNESS...]" >&2
  exit 2
fi
build="$PWD/build/fuzz"
# Well under the 2 GiB a 32-bit process can address: a picture or archive
# that needs more fails here as it would in launcher.exe.
limits=(-rss_limit_mb=512 -malloc_limit_mb=256 -timeout=10)

mkdir -p "$build/logs"
if ! { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j2 >"$build/logs/build.log" 2>&1; }; then
  echo "fuzz: the harnesses did not build" >&2
  tail -30 "$build/logs/build.log" >&2
  exit 1
fi

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  mapfile -t harnesses < <(ls fuzz/corpus)
fi

mapfile -t known < <(sed -e 's/#.*//' fuzz/known-failures.txt 2>/dev/null | awk 'NF {print $1}')
is_known() {
  local path
  for path in "${known[@]}"; do
    [ "$path" = "$1" ] && return 0
  done
  return 1
}

# How a run failed: the broken promise, else the kind of error.
failure_of() {
  grep -m1 -oE "broken promise: .*|ERROR: [A-Za-z]+: [a-z-]+|runtime error: .*" "$1"
}

# The harness scratch folders (unpacking, INI files) go below the build tree.
export TMPDIR="$build/tmp"
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

failed=0
declare -A known_failures  # harness -> the failures of its listed seeds, one a line
echo "fuzz: replaying the seeds"
for harness in "${harnesses[@]}"; do
  seeds=()
  for file in fuzz/corpus/"$harness"/*; do
    if ! is_known "$file"; then
      seeds+=("$file")
      continue
    fi
    log="$build/logs/$harness.$(basename "$file").log"
    if "$build/bin/$harness" "${limits[@]}" "$file" >"$log" 2>&1; then
      echo "note  $file passes now: remove its line from fuzz/known-failures.txt"
    else
      known_failures[$harness]+="$(failure_of "$log")"$'\n'
    fi
  done
  log="$build/logs/$harness.replay.log"
  # Without inputs a harness would fuzz instead of replaying.
  if [ ${#seeds[@]} -eq 0 ]; then
    echo "ok    $harness: no seeds besides listed failures"
  elif "$build/bin/$harness" "${limits[@]}" "${seeds[@]}" >"$log" 2>&1; then
    echo "ok    $harness: ${#seeds[@]} seeds"
  else
    echo "FAIL  $harness replay (log: ${log#"$PWD/"})"
    grep -E "^Running:|broken promise|ERROR|runtime error|SUMMARY" "$log" | tail -4
    failed=1
  fi
done

[ "$seconds" -gt 0 ] || exit $failed

# Fuzzes one harness for `seconds`; after a listed fault it starts again for
# the time left, so the rest of the code still gets its share.
fuzz_one() {
  local harness="$1" work="$build/corpus/$1" crashes="$build/crashes/$1/"
  local log="$build/logs/$harness.log" part="$build/logs/$harness.part.log"
  local seed deadline=$((SECONDS + seconds)) runs=0 failure times first status executed
  local -A known_found  # failure -> "times first-second"
  mkdir -p "$work" "$crashes"
  for seed in fuzz/corpus/"$harness"/*; do
    is_known "$seed" || cp "$seed" "$work/seed-$(basename "$seed")"
  done
  : >"$log"
  while [ $SECONDS -lt $deadline ]; do
    "$build/bin/$harness" "${limits[@]}" -max_total_time=$((deadline - SECONDS)) \
      -print_final_stats=1 -artifact_prefix="$crashes" "$work" >"$part" 2>&1
    status=$?
    cat "$part" >>"$log"
    executed="$(sed -n 's/^stat::number_of_executed_units: *//p' "$part" | tail -1)"
    runs=$((runs + ${executed:-0}))
    [ $status -eq 0 ] && break
    failure="$(failure_of "$part")"
    if [ -z "$failure" ] || ! grep -qxF -- "$failure" <<<"${known_failures[$harness]:-}"; then
      echo "FAIL  $harness: ${failure:-see the log} (log: ${log#"$PWD/"}," \
        "input in ${crashes#"$PWD/"})"
      return 1
    fi
    read -r times first <<<"${known_found[$failure]:-0 $((seconds - (deadline - SECONDS)))}"
    known_found[$failure]="$((times + 1)) $first"
  done
  echo "ok    $harness: $runs runs, $(find "$work" -type f | wc -l) inputs kept"
  for failure in "${!known_found[@]}"; do
    read -r times first <<<"${known_found[$failure]}"
    echo "known $harness: a listed fault found $times times, first after $first s: $failure" \
      "(inputs in ${crashes#"$PWD/"})"
  done
}

echo "fuzz: $seconds s per harness, two at a time"
running=0
for harness in "${harnesses[@]}"; do
  if [ $running -ge 2 ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  fuzz_one "$harness" &
  running=$((running + 1))
done
while [ $running -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
rm -rf "$TMPDIR"
exit $failed
