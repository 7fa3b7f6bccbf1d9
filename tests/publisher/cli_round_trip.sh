#!/usr/bin/env bash
# tavoro-publish as a publisher calls it: --help, a bad call, and keygen,
# pack and verify on a small folder made here.
#
#   tests/publisher/cli_round_trip.sh path/to/tavoro-publish
set -euo pipefail

tool=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/publish-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# Runs the tool; its status goes to $status, its stderr to $work/err.
try() {
  set +e
  "$tool" "$@" >"$work/out" 2>"$work/err"
  status=$?
  set -e
}

try --help
[ "$status" -eq 0 ] || fail "--help exits $status"
for command in keygen pubkey stamp pack verify serve; do
  grep -q "^  tavoro-publish $command --" "$work/out" || fail "--help does not show $command"
done
grep -q "^  tavoro-publish show FILE$" "$work/out" || fail "--help does not show show"
try frobnicate
[ "$status" -eq 2 ] || fail "an unknown command exits $status"
grep -q '^usage: tavoro-publish {keygen|pubkey|stamp|show|pack|verify|serve}' "$work/err" || fail "no usage line"

mkdir -p "$work/game/资料"
printf 'MZ new launcher' >"$work/game/新启动器.exe"
head -c 200000 /dev/urandom >"$work/game/资料/data.bin"
try keygen --secret "$work/secret.key"
[ "$status" -eq 0 ] || fail "keygen: $(cat "$work/err")"
key=$(cat "$work/out")
try pack --from "$work/game" --launcher 新启动器.exe --version 6.0 \
  --url http://example.com/pkg/update-6.0.zip --secret "$work/secret.key" --out "$work/out-dir" \
  --note "first line" --note "second line"
[ "$status" -eq 0 ] || fail "pack: $(cat "$work/err")"
[ "$(ls "$work/out-dir" | tr '\n' ' ')" = "update-6.0.zip version.html " ] ||
  fail "pack wrote: $(ls "$work/out-dir")"
grep -q '<p>程序标题=新启动器.exe</p>' "$work/out-dir/version.html" || fail "no launcher on the page"

try verify --page "$work/out-dir/version.html" --package "$work/out-dir/update-6.0.zip" \
  --public-key "$key"
[ "$status" -eq 0 ] && grep -q '^OK: ' "$work/out" || fail "verify: $(cat "$work/err")"
try keygen --secret "$work/other.key"
try verify --page "$work/out-dir/version.html" --package "$work/out-dir/update-6.0.zip" \
  --public-key "$(cat "$work/out")"
[ "$status" -eq 1 ] && grep -q 'does not match' "$work/err" || fail "another key: status $status"

# A page relabelled after signing: refused, naming the signature's field.
sed 's/最新版本=6.0/最新版本=9.9/' "$work/out-dir/version.html" >"$work/relabelled.html"
try verify --page "$work/relabelled.html" --package "$work/out-dir/update-6.0.zip" \
  --public-key "$key"
[ "$status" -eq 1 ] && grep -q '(更新签名=) does not match the page' "$work/err" ||
  fail "a relabelled page: status $status, $(cat "$work/err")"

# Stamping the tool itself must find no settings block in it.
! grep -qaE 'tavoro-update-settings/[12]' "$tool" || fail "the tool's binary holds a block tag"
echo "tavoro-publish: help, usage, keygen, pack and verify work as called"
