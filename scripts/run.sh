#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and starts it.
#
# Without a board: when no USB serial adapter is plugged in and no port is
# pinned as Com 1 (a link build/com1), the simulated target is started and
# attached as "Com 1" for as long as the program runs, so that a download of
# the sample files in samples/ succeeds. TARNWICK_SIM=1 starts it always,
# TARNWICK_SIM=0 never.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

tarnwick_install
tarnwick_build -DTARNWICK_TESTS=OFF

com1="$TARNWICK_BUILD/com1"
samples="$TARNWICK_ROOT/samples"
sim_pid=""

stop_simulator() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
  # The simulator removes its link as it ends; a link left by one that was
  # killed would point at a pseudo-terminal that no longer exists.
  if [ -L "$com1" ] && [ ! -e "$com1" ]; then rm -f "$com1"; fi
}

# Built-in ports (ttyS*) are listed on most PCs and virtual machines whether or
# not anything is connected; a bootloader target is nearly always on a USB
# adapter.
wants_simulator() {
  case "${TARNWICK_SIM:-}" in
    1) return 0 ;;
    0) return 1 ;;
  esac
  [ -e "$com1" ] && return 1
  compgen -G "/dev/ttyUSB*" >/dev/null && return 1
  compgen -G "/dev/ttyACM*" >/dev/null && return 1
  return 0
}

start_simulator() {
  stop_simulator
  if [ -e "$com1" ] || [ -L "$com1" ]; then
    echo "==> $com1 exists and is not a dead link; not starting the simulated target over it"
    return 1
  fi
  "$TARNWICK_BUILD/tarnwick-sim" --link "$com1" >"$TARNWICK_BUILD/tarnwick-sim.log" 2>&1 &
  sim_pid=$!
  trap stop_simulator EXIT
  for _ in $(seq 50); do
    [ -e "$com1" ] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
      echo "==> The simulated target did not start; see $TARNWICK_BUILD/tarnwick-sim.log" >&2
      sim_pid=""
      return 1
    fi
    sleep 0.1
  done
  echo "==> No serial adapter found: the simulated target (tarnwick-sim) is attached as Com 1"
  echo "    ($com1 -> $(readlink "$com1")); it stops when the program ends."
}

# The window reads its settings from its folder; at the first start there is
# no file yet, so it is written here naming the sample files: Com 1, 19200
# baud, the default protocol, both files ticked.
seed_settings() {
  local file="$TARNWICK_BUILD/tarnwick.txt"
  [ -e "$file" ] && return 0
  printf '%s\r\n' 0 5 "\"$samples/application.hex\"" '"@&$"' '"?"' '"$"' '"^"' '"%"' '"#"' '"@"' \
    '"-"' '"~"' "\"$samples/eeprom.eep\"" '"*"' 1 1 >"$file"
  echo "==> Wrote $file naming the sample files"
}

simulated=0
if wants_simulator && start_simulator; then
  simulated=1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "==> No display: Tarnwick is a desktop program and needs one (DISPLAY or WAYLAND_DISPLAY)."
  if [ "$simulated" -eq 1 ]; then
    echo "==> The same download through the command line, against the simulated target:"
    echo "    tarnwick-cli --port 1 --eeprom samples/eeprom.eep --flash samples/application.hex"
    status=0
    "$TARNWICK_BUILD/tarnwick-cli" --port 1 --eeprom "$samples/eeprom.eep" --flash "$samples/application.hex" \
      || status=$?
    echo "==> tarnwick-cli ended with exit status $status (0: success; see tarnwick-cli --help)"
    exit "$status"
  fi
  echo "    Downloads work without a display through $TARNWICK_BUILD/tarnwick-cli (see tarnwick-cli --help)."
  exit 0
fi

if [ "$simulated" -eq 1 ]; then
  seed_settings
  echo "==> To watch a download succeed: Com 1 is the simulated target. Tick \"Application Code\" with"
  echo "    $samples/application.hex and \"EEPROM Code\" with $samples/eeprom.eep (already filled in"
  echo "    at the first start), then press \"Jump to Bootloader then Download\"."
  echo "==> Starting $TARNWICK_BUILD/tarnwick"
  status=0
  "$TARNWICK_BUILD/tarnwick" || status=$?
  exit "$status"
fi
echo "==> Starting $TARNWICK_BUILD/tarnwick"
exec "$TARNWICK_BUILD/tarnwick"
