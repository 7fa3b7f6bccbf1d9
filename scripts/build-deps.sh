#!/usr/bin/env bash
# Cross-builds libjpeg-turbo, libpng, libzip and libsodium for win32 (static) from the
# distribution's source packages into $deps_prefix. Each library leaves a
# stamp with the source version it was built from; a stamped library is
# not built again.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/paths.sh
source "$here/paths.sh"

# Bump when the build flags below change, so cached builds are redone.
recipe=1
codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
work="$deps_cache/src"
mkdir -p "$deps_prefix" "$work"

stamp_of() { echo "$deps_prefix/.built-$1-r$recipe"; }

# Fetches and unpacks (with Debian's patches) the source package; prints its folder.
fetch_source() {
  local pkg="$1"
  (cd "$work" && rm -rf "$pkg"-* "$pkg"_* && apt-get source -qq "$pkg/$codename" >/dev/null 2>&1) || {
    echo "build-deps: apt-get source $pkg/$codename failed" >&2
    return 1
  }
  find "$work" -maxdepth 1 -mindepth 1 -type d -name "*-[0-9]*" | grep -E "/(${2})-[0-9]" | head -n1
}

cmake_cross() {
  local src="$1"; shift
  local build="$src/_build-mingw"
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$mingw_toolchain" -DTAVORO_DEPS_PREFIX="$deps_prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps_prefix" \
    -DBUILD_SHARED_LIBS=OFF "$@" >"$build.log" 2>&1 &&
    cmake --build "$build" -j"$(nproc)" >>"$build.log" 2>&1 &&
    cmake --install "$build" >>"$build.log" 2>&1 || {
    echo "build-deps: building $src failed; see $build.log" >&2
    tail -n 30 "$build.log" >&2
    return 1
  }
}

# libsodium's source package has no generated configure script.
autotools_cross() {
  local src="$1"; shift
  local log="$src.log"
  (cd "$src" && autoreconf -fi && ./configure --host=i686-w64-mingw32 --prefix="$deps_prefix" \
    --disable-shared --enable-static "$@" && make -j"$(nproc)" && make install) >"$log" 2>&1 || {
    echo "build-deps: building $src failed; see $log" >&2
    tail -n 30 "$log" >&2
    return 1
  }
}

build_one() {
  local pkg="$1" dirpat="$2"; shift 2
  if compgen -G "$(stamp_of "$pkg")" >/dev/null; then return 0; fi
  echo "build-deps: building $pkg for win32 (once; cached in $deps_prefix)"
  local src
  src="$(fetch_source "$pkg" "$dirpat")"
  [ -n "$src" ] || { echo "build-deps: no source folder for $pkg" >&2; return 1; }
  if [ -f "$src/CMakeLists.txt" ]; then cmake_cross "$src" "$@"; else autotools_cross "$src" "$@"; fi
  basename "$src" >"$(stamp_of "$pkg")"
  rm -rf "$src"
}

build_one libjpeg-turbo 'libjpeg-turbo' \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF
build_one libpng1.6 'libpng1.6' \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY=/usr/i686-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include
build_one libzip 'libzip' \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF \
  -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DBUILD_OSSFUZZ=OFF \
  -DZLIB_LIBRARY=/usr/i686-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include
build_one libsodium 'libsodium' --disable-pie --without-pthreads
