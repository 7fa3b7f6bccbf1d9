#!/usr/bin/env bash
# Builds launcher.exe and tavoro-publish.exe as they were at COMMIT of this
# repository, for the tests that check what is released now against
# launchers players already have. Each commit is built once per machine and
# kept beside the cross-built dependencies; prints the folder holding both.
#
#   scripts/build-earlier-launcher.sh COMMIT
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=scripts/paths.sh
source "$here/paths.sh"

commit="$(git -C "$repo_root" rev-parse --verify "${1:?usage: build-earlier-launcher.sh COMMIT}^{commit}")"
out="$deps_cache/earlier-launchers/$commit"
mkdir -p "$deps_cache/earlier-launchers"

# Parallel test workers may ask at once: one builds, the others wait.
exec 9>"$out.lock"
flock 9
if [ ! -f "$out/launcher.exe" ] || [ ! -f "$out/tavoro-publish.exe" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  git -C "$repo_root" archive "$commit" | tar -x -C "$work"
  (
    cd "$work"
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target launcher tavoro_publish >"$work/build.log" 2>&1 ||
      { tail -n 30 "$work/build.log" >&2; exit 1; }
  )
  mkdir -p "$out.partial"
  cp "$work/build/win32/launcher.exe" "$work/build/win32/tavoro-publish.exe" "$out.partial/"
  rm -rf "$out"
  mv "$out.partial" "$out"
fi
echo "$out"
