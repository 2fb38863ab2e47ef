#!/usr/bin/env bash
# The main job on the shipped defaults: builds the tree, registers the weather
# service library in a fresh device root, installs the city database there,
# starts the feed simulator on a free loopback port, points the service's host
# configuration at it and prints the weather of a city with kweather-probe.
# The plugin library is registered beside it and the UI program installed.
#
#   tools/run_main.sh [CITY_CODE]        (default RSXX0091, Moscow)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
city=${1:-RSXX0091}
"$top/tools/build.sh"

# A fresh device.
export SKYVANE_ROOT=${SKYVANE_ROOT:-$top/out/device}
rm -rf "$SKYVANE_ROOT"
mkdir -p "$SKYVANE_ROOT"
reg="$build/bin/skyvane-reg"
probe="$build/bin/kweather-probe"

echo "== Registering the weather service library and the plugin library"
"$build/bin/skyvane-regsvr" "$build/lib/libKWeather.so"
"$build/bin/skyvane-regsvr" "$build/lib/libSkyvaneWeather.so"
# The UI program where the plugin looks for it.
mkdir -p "$SKYVANE_ROOT/Windows/SkyvaneWeather"
ln -sf "$build/bin/SkyvaneWeatherUI" "$SKYVANE_ROOT/Windows/SkyvaneWeather/SkyvaneWeatherUI"

echo "== Installing the city database"
dbdir="$SKYVANE_ROOT/Storage card/Application Data/SkyvaneWeather"
mkdir -p "$dbdir"
cp "$top/data/citydb/index.txt" "$top/data/citydb/kweather.idx" "$top/data/citydb/kweather.db" "$dbdir/"

echo "== Starting the feed simulator"
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
cat "$work/feedsim.log"

echo "== Pointing the service at $host"
key='HKCU\Software\Skyvane\Weather'
for value in RelayHostA RelayHostB FeedHost SearchHost; do
  "$reg" set "$key" "$value" sz "$host"
done
"$reg" list "$key"

echo "== Countries of the database (first lines) and the cities of Russia beginning with m"
"$probe" countries > "$work/countries.txt"
head -5 "$work/countries.txt"
"$probe" cities Russia m > "$work/cities.txt"
head -5 "$work/cities.txt"

echo "== Searching for \"Moscow\""
"$probe" find Moscow

echo "== The weather of $city"
"$probe" weather "$city" --days 3
