#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Safe to run again: packages that are already present are skipped.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libplist-dev libssl-dev libsqlite3-dev libcurl4-openssl-dev
  libpsl-dev libpsl5 publicsuffix
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  libcli11-dev nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps
  xdotool netpbm dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  clang libclang-rt-14-dev clang-format
  procps
  pkexec
  libcanberra-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  SUDO=(sudo)
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
