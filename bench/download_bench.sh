#!/usr/bin/env bash
# Fetches a 256 MiB file from nginx on loopback with the launcher's download
# engine and with curl, alternating over a few rounds, over http and then
# over https (a certificate of the tests' own authority, which both are told
# to trust), and prints for each each one's median wall time, the ratio
# engine/curl and each one's peak memory.
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
free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port=$(free_port)
secure_port=$(free_port)
authority="$work/authority"
"$(dirname "$0")/../tests/tls/make-test-authority.sh" "$authority"
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
  server {
    listen 127.0.0.1:$port;
    listen 127.0.0.1:$secure_port ssl;
    ssl_certificate $authority/localhost.pem;
    ssl_certificate_key $authority/server.key;
    root $work/www;
  }
}
CONF
nginx -e "$work/error.log" -c "$work/nginx.conf" -p "$work/" &
nginx_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.05
done

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

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# One side-by-side comparison: <label> <address> <ratio goal> [CA file].
compare() {
  local label=$1 url=$2 goal=$3 ca=${4:-}
  local engine_log="$work/$label-engine.log" curl_log="$work/$label-curl.log"
  local engine=("$ours" "$url" "$work/out/pkg.zip.tmp") curl=(curl -s -o "$work/out/pkg.zip.tmp")
  if [ -n "$ca" ]; then
    engine+=("$ca")
    curl+=(--cacert "$ca")
  fi
  curl+=("$url")
  echo "$label: 256 MiB from nginx on loopback, $rounds rounds, alternating order"
  for round in $(seq "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then
      measure engine "$engine_log" "${engine[@]}"
      measure curl "$curl_log" "${curl[@]}"
    else
      measure curl "$curl_log" "${curl[@]}"
      measure engine "$engine_log" "${engine[@]}"
    fi
  done
  local engine_s curl_s engine_kb curl_kb
  engine_s=$(cut -d' ' -f1 "$engine_log" | median)
  curl_s=$(cut -d' ' -f1 "$curl_log" | median)
  engine_kb=$(cut -d' ' -f2 "$engine_log" | sort -n | tail -1)
  curl_kb=$(cut -d' ' -f2 "$curl_log" | sort -n | tail -1)
  printf '  engine: median %.3f s, peak RSS %d KiB\n' "$engine_s" "$engine_kb"
  printf '  curl:   median %.3f s, peak RSS %d KiB\n' "$curl_s" "$curl_kb"
  printf '  wall-time ratio engine/curl: %.2f (goal <= %s); engine peak memory %.1f MiB (goal <= 16)\n' \
    "$(echo "$engine_s / $curl_s" | bc -l)" "$goal" "$(echo "$engine_kb / 1024" | bc -l)"
}

compare http "http://127.0.0.1:$port/pkg.zip" 1.00
# By the name the certificate is made for.
compare https "https://localhost:$secure_port/pkg.zip" 1.10 "$authority/ca.pem"
