#!/usr/bin/env bash
# Installs what building Tarnwick needs (Debian packages) and builds it.
# Sourced by run.sh and test.sh; safe to run again and again.
set -euo pipefail

TARNWICK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TARNWICK_BUILD="${TARNWICK_BUILD:-$TARNWICK_ROOT/build}"

tarnwick_packages=(
  cmake build-essential ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev
  fontconfig fonts-dejavu-core
)

tarnwick_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "tarnwick: need root rights for: $*" >&2
    echo "tarnwick: run this script as root, or install sudo" >&2
    exit 1
  fi
}

tarnwick_install() {
  local missing=()
  for p in "${tarnwick_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "==> Packages: all present"
    return
  fi
  echo "==> Installing Debian packages: ${missing[*]}"
  tarnwick_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  tarnwick_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

tarnwick_build() {
  echo "==> Configuring in $TARNWICK_BUILD"
  cmake -S "$TARNWICK_ROOT" -B "$TARNWICK_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  echo "==> Building"
  cmake --build "$TARNWICK_BUILD" --parallel
}
