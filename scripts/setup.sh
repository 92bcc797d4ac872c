#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine needs to build and test the suite. Safe to run again.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config git ccache
  libsqlite3-dev sqlite3 libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  unixodbc-dev libsqliteodbc odbc-postgresql postgresql mariadb-server odbc-mariadb
  qt6-base-dev xvfb xauth fonts-dejavu-core
  mdbtools-dev libgsf-1-dev mdbtools
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
