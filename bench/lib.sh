# shellcheck shell=bash
# Sourced by the benchmark scripts.

# Builds the portable logic optimised (one Release tree that the benchmarks
# share) and links the small driver bench/$1.cpp against it into $2, so that
# a benchmark times the launcher's code as it ships, not a debug build.
#   build_bench_driver <driver> <output>
build_bench_driver() {
  local driver=$1 output=$2
  local source_dir build_dir
  source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  build_dir="$source_dir/build/host-bench-release"
  cmake --preset host -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build_dir" --target tavoro_logic >/dev/null
  # shellcheck disable=SC2046
  g++ -O2 -std=c++20 -I"$source_dir" "$source_dir/bench/$driver.cpp" \
    "$source_dir/app/version_page.cpp" -o "$output" \
    "$build_dir/libtavoro_logic.a" $(pkg-config --libs libzip openssl) -lpng -ljpeg -lz -lpthread
}
