#!/usr/bin/env bash
# fuzz/run.sh TARGET SECONDS: builds the libFuzzer tree (clang, sanitizers) in
# build-fuzz/ if needed and fuzzes TARGET for SECONDS on one core. Seeds come
# from fuzz/corpus/<area>/ and every kept crash in fuzz/regressions/<area>/ is
# replayed first; new findings land in fuzz/corpus-work/ (not committed).
# The area is the target's name without its "_fuzz" ending.
set -euo pipefail
target=${1:?usage: fuzz/run.sh TARGET SECONDS}
seconds=${2:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$top/build-fuzz}
area=${target%_fuzz}
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSKYVANE_FUZZ=ON -DSKYVANE_TESTS=OFF -DSKYVANE_BENCH=OFF >/dev/null
fi
ninja -C "$build" "$target" >/dev/null
work="$top/fuzz/corpus-work/$area"
mkdir -p "$work"
seeds=()
[ -d "$top/fuzz/corpus/$area" ] && seeds+=("$top/fuzz/corpus/$area")
if [ -d "$top/fuzz/regressions/$area" ] && [ -n "$(ls -A "$top/fuzz/regressions/$area")" ]; then
  echo "fuzz: replaying kept crashes of $target"
  "$build/bin/$target" "$top/fuzz/regressions/$area"/* >/dev/null 2>&1 || {
    echo "fuzz: $target crashes again on a kept input"; exit 1; }
fi
echo "fuzz: $target for ${seconds}s"
ASAN_OPTIONS=detect_leaks=1 "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/" -print_final_stats=1 "$work" "${seeds[@]}" 2>"$work/log.txt" || {
  tail -n 40 "$work/log.txt"; echo "fuzz: $target found a crash (input kept in $work)"; exit 1; }
grep -aE 'stat::number_of_executed_units|Done' "$work/log.txt" | tail -n 2 || true
