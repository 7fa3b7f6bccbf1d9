#!/usr/bin/env bash
# Fetches a 256 MiB file from nginx on loopback with the launcher's download
# engine and with curl, in turns over a few rounds, over http and then over
# https (a certificate of the tests' own authority, which both are told to
# trust), and prints for each one's median wall time, the ratio engine/curl
# and each one's peak memory. Over http the engine runs a second time as a
# launcher with a key runs it: hashing the package as it arrives and
# checking its signature at the end. A last round fetches the file through a
# relay that breaks the connection three times, against the same relay
# unbroken: bytes the server sent and time, each as a ratio.
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

read -r public_key size digest signature < <("$ours" sign "$work/www/pkg.zip")

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

# Prints one runner's line against curl: <name> <log> <curl seconds> <goal>.
report() {
  local name=$1 log=$2 curl_s=$3 goal=$4 seconds kb
  seconds=$(cut -d' ' -f1 "$log" | median)
  kb=$(cut -d' ' -f2 "$log" | sort -n | tail -1)
  printf '  %-16s median %.3f s, peak RSS %6d KiB' "$name:" "$seconds" "$kb"
  if [ -n "$goal" ]; then
    printf ', ratio to curl %.2f (goal <= %s), peak memory %.1f MiB (goal <= 16)' \
      "$(echo "$seconds / $curl_s" | bc -l)" "$goal" "$(echo "$kb / 1024" | bc -l)"
  fi
  echo
}

# One side-by-side comparison, the runners taking turns to go first:
#   compare <label> <address> <ratio goal> <CA file or ""> [<goal with signature check>]
compare() {
  local label=$1 url=$2 goal=$3 ca=$4 signed_goal=${5:-}
  local engine=("$ours" "$url" "$work/out/pkg.zip.tmp") curl=(curl -s -o "$work/out/pkg.zip.tmp")
  if [ -n "$ca" ]; then
    engine+=(--ca "$ca")
    curl+=(--cacert "$ca")
  fi
  curl+=("$url")
  local runners=(engine curl)
  [ -z "$signed_goal" ] || runners=(engine signed curl)
  echo "$label: 256 MiB from nginx on loopback, $rounds rounds, in turns"
  for round in $(seq "$rounds"); do
    local n=${#runners[@]} i
    for i in $(seq 0 $((n - 1))); do
      local runner=${runners[$(((round + i) % n))]}
      case $runner in
        engine) measure engine "$work/$label-engine.log" "${engine[@]}" ;;
        signed) measure signed "$work/$label-signed.log" "${engine[@]}" \
                  --key "$public_key" --size "$size" --digest "$digest" --signature "$signature" ;;
        curl) measure curl "$work/$label-curl.log" "${curl[@]}" ;;
      esac
    done
  done
  local curl_s
  curl_s=$(cut -d' ' -f1 "$work/$label-curl.log" | median)
  report engine "$work/$label-engine.log" "$curl_s" "$goal"
  [ -z "$signed_goal" ] || report "engine + check" "$work/$label-signed.log" "$curl_s" "$signed_goal"
  report curl "$work/$label-curl.log" "$curl_s" ""
}

compare http "http://127.0.0.1:$port/pkg.zip" 1.00 "" 1.15
# By the name the certificate is made for.
compare https "https://localhost:$secure_port/pkg.zip" 1.10 "$authority/ca.pem"

# Three breaks at a quarter, half and three quarters of the file, relayed by
# bench/break_proxy.py; the unbroken runs go through the same relay. The
# pauses before asking again are left out (0 ms): what is measured is what
# continuing costs; the launcher waits 1 + 2 + 4 s on top for three breaks.
package_size=$(stat -c %s "$work/www/pkg.zip")
relay() {
  local log=$1
  shift
  local relay_port
  relay_port=$(free_port)
  /usr/bin/python3 "$(dirname "$0")/break_proxy.py" "$relay_port" "$port" "$work/relay.txt" "$@" &
  local relay_pid=$!
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$relay_port/" && break
    sleep 0.05
  done
  measure relay "$log" "$ours" "http://127.0.0.1:$relay_port/pkg.zip" "$work/out/pkg.zip.tmp" \
    --pauses 0,0,0,0,0
  kill -TERM "$relay_pid"
  wait "$relay_pid" || true
  read -r _ from_server <"$work/relay.txt"
  echo "$from_server" >>"$log.sent"
}
echo "breaks: 256 MiB through a relay, three breaks against none, $rounds rounds, in turns"
for round in $(seq "$rounds"); do
  if [ $((round % 2)) = 1 ]; then
    relay "$work/unbroken.log"
    relay "$work/broken.log" $((package_size / 4)) $((package_size / 2)) $((package_size * 3 / 4))
  else
    relay "$work/broken.log" $((package_size / 4)) $((package_size / 2)) $((package_size * 3 / 4))
    relay "$work/unbroken.log"
  fi
done
unbroken_s=$(cut -d' ' -f1 "$work/unbroken.log" | median)
broken_s=$(cut -d' ' -f1 "$work/broken.log" | median)
sent=$(sort -n "$work/broken.log.sent" | tail -1)
printf '  unbroken: median %.3f s\n  3 breaks: median %.3f s, time ratio %.2f (goal <= 1.30), ' \
  "$unbroken_s" "$broken_s" "$(echo "$broken_s / $unbroken_s" | bc -l)"
printf 'most sent %d bytes, %.4f x the file (goal <= 1.05)\n' "$sent" \
  "$(echo "$sent / $package_size" | bc -l)"
