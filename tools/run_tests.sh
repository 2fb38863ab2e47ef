#!/usr/bin/env bash
# Builds everything and runs every test: the bounded fuzz runs first, then the
# whole CTest suite (unit and integration tests, which start their own servers
# on loopback).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/tools/build.sh"
if [ -x "$top/fuzz/run.sh" ] && [ "${SKYVANE_SKIP_FUZZ:-0}" != 1 ]; then
  for target in $(sed -n 's/^ *skyvane_fuzz_target(\([A-Za-z0-9_]*\).*/\1/p' "$top"/fuzz/*.cmake 2>/dev/null); do
    "$top/fuzz/run.sh" "$target" "${SKYVANE_FUZZ_SECONDS:-60}"
  done
fi
cd "$build"
ctest -j"$(nproc)" --output-on-failure --timeout 300
