#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# The program read through AT-SPI as a screen reader on Linux reads it: a
# session bus of its own, the accessibility bus and its registry from
# at-spi2-core, the program on a virtual display with Qt's bridge always on,
# and atspi_client.py (pyatspi) reading it while xdotool types.
#   atspi_test.sh PROGRAM WORK_FOLDER
# Exits 77 (skipped) where a needed program is not installed, except in CI
# (CI set), where that is a failure.
set -euo pipefail

program=$1 work=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/tools/virtual-display.sh"

launcher=/usr/libexec/at-spi-bus-launcher
registry=/usr/libexec/at-spi2-registryd
# Debian's own Python, the one python3-pyatspi is for.
python=/usr/bin/python3

missing=()
for needed in dbus-daemon dbus-send Xvfb openbox xdotool xprop "$launcher" "$registry" "$python"; do
  command -v "$needed" >/dev/null 2>&1 || missing+=("$needed")
done
if [[ ${#missing[@]} -eq 0 ]] && ! "$python" -c 'import pyatspi' 2>/dev/null; then missing+=(python3-pyatspi); fi
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "not installed: ${missing[*]} (tools/install-deps installs them)"
  [[ -n ${CI:-} ]] && exit 1
  exit 77
fi

rm -rf "$work"
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
bus_pid= launcher_pid= registry_pid= program_pid=

cleanup() {
  end_processes "$program_pid" "$registry_pid" "$launcher_pid" "$bus_pid"
  stop_virtual_display
}
trap cleanup EXIT

logs() {
  local log
  for log in "$work"/*.log; do sed "s|^|  $(basename "$log" .log): |" "$log"; done
}

# Everything below talks on this private session bus, in a home and a
# runtime folder of its own, so nothing of the machine's desktop is met.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.local/state
unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
"$(command -v dbus-daemon)" --session --nofork --nopidfile --print-address=3 3>"$work/session-bus" \
  >"$work/session-bus.log" 2>&1 &
bus_pid=$!
for _ in $(seq 100); do [[ -s $work/session-bus ]] && break; sleep 0.05; done
[[ -s $work/session-bus ]] || { echo "FAILED: the session bus did not start"; logs; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/session-bus")

start_virtual_display

# The launcher starts the accessibility bus and names it on the session bus;
# the registry, which readers ask for the programs, is started here, not by
# the bus, so that it ends with the test.
"$launcher" --launch-immediately >"$work/launcher.log" 2>&1 &
launcher_pid=$!
a11y_bus=
for _ in $(seq 100); do
  a11y_bus=$(dbus-send --session --dest=org.a11y.Bus --print-reply=literal /org/a11y/bus org.a11y.Bus.GetAddress \
             2>/dev/null | tr -d '[:space:]') && [[ -n $a11y_bus ]] && break
  sleep 0.1
done
[[ -n $a11y_bus ]] || { echo "FAILED: the accessibility bus did not start"; logs; exit 1; }
AT_SPI_BUS_ADDRESS=$a11y_bus "$registry" >"$work/registry.log" 2>&1 &
registry_pid=$!

# Qt finds the accessibility bus through the session bus: with
# AT_SPI_BUS_ADDRESS in its own environment it would join the bus but never
# register itself.
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$program" >"$work/program.log" 2>&1 &
program_pid=$!

window=$(window_named '^Quenlora$' 30) || { echo "FAILED: no window titled Quenlora"; report_display "$work"; logs; exit 1; }
focus_window "$window" 30 || { echo "FAILED: the window Quenlora did not take the focus"; report_display "$work"; logs; exit 1; }

if ! AT_SPI_BUS_ADDRESS=$a11y_bus timeout 120 "$python" "$here/atspi_client.py"; then
  report_display "$work"
  logs
  exit 1
fi
