# Shared locations of the build scripts; sourced, not run.
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Cross-built dependencies live outside the source tree, keyed by version
# stamps inside, so that a fresh clone reuses them.
deps_cache="${TAVORO_DEPS_CACHE:-$HOME/.cache/tavoro-launcher}"
deps_prefix="$deps_cache/mingw-i686"
mingw_toolchain="$repo_root/cmake/mingw-i686.cmake"
