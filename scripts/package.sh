#!/usr/bin/env bash
# Builds build/ and makes the Debian package from it:
#   bash scripts/package.sh [OUTPUT_FOLDER]     (default build/package)
# prints the path of the .deb on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/package}"
bash scripts/build.sh >/dev/null
mkdir -p "$out"
rm -f "$out"/*.deb
cpack --config build/CPackConfig.cmake -G DEB -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  echo "package: cpack failed (log above)" >&2
  exit 1
}
debs=("$out"/*.deb)
[ -f "${debs[0]}" ] || { echo "package: cpack made no .deb in $out" >&2; exit 1; }
echo "${debs[0]}"
