#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and starts it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

tarnwick_install
tarnwick_build -DTARNWICK_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "==> No display: Tarnwick is a desktop program and needs one (DISPLAY or WAYLAND_DISPLAY)."
  exit 0
fi
echo "==> Starting $TARNWICK_BUILD/tarnwick"
exec "$TARNWICK_BUILD/tarnwick"
