#!/usr/bin/env bash
# Installs what building, running and testing Skyvane Weather needs on a fresh
# Debian machine. Run as root (or through sudo).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-dev
  libsqlite3-dev libpugixml-dev zlib1g-dev libzip-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3 nginx-light tinyproxy
  libcairo2-dev libpango1.0-dev libpng-dev libsdl2-dev
  fonts-dejavu-core fonts-dejavu-extra fonts-wqy-microhei
  xvfb xauth xdg-utils libx11-dev libxtst-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The packaged nginx starts a system service on install; the tests start their
# own servers on free loopback ports and need none.
if command -v systemctl >/dev/null 2>&1; then systemctl stop nginx tinyproxy >/dev/null 2>&1 || true; fi
echo "setup: all packages present"
