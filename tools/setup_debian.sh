#!/usr/bin/env bash
# Installs what building, running and testing Skyvane Weather needs on a fresh
# Debian machine: the packages, the locales the tests format numbers in, and
# the city database generator's node packages. Run as root (or through sudo);
# running it again changes nothing that is already in place.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-dev
  libsqlite3-dev libpugixml-dev zlib1g-dev libzip-dev libcurl4-openssl-dev
  libsystemd-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3 nginx-light tinyproxy nlohmann-json3-dev
  locales iso-codes
  # The Connection Manager's tests: a private D-Bus daemon with NetworkManager
  # and ModemManager mocks, and `ip` to compare the routing answer with.
  dbus-daemon python3-dbusmock iproute2
  libcairo2-dev libpango1.0-dev libpng-dev libsdl2-dev
  fonts-dejavu-core fonts-dejavu-extra fonts-wqy-microhei
  xvfb xauth xdg-utils libx11-dev libxtst-dev
)
# Node for the city database generator. A machine that has node from elsewhere
# (NodeSource's nodejs brings its own npm and conflicts with Debian's) keeps it.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

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

# Locales with a decimal comma: the formatting tests check that the process
# locale never reaches the platform's printf.
generate=0
for name in de_DE ru_RU; do
  if ! locale -a 2>/dev/null | grep -qx "$name.utf8"; then
    if grep -q "^# *$name\.UTF-8 UTF-8" /etc/locale.gen; then
      sed -i "s/^# *\($name\.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    elif ! grep -q "^$name\.UTF-8 UTF-8" /etc/locale.gen; then
      echo "$name.UTF-8 UTF-8" >>/etc/locale.gen
    fi
    generate=1
  fi
done
if [ "$generate" = 1 ]; then locale-gen >/dev/null; fi

# The city database generator's packages, from the npm registry as the
# lockfile pins them; fetched again only when the lockfile changes. They
# belong to whoever ran sudo, like the rest of the tree.
citydb="$top/tools/citydb"
if ! cmp -s "$citydb/package-lock.json" "$citydb/node_modules/.skyvane-installed-lock"; then
  as_owner=()
  if [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then as_owner=(sudo -u "$SUDO_USER" -H); fi
  (cd "$citydb" && "${as_owner[@]}" npm ci --no-audit --no-fund --loglevel=error)
  "${as_owner[@]}" cp "$citydb/package-lock.json" "$citydb/node_modules/.skyvane-installed-lock"
fi
echo "setup: all packages, locales and node packages present"
