#!/usr/bin/env bash
# Renders the pictures of the windows that the README shows into
# docs/screenshots/: the main window at rest and during a download, and the
# about window. Headless (Qt's offscreen platform); safe to run again.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

tarnwick_install
echo "==> Configuring in $TARNWICK_BUILD"
cmake -S "$TARNWICK_ROOT" -B "$TARNWICK_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
echo "==> Building tarnwick-screenshots"
cmake --build "$TARNWICK_BUILD" --target tarnwick-screenshots
echo "==> Rendering into docs/screenshots"
QT_QPA_PLATFORM=offscreen "$TARNWICK_BUILD/tarnwick-screenshots" "$TARNWICK_ROOT/docs/screenshots"
