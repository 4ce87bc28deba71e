#!/usr/bin/env bash
# Installs the Debian 12 packages that build and test the program. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ ccache pkg-config
  libfmt-dev libsqlite3-dev libsodium-dev rapidjson-dev nlohmann-json3-dev uuid-dev
  libsimdjson-dev  # the JSON documents' tokeniser
  libcurl4-openssl-dev libcpp-httplib-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  sqlite3  # the bulk loader that bench/import_quotes.sh measures against
  unixodbc-dev odbcinst tdsodbc  # the ODBC driver's library and a SQL Server client driver
  libsqliteodbc  # an ODBC driver the ODBC tests run against
  dpkg-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev  # the desktop
  xvfb xauth xdotool  # scripts/desktop_screens.sh drives the desktop on a virtual display
  fonts-liberation  # the narrow sans font of the statement window's header rows
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
