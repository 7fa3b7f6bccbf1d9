#!/usr/bin/env bash
# Fetches a 256 MiB file from nginx on loopback with the launcher's download
# engine, with the engine and the signature check of a signed package, and
# with curl, alternating over a few rounds, and prints each one's median
# wall time, the ratios to curl and each one's peak memory.
#
#   bench/download_bench.sh [rounds]      (default 5)
set -euo pipefail

rounds=${1:-5}
# shellcheck source=bench/lib.sh
source "$(dirname "$0")/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/download-bench.XXXXXX")
nginx_pid=
cleanup() {
  [ -z "$nginx_pid" ] || { kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

# The engine, optimised.
ours="$work/download_bench"
build_bench_driver download_bench "$ours"

mkdir -p "$work/www" "$work/temp" "$work/out"
head -c $((256 * 1024 * 1024)) /dev/urandom >"$work/www/pkg.zip"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
error_log $work/error.log warn;
pid $work/nginx.pid;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  default_type application/octet-stream;
  client_body_temp_path $work/temp/body;
  proxy_temp_path $work/temp/proxy;
  fastcgi_temp_path $work/temp/fastcgi;
  uwsgi_temp_path $work/temp/uwsgi;
  scgi_temp_path $work/temp/scgi;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
nginx -e "$work/error.log" -c "$work/nginx.conf" -p "$work/" &
nginx_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.05
done
url="http://127.0.0.1:$port/pkg.zip"
read -r public_key signature < <("$ours" sign "$work/www/pkg.zip")

# Runs one fetch under /usr/bin/time; appends "seconds kilobytes" to $2.
measure() {
  local name=$1 log=$2
  shift 2
  rm -f "$work/out/"*
  local started ended
  started=$(date +%s.%N)
  /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null
  ended=$(date +%s.%N)
  cmp -s "$work/www/pkg.zip" "$work/out/pkg.zip.tmp" || { echo "$name: file differs" >&2; exit 1; }
  local rss
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
  echo "$(echo "$ended - $started" | bc -l) $rss" >>"$log"
}

echo "256 MiB from nginx on loopback, $rounds rounds, rotating order"
run_engine() { measure engine "$work/engine.log" "$ours" "$url" "$work/out/pkg.zip.tmp"; }
run_signed() {
  measure signed "$work/signed.log" "$ours" "$url" "$work/out/pkg.zip.tmp" "$public_key" "$signature"
}
run_curl() { measure curl "$work/curl.log" curl -s -o "$work/out/pkg.zip.tmp" "$url"; }
for round in $(seq "$rounds"); do
  case $((round % 3)) in
    1) run_engine; run_signed; run_curl ;;
    2) run_signed; run_curl; run_engine ;;
    0) run_curl; run_engine; run_signed ;;
  esac
done

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
engine_s=$(cut -d' ' -f1 "$work/engine.log" | median)
signed_s=$(cut -d' ' -f1 "$work/signed.log" | median)
curl_s=$(cut -d' ' -f1 "$work/curl.log" | median)
engine_kb=$(cut -d' ' -f2 "$work/engine.log" | sort -n | tail -1)
signed_kb=$(cut -d' ' -f2 "$work/signed.log" | sort -n | tail -1)
curl_kb=$(cut -d' ' -f2 "$work/curl.log" | sort -n | tail -1)
printf 'engine:          median %.3f s, peak RSS %d KiB\n' "$engine_s" "$engine_kb"
printf 'engine + check:  median %.3f s, peak RSS %d KiB\n' "$signed_s" "$signed_kb"
printf 'curl:            median %.3f s, peak RSS %d KiB\n' "$curl_s" "$curl_kb"
printf 'wall-time ratio engine/curl: %.2f (goal <= 1.00); engine peak memory %.1f MiB (goal <= 16)\n' \
  "$(echo "$engine_s / $curl_s" | bc -l)" "$(echo "$engine_kb / 1024" | bc -l)"
printf 'wall-time ratio engine with signature check/curl: %.2f (goal <= 1.15); peak memory %.1f MiB (goal <= 16)\n' \
  "$(echo "$signed_s / $curl_s" | bc -l)" "$(echo "$signed_kb / 1024" | bc -l)"
