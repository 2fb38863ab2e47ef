#!/usr/bin/env bash
# The main job on the shipped defaults: builds, prepares a device root and
# shows the device's registry.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/tools/build.sh"
export SKYVANE_ROOT=${SKYVANE_ROOT:-$top/out/device}
mkdir -p "$SKYVANE_ROOT"
"$build/bin/skyvane-reg" list -r
