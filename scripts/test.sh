#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and runs every test, headless.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

tarnwick_install
tarnwick_build -DTARNWICK_TESTS=ON ${TARNWICK_CMAKE_ARGS:-}
echo "==> Running the tests (Qt offscreen platform)"
cd "$TARNWICK_BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "${TARNWICK_TEST_JOBS:-2}"
echo "==> All tests passed"
