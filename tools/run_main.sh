#!/usr/bin/env bash
# The main job on the shipped defaults: builds the tree, installs Skyvane
# Weather into a fresh device root (out/device, or SKYVANE_ROOT), starts the
# feed simulator on a free loopback port and points the weather service at
# it, adds three cities (one by name from the installed city database, one by
# its code, one through the online city search), updates them through the UI
# program and shows their forecast, as a person would type it.
#
#   tools/run_main.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/tools/build.sh"

# A fresh device.
export SKYVANE_ROOT=${SKYVANE_ROOT:-$top/out/device}
rm -rf "$SKYVANE_ROOT"
mkdir -p "$SKYVANE_ROOT"
skyvane="$build/bin/skyvane"

# Shows a command as typed (words with blanks or % quoted), then runs it.
run() {
  local shown="skyvane" word
  for word in "$@"; do
    case "$word" in *[[:space:]%]*) shown+=" '$word'" ;; *) shown+=" $word" ;; esac
  done
  echo
  echo "\$ $shown"
  "$skyvane" "$@"
}

run install

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# The simulator knows every city of the database, from the list the database
# builder writes (local times follow from the longitude).
python3 "$build/bin/feedsim.py" --port 0 --port-file "$work/port" --cities "$top/data/citydb/cities.tsv" \
  > "$work/feedsim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/port" ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then cat "$work/feedsim.log" >&2; exit 1; fi
  sleep 0.1
done
[ -s "$work/port" ] || { echo "the feed simulator did not start" >&2; cat "$work/feedsim.log" >&2; exit 1; }
host="127.0.0.1:$(cat "$work/port")"
echo
echo "The feed simulator answers on $host; the weather service's four hosts point there:"
for value in RelayHostA RelayHostB FeedHost SearchHost; do
  "$build/bin/skyvane-reg" set 'HKCU\Software\Skyvane\Weather' "$value" sz "$host"
done
echo "  skyvane-reg set 'HKCU\\Software\\Skyvane\\Weather' RelayHostA|RelayHostB|FeedHost|SearchHost sz $host"

run city add Moscow
run city add UKXX0085
run city add --online Tokyo
run update
run show all --days 3
run show --line '%i %t %c, %a'
run city list
