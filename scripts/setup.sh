#!/usr/bin/env bash
# Installs what building and testing the launcher needs on a Debian 12 machine,
# and cross-builds the image and ZIP libraries for win32 from the distribution's
# own source packages. Safe to run again: a second run only checks and returns.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/paths.sh
source "$here/paths.sh"

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

apt_packages=(
  # cross compiler and win32 zlib
  g++-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev nasm
  # building source packages
  dpkg-dev cmake ninja-build pkg-config autoconf automake libtool
  # host build: the same libraries natively, and GoogleTest
  g++ libpng-dev libjpeg-dev zlib1g-dev libzip-dev libsodium-dev libgtest-dev
  # running the exe: Wine (32-bit), an X server, CJK font, X tools
  wine wine64 wine32:i386 xvfb xdotool x11-utils imagemagick fonts-wqy-microhei
  # fuzzing: clang with libFuzzer and the sanitizers' runtimes
  clang libclang-rt-14-dev
  # test harness (xdist: the end-to-end ring's parallel workers) and the image generator
  python3 python3-pytest python3-pytest-xdist python3-pil zip unzip
  # the download engine's tests and benchmark: a real web server and a reference client;
  # the host's TLS, and the openssl tool that makes the tests' certificate authority
  nginx curl libssl-dev openssl
  # ZIP archives made by a second tool in the unpacker's tests and benchmark
  p7zip-full
  # the partial update's benchmark compares with a range-based reference client
  zsync
  # a generated zh_CN.UTF-8 locale, so Wine maps Chinese file names to UTF-8
  locales
)

missing_packages() {
  local pkg
  for pkg in "${apt_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || echo "$pkg"
  done
}

ensure_source_entry() {
  local src=/etc/apt/sources.list.d/debian.sources
  local dst=/etc/apt/sources.list.d/debian-src.sources
  [ -f "$dst" ] && return 1
  if [ -f "$src" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$src" | sudo_if_needed tee "$dst" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      sudo_if_needed tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
  return 0
}

install_packages() {
  local need_update=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_if_needed dpkg --add-architecture i386
    need_update=1
  fi
  ensure_source_entry && need_update=1
  local missing
  missing="$(missing_packages)"
  if [ -n "$missing" ] || [ $need_update -eq 1 ]; then
    echo "setup: installing: ${missing//$'\n'/ }"
    sudo_if_needed apt-get update -qq
    # shellcheck disable=SC2086
    [ -z "$missing" ] || DEBIAN_FRONTEND=noninteractive sudo_if_needed \
      apt-get install -y -qq --no-install-recommends $missing >/dev/null
  fi
}

# Wine takes code page 936 from LC_ALL=zh_CN.UTF-8 even without the locale,
# but it converts file names with the Unix locale's charset: without a
# generated locale every Chinese file name (a desktop shortcut, an unpacked
# file) fails to be created.
ensure_chinese_locale() {
  locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$' && return 0
  echo "setup: generating the zh_CN.UTF-8 locale"
  sudo_if_needed sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen ||
    echo 'zh_CN.UTF-8 UTF-8' | sudo_if_needed tee -a /etc/locale.gen >/dev/null
  sudo_if_needed locale-gen >/dev/null
}

install_packages
ensure_chinese_locale
"$here/build-deps.sh"
